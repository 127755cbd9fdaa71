// The player on real sound servers: private PipeWire (with pipewire-pulse and WirePlumber) and
// PulseAudio instances, each with a null sink whose monitor is what "heard" means here.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "sound/sound_player.h"
#include "support/sound_servers.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;
using testing::MonitorCapture;
using testing::SoundServer;
using Ms = std::chrono::milliseconds;

constexpr Ms kRest{1000};  // the player's rest period here, shorter than the program's own

// Milliseconds from the first to the last sample louder than 1 % of full scale; -1 for none.
double audibleMs(const std::vector<int16_t>& s) {
  auto loud = [](int16_t v) { return std::abs(v) > 328; };
  const auto first = std::find_if(s.begin(), s.end(), loud);
  if (first == s.end()) return -1;
  const auto last = std::find_if(s.rbegin(), s.rend(), loud).base();
  return static_cast<double>(last - first) * 1000.0 / 22050;
}

double clipMs(const SoundPlayer& player, const std::string& key) {
  return static_cast<double>(player.bank().clip(key)->size()) * 1000.0 / 2 / kOutputRequest.rate;
}

// Plays `key` while the monitor records, and returns how long it was heard.
double heardMs(SoundPlayer& player, const SoundServer& server, const std::string& key) {
  MonitorCapture capture(server);
  player.PlayWave(key);
  std::this_thread::sleep_for(Ms(static_cast<int>(clipMs(player, key))) + 400ms);
  return audibleMs(capture.stop());
}

std::size_t lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class OnSoundServer : public ::testing::TestWithParam<SoundServer::Kind> {};

TEST_P(OnSoundServer, HeardAtOnceRestsWhenIdleAndComesBackAfterARestart) {
  if (!SoundServer::installed(GetParam())) GTEST_SKIP() << "the sound server is not installed";
  SoundServer server(GetParam());
  ::unsetenv("SDL_AUDIODRIVER");

  // Started before the server, as in a session still coming up: one line, then heard once it is up.
  ::testing::internal::CaptureStderr();
  SoundPlayer player(kRest);
  player.PlayWave("101");
  EXPECT_EQ(lines(::testing::internal::GetCapturedStderr()), 1u);
  ASSERT_TRUE(player.onSoundServer());
  ASSERT_TRUE(server.start()) << server.logText();
  EXPECT_GT(heardMs(player, server, "101"), 100) << "not heard once the server was up";

  // A second request cuts the first off; so does an unknown key.
  std::string longest = "101", shortest = "101";
  for (int key = 101; key <= 148; ++key) {
    const std::string k = std::to_string(key);
    if (clipMs(player, k) > clipMs(player, longest)) longest = k;
    if (clipMs(player, k) < clipMs(player, shortest)) shortest = k;
  }
  ASSERT_GT(clipMs(player, longest), clipMs(player, shortest) + 200);
  {
    MonitorCapture capture(server);
    player.PlayWave(longest);
    std::this_thread::sleep_for(80ms);
    player.PlayWave(shortest);
    std::this_thread::sleep_for(Ms(static_cast<int>(clipMs(player, longest))) + 300ms);
    const double heard = audibleMs(capture.stop());
    EXPECT_GT(heard, clipMs(player, shortest)) << "the second request was not heard whole";
    EXPECT_LT(heard, clipMs(player, longest) - 60) << "the first recording was not cut off";
  }
  {
    MonitorCapture capture(server);
    player.PlayWave(longest);
    std::this_thread::sleep_for(80ms);
    player.PlayWave("999");
    std::this_thread::sleep_for(Ms(static_cast<int>(clipMs(player, longest))));
    EXPECT_LT(audibleMs(capture.stop()), 200) << "an unknown key did not cut the sound off";
  }

  // At rest: the sink suspends and no thread of ours wakes up.
  EXPECT_TRUE(server.waitForSink("SUSPENDED", 10s)) << "now " << server.sinkState();
  const long before = testing::otherThreadSwitches();
  std::this_thread::sleep_for(5s);
  EXPECT_EQ(testing::otherThreadSwitches() - before, 0) << "audio threads woke up while idle";
  EXPECT_GT(heardMs(player, server, "106"), 100) << "not heard after a rest";

  // The server killed: requests return at once with at most one line; heard once it is back.
  ::testing::internal::CaptureStderr();
  server.stop(SIGKILL);
  std::this_thread::sleep_for(200ms);
  for (int i = 0; i < 20; ++i) {
    const auto start = testing::Clock::now();
    player.PlayWave("101");
    EXPECT_LT(testing::Clock::now() - start, 20ms) << "PlayWave waited for the missing server";
  }
  EXPECT_LE(lines(::testing::internal::GetCapturedStderr()), 1u);
  ASSERT_TRUE(server.start()) << server.logText();
  EXPECT_GT(heardMs(player, server, "101"), 100) << "not heard after the server came back";
}

INSTANTIATE_TEST_SUITE_P(, OnSoundServer,
                         ::testing::Values(SoundServer::kPipeWire, SoundServer::kPulseAudio),
                         [](const auto& info) {
                           return info.param == SoundServer::kPipeWire ? "PipeWire" : "PulseAudio";
                         });

}  // namespace
}  // namespace tessel
