// The player on real sound servers: private PipeWire (with pipewire-pulse and WirePlumber) and
// PulseAudio instances, each with a stereo null sink whose monitor is what "heard" means here.
// ctest runs these again against the program built with AddressSanitizer and UndefinedBehavior-
// Sanitizer, and with ThreadSanitizer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <climits>

#include "form/kana_cells.h"
#include "sound/pipewire_output.h"
#include "sound/sound_player.h"
#include "support/recorders.h"
#include "testbed/sound_servers.h"
#include "window/after_first_paint.h"
#include "window/frm_tessel.h"

namespace tessel {
namespace {

using testbed::MonitorRecorder;
using testbed::SoundServer;
using namespace std::chrono_literals;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr auto kSlowdown = 4;  // the sanitizers' own cost, not ours
#else
constexpr auto kSlowdown = 1;
#endif

// Whether `done` comes true within `limit`, asking every 10 ms.
template <class Done>
bool eventually(Done done, std::chrono::milliseconds limit) {
  const auto deadline = testbed::Clock::now() + limit;
  while (!done() && testbed::Clock::now() < deadline) std::this_thread::sleep_for(10ms);
  return done();
}

// Milliseconds from the first to the last sample louder than 1 % of full scale; -1 for none.
double audibleMs(const std::vector<int16_t>& s) {
  auto loud = [](int16_t v) { return std::abs(v) > 328; };
  const auto first = std::find_if(s.begin(), s.end(), loud);
  if (first == s.end()) return -1;
  return static_cast<double>(std::find_if(s.rbegin(), s.rend(), loud).base() - first) * 1000 /
         MonitorRecorder::kRate;
}

// The channel positions of the format the one playback stream on the private PipeWire plays (the
// player's: the recorder's stream is a capture stream), as pw-dump reports them ("MONO"). A mono
// stream without a position is mixed by the server's own rules, which need not send it to every
// speaker.
std::string playbackPositions() {
  const QJsonArray objects =
      QJsonDocument::fromJson(QByteArray::fromStdString(testbed::output("pw-dump 2>/dev/null")))
          .array();
  for (const QJsonValue& o : objects) {
    const QJsonObject info = o[QLatin1String("info")].toObject();
    const QJsonObject props = info[QLatin1String("props")].toObject();
    if (props[QLatin1String("media.class")].toString() != QLatin1String("Stream/Output/Audio"))
      continue;
    std::string out;
    for (const QJsonValue& format :
         info[QLatin1String("params")][QLatin1String("Format")].toArray())
      for (const QJsonValue& p : format[QLatin1String("position")].toArray())
        out += (out.empty() ? "" : " ") + p.toString().toStdString();
    return out;
  }
  return "no playback stream";
}

double ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

class OnSoundServer : public ::testing::TestWithParam<SoundServer::Kind> {
 protected:
  void SetUp() override {
    if (!SoundServer::installed(GetParam())) GTEST_SKIP() << "the sound server is not installed";
    server_ = std::make_unique<SoundServer>(GetParam());
    ::unsetenv("SDL_AUDIODRIVER");
  }
  bool startServer() {
    if (!server_->start()) return false;
    recorder_ = std::make_unique<MonitorRecorder>();
    return recorder_->ready();
  }
  double clipMs(const std::string& key) { return ms(playingTime(*bank_.clip(key))); }
  const char* protocol() const {
    return GetParam() == SoundServer::kPipeWire ? "PipeWire" : "PulseAudio protocol";
  }

