// The player on real sound servers: private PipeWire (with pipewire-pulse and WirePlumber) and
// PulseAudio instances, each with a null sink whose monitor is what "heard" means here.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "sound/pipewire_output.h"
#include "sound/sound_player.h"
#include "support/sound_servers.h"

namespace tessel {
namespace {

using testing::MonitorCapture;
using testing::SoundServer;
using namespace std::chrono_literals;

// Whether `done` comes true within `limit`, asking every 10 ms.
template <class Done>
bool eventually(Done done, std::chrono::milliseconds limit) {
  const auto deadline = testing::Clock::now() + limit;
  while (!done() && testing::Clock::now() < deadline) std::this_thread::sleep_for(10ms);
  return done();
}

// Milliseconds from the first to the last sample louder than 1 % of full scale; -1 for none.
double audibleMs(const std::vector<int16_t>& s) {
  auto loud = [](int16_t v) { return std::abs(v) > 328; };
  const auto first = std::find_if(s.begin(), s.end(), loud);
  if (first == s.end()) return -1;
  return static_cast<double>(std::find_if(s.rbegin(), s.rend(), loud).base() - first) /
         (kRecordingFormat.rate / 1000.0);
}

class OnSoundServer : public ::testing::TestWithParam<SoundServer::Kind> {
 protected:
  double clipMs(const std::string& key) {
    return std::chrono::duration<double, std::milli>(playingTime(*player_->bank().clip(key)))
        .count();
  }
  // Plays `first`, and `second` (if any) 80 ms later, and returns how long sound was heard.
  double heardMs(const std::string& first, const char* second = nullptr) {
    MonitorCapture capture(*server_);
    player_->PlayWave(first);
    if (second) std::this_thread::sleep_for(80ms);
    if (second) player_->PlayWave(second);
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(clipMs(first))) + 400ms);
    return audibleMs(capture.stop());
  }

  std::unique_ptr<SoundServer> server_;
  std::unique_ptr<SoundPlayer> player_;
};

TEST_P(OnSoundServer, HeardAtOnceRestsWhenIdleAndComesBackAfterARestart) {
  if (!SoundServer::installed(GetParam())) GTEST_SKIP() << "the sound server is not installed";
  server_ = std::make_unique<SoundServer>(GetParam());
  ::unsetenv("SDL_AUDIODRIVER");

  // Started before its server, as in a session still coming up: one line, heard once it is up.
  ::testing::internal::CaptureStderr();
  player_ = std::make_unique<SoundPlayer>(1000ms);  // rests after 1 s here, not the program's 5
  player_->PlayWave("101");
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), ::testing::MatchesRegex("[^\n]*\n"));
  ASSERT_TRUE(server_->start());
  EXPECT_GT(heardMs("101"), 100) << "not heard once the server was up";

  // Made while the server runs, the player speaks the server's own protocol.
  player_ = std::make_unique<SoundPlayer>(1000ms);
  ASSERT_TRUE(eventually([&] { return std::string(player_->output()) != "none"; }, 2s));
  EXPECT_STREQ(player_->output(),
               GetParam() == SoundServer::kPipeWire ? "PipeWire" : "PulseAudio protocol");

  // A second request cuts the first off, and so does an unknown key.
  std::vector<std::string> keys;
  for (int key = 101; key <= 148; ++key) keys.push_back(std::to_string(key));
  std::sort(keys.begin(), keys.end(), [&](auto& a, auto& b) { return clipMs(a) > clipMs(b); });
  const std::string longest = keys.front(), shortest = keys.back();
  ASSERT_GT(clipMs(longest), clipMs(shortest) + 200);
  const double heard = heardMs(longest, shortest.c_str());
  EXPECT_GT(heard, clipMs(shortest)) << "the second request was not heard whole";
  EXPECT_LT(heard, clipMs(longest) - 60) << "the first recording was not cut off";
  EXPECT_LT(heardMs(longest, "999"), 200) << "an unknown key did not cut the sound off";

  // At rest: the sink suspends, also after a press that did not become a click, and no thread
  // of ours wakes up.
  EXPECT_TRUE(server_->waitForSink("SUSPENDED", 10s)) << "now " << server_->sinkState();
  player_->warm();
  EXPECT_TRUE(server_->waitForSink("RUNNING", 1s)) << "a press did not start the output";
  EXPECT_TRUE(server_->waitForSink("SUSPENDED", 10s)) << "a press alone kept the output running";
  const long before = testing::otherThreadSwitches();
  std::this_thread::sleep_for(5s);
  EXPECT_EQ(testing::otherThreadSwitches() - before, 0) << "audio threads woke up while idle";
  EXPECT_GT(heardMs("106"), 100) << "not heard after a rest";

  // The server killed: requests return at once, one line at most; heard once it is back.
  ::testing::internal::CaptureStderr();
  server_->stop(SIGKILL);
  std::this_thread::sleep_for(200ms);
  for (int i = 0; i < 20; ++i) {
    const auto start = testing::Clock::now();
    player_->PlayWave("101");
    EXPECT_LT(testing::Clock::now() - start, 20ms) << "PlayWave waited for the missing server";
  }
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), ::testing::MatchesRegex("([^\n]*\n)?"));
  ASSERT_TRUE(server_->start());
  EXPECT_GT(heardMs("101"), 100) << "not heard after the server came back";
}

// Where PipeWire runs without serving audio the kana must go to the server that does.
TEST(PipeWireWithoutAudio, IsNotTakenForTheSoundServer) {
  if (!SoundServer::installed(SoundServer::kPipeWire)) GTEST_SKIP() << "PipeWire is not installed";
  SoundServer server(SoundServer::kPipeWireWithoutAudio);
  ASSERT_TRUE(server.start());
  PipeWireOutput output(1000ms);
  EXPECT_TRUE(eventually([&] { return output.state() == Output::State::Unavailable; }, 200ms))
      << "not turned down at once";
  EXPECT_EQ(output.problem(), "PipeWire has no audio sink");
}

INSTANTIATE_TEST_SUITE_P(, OnSoundServer,
                         ::testing::Values(SoundServer::kPipeWire, SoundServer::kPulseAudio),
                         [](const auto& info) {
                           return info.param == SoundServer::kPipeWire ? "PipeWire" : "PulseAudio";
                         });

}  // namespace
}  // namespace tessel