  // What the sink played while `play` ran, and for as long after as `key`'s clip lasts.
  struct Heard {
    double left, right;  // how long each channel was audible, ms; -1 for silence
    double onset;        // ms from the start of `play` to the first audible sample; -1 for none
  };
  template <class Play>
  Heard heard(const std::string& key, Play play) {
    recorder_->start();
    std::this_thread::sleep_for(100ms);  // a fresh record stream delivers its first part late
    const std::size_t from = recorder_->size();
    const auto start = testbed::Clock::now();
    play();
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(clipMs(key))) + 300ms);
    const auto onset = recorder_->soundAfter(from);
    const Heard result{audibleMs(recorder_->channel(0, from)),
                       audibleMs(recorder_->channel(1, from)), onset ? ms(*onset - start) : -1};
    recorder_->stop();
    return result;
  }
  Heard heard(const std::string& key) {
    return heard(key, [&] { player_->PlayWave(key); });
  }

  SoundBank bank_;
  std::unique_ptr<SoundServer> server_;
  std::unique_ptr<MonitorRecorder> recorder_;
  std::unique_ptr<SoundPlayer> player_;
};

TEST_P(OnSoundServer, HeardAtOnceOnEverySpeakerRestsOnTimeAndComesBackAfterARestart) {
  constexpr auto kRest = 1000ms;  // the program's is 5 s; the state it rests in is the same

  // Started before its server, as in a session still coming up: one line, heard once it is up.
  ::testing::internal::CaptureStderr();
  player_ = std::make_unique<SoundPlayer>(kRest);
  player_->PlayWave("101");
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), ::testing::MatchesRegex("[^\n]*\n"));
  ASSERT_TRUE(startServer());
  EXPECT_GT(heard("101").left, 100) << "not heard once the server was up";

  // Made while the server runs, the player speaks the server's own protocol.
  player_ = std::make_unique<SoundPlayer>(kRest);
  ASSERT_TRUE(eventually([&] { return std::string(player_->output()) != "none"; }, 2s));
  EXPECT_STREQ(player_->output(), protocol());

  // Heard at once, on both speakers of a stereo sink, a recording meant for every speaker.
  const Heard first = heard("106");
  EXPECT_GT(first.left, clipMs("106") - 40);
  EXPECT_NEAR(first.right, first.left, 5) << "not the same on both speakers";
  EXPECT_GE(first.onset, 0);
  EXPECT_LT(first.onset, 60 * kSlowdown) << "heard late";
  if (GetParam() == SoundServer::kPipeWire) {
    EXPECT_EQ(playbackPositions(), "MONO");
  }

  // A second request cuts the first off, and so does an unknown key.
  std::vector<std::string> keys;
  for (int key = 101; key <= 148; ++key) keys.push_back(std::to_string(key));
  std::sort(keys.begin(), keys.end(), [&](auto& a, auto& b) { return clipMs(a) > clipMs(b); });
  const std::string longest = keys.front(), shortest = keys.back();
  ASSERT_GT(clipMs(longest), clipMs(shortest) + 200);
  for (const std::string& second : {shortest, std::string("999")}) {
    SCOPED_TRACE("then " + second);
    const double played = heard(longest, [&] {
                            player_->PlayWave(longest);
                            std::this_thread::sleep_for(80ms);
                            player_->PlayWave(second);
                          }).left;
    if (second == shortest) {
      EXPECT_GT(played, clipMs(shortest)) << "the second request was not heard whole";
      EXPECT_LT(played, clipMs(longest) - 60) << "the first recording was not cut off";
    } else {
      EXPECT_LT(played, 200) << "an unknown key did not cut the sound off";
    }
  }

  // The output runs through the clip and the rest period after it, then rests, and the server
  // suspends the sink; a press alone starts it and lets it rest again.
  ASSERT_TRUE(server_->waitForSink("SUSPENDED", 10s)) << "now " << server_->sinkState();
  const auto requested = testbed::Clock::now();
  player_->PlayWave("106");
  const auto restAt = requested + playingTime(*bank_.clip("106")) + kRest;
  std::this_thread::sleep_until(restAt - 250ms);
  EXPECT_EQ(server_->sinkState(), "RUNNING") << "rested before the clip and rest period ended";
  EXPECT_TRUE(server_->waitForSink("SUSPENDED", 3s)) << "not resting after the rest period";
  player_->warm();
  EXPECT_TRUE(server_->waitForSink("RUNNING", 1s)) << "a press did not start the output";
  EXPECT_TRUE(server_->waitForSink("SUSPENDED", 10s)) << "a press alone kept the output running";
  EXPECT_GT(heard("106").left, 100) << "not heard after a rest";

  // The output starts to rest while the server is stopped, and a request comes before the server
  // has answered: that late answer must not end what the request started.
  player_->PlayWave("101");
  const auto resting = testbed::Clock::now() + playingTime(*bank_.clip("101")) + kRest;
  EXPECT_GT(heard("106",
                  [&] {
                    std::this_thread::sleep_until(resting - 50ms);
                    server_->signal(SIGSTOP);
                    std::this_thread::sleep_until(resting + 50ms);
                    player_->PlayWave("106");
                    std::this_thread::sleep_for(20ms);
                    server_->signal(SIGCONT);
                  })
                .left,
            clipMs("106") - 40)
      << "a request made as the output rested was lost";

  // The server killed: requests return at once, one line at most; heard once it is back.
  recorder_.reset();
  ::testing::internal::CaptureStderr();
  server_->stop(SIGKILL);
  std::this_thread::sleep_for(200ms);
  for (int i = 0; i < 20; ++i) {
    const auto start = testbed::Clock::now();
    player_->PlayWave("101");
    EXPECT_LT(testbed::Clock::now() - start, 20ms * kSlowdown) << "PlayWave waited for the server";
  }
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), ::testing::MatchesRegex("([^\n]*\n)?"));
  ASSERT_TRUE(startServer());
  EXPECT_GT(heard("101").left, 100) << "not heard after the server came back";
}

// A program that plays with a large buffer (music, say: half a second here) lets the server run
// the sink at a long latency and wake up rarely. A resting Tessel must change neither, nor wake up
// itself. (With two seconds, PulseAudio's own count varies by an eighth from span to span: 31-40;
// with half a second, by a fortieth: 84-88.)
TEST_P(OnSoundServer, RestingCostsOtherProgramsNothing) {
  ASSERT_TRUE(startServer());
  recorder_.reset();  // only the music and Tessel on the server
  const pid_t music = testbed::spawn("pacat --raw --latency-msec=500 /dev/zero");
  // The music settles at its latency and rhythm: PulseAudio wakes up less often in the first
  // seconds after it starts.
  std::this_thread::sleep_for(6s);
  // Spans of 5 s without Tessel and with Tessel resting, in turn, so that a change in the
  // machine's load falls on both alike; of each, the quietest span, as a span now and then catches
  // a burst of the server's own.
  struct Costs {
    long sinkLatencyUs = 0, serverWakeups = LONG_MAX, ourWakeups = LONG_MAX;
  } alone, resting;
  const auto span = [&](Costs& costs) {
    const long server = testbed::serverSwitches(*server_), ours = testbed::otherThreadSwitches();
    std::this_thread::sleep_for(5s);
    costs.serverWakeups = std::min(costs.serverWakeups, testbed::serverSwitches(*server_) - server);
    costs.ourWakeups = std::min(costs.ourWakeups, testbed::otherThreadSwitches() - ours);
    costs.sinkLatencyUs = testbed::sinkLatencyUs();
  };
  for (int round = 0; round < 2; ++round) {
    span(alone);
    player_ = std::make_unique<SoundPlayer>(1000ms);
    ASSERT_TRUE(eventually([&] { return std::string(player_->output()) != "none"; }, 2s));
    player_->PlayWave("101");
    std::this_thread::sleep_for(playingTime(*bank_.clip("101")) + 1000ms + 1000ms);  // resting
    span(resting);
    player_.reset();
  }
  testbed::end(music, SIGTERM);
  // At most a tenth more. After Tessel's stream has come and gone PulseAudio may settle the music
  // at a calmer rhythm than before, never a busier one.
  EXPECT_LE(resting.serverWakeups, alone.serverWakeups * 1.1)
      << "the server wakes up more often while Tessel rests: " << alone.serverWakeups << " → "
      << resting.serverWakeups;
  EXPECT_EQ(resting.ourWakeups, 0) << "Tessel's threads woke up while resting";
  // PipeWire's Pulse layer reports no latency for its sinks; there the graph's cycle shows in the
  // server's wake-ups, a cycle each.
  if (GetParam() == SoundServer::kPulseAudio) {
    ASSERT_GT(alone.sinkLatencyUs, 100000) << "the music did not get its long latency";
    EXPECT_NEAR(resting.sinkLatencyUs, alone.sinkLatencyUs, alone.sinkLatencyUs / 10);
  }
}

// Answers every event of the window's at once, however long the server takes: the gaps between
// the ticks of a 5 ms timer are the longest the window went without answering.
class Responsiveness : public QObject {
 public:
  Responsiveness() {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this,
            [this] { longest_ = std::max(longest_, clock_.restart()); });
    clock_.start();
    timer_.start(5);
  }
  qint64 longestGapMs() const { return std::max(longest_, clock_.elapsed()); }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 longest_ = 0;
};

// A hung server (stopped, as SIGSTOP does) before the window opens and after: the window keeps
// answering, the clicks made meanwhile are never played late, and the next click once the server
// is back is heard.
TEST_P(OnSoundServer, AHungServerNeitherStallsTheWindowNorPlaysLate) {
  ASSERT_TRUE(startServer());
  for (const bool hungAtStart : {true, false}) {
    SCOPED_TRACE(hungAtStart ? "hung before the window opened" : "hung while it was open");
    if (hungAtStart) server_->signal(SIGSTOP);
    LateSound<SoundPlayer> sound;
    testing::UrlRecorder mail;
    frmTessel window(sound, mail, [] {});
    afterFirstPaint(window, [&sound] { sound.open(); });
    const auto click = [&](std::int16_t cell) {
      const QWidget& w = *window.image1(cell);
      QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                        w.mapTo(&window, w.rect().center()));
    };
    Responsiveness answers;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);
    if (!hungAtStart) {
      click(6);  // the stream is up and awake when the server hangs
      QTest::qWait(800);
      server_->signal(SIGSTOP);
    }
    recorder_->start();
    for (std::int16_t cell : {1, 2, 3, 4, 5}) {
      click(cell);
      QTest::qWait(300);
    }
    QTest::qWait(600);  // longer than any clip: what was asked for cannot start in time now
    const std::size_t resumed = recorder_->size();
    server_->signal(SIGCONT);
    QTest::qWait(1500);
    EXPECT_LT(answers.longestGapMs(), 50 * kSlowdown) << "the window stopped answering";
    EXPECT_LT(audibleMs(recorder_->channel(0, resumed)), 0) << "a click was played late";
    const std::size_t before = recorder_->size();
    click(33);
    QTest::qWait(static_cast<int>(clipMs("133")) + 300);
    EXPECT_GT(audibleMs(recorder_->channel(0, before)), 100)
        << "not heard once the server was back";
    recorder_->stop();
  }
}

// Where PipeWire runs without serving audio the kana must go to the server that does.
TEST(PipeWireWithoutAudio, IsNotTakenForTheSoundServer) {
  if (!SoundServer::installed(SoundServer::kPipeWire)) GTEST_SKIP() << "PipeWire is not installed";
  SoundServer server(SoundServer::kPipeWireWithoutAudio);
  ASSERT_TRUE(server.start());
  PipeWireOutput output(1000ms);
  EXPECT_TRUE(
      eventually([&] { return output.state() == Output::State::Unavailable; }, 200ms * kSlowdown))
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
