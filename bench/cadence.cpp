// How evenly the real window's auto-read speaks: press the auto-read button once, let the event
// loop run through one full recital (48 ticks, about 49 s) and time every PlayWave the ticks
// cause. Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
//
// Prints the time from the press to the first tick, the mean tick period, the worst single
// period's deviation from 1000 ms, each tick's lateness, and how far the last tick is from where
// 48 exact seconds would put it (a timer that re-arms from "now" would drift there even with
// good periods).
//
// `tessel_cadence --bare` times a plain QTimer of the same interval and type with no window, the
// floor the window's figures are to be compared with.
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "chart/sound_port.h"
#include "credits/mail_link.h"
#include "form/layout.h"
#include "sound/sound_bank.h"
#include "window/frm_tessel.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr int kTicks = 48;

class TimedSound : public tessel::SoundPort {
 public:
  void PlayWave(const std::string& Name) override {
    const Clock::time_point now = Clock::now();
    times.push_back(now);
    keys.push_back(Name);
    if (static_cast<int>(times.size()) == kTicks) QCoreApplication::exit(0);
  }
  std::vector<Clock::time_point> times;
  std::vector<std::string> keys;
};

class NoMail : public tessel::MailLink {
 public:
  void open(const std::string&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  const bool bare = argc > 1 && std::strcmp(argv[1], "--bare") == 0;
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  QApplication app(argc, argv);

  TimedSound sound;
  NoMail mail;
  std::unique_ptr<tessel::frmTessel> window;
  QTimer plain;
  int plainTicks = 0;
  if (bare) {
    plain.setInterval(tessel::kTimerInterval);
    plain.setTimerType(Qt::PreciseTimer);
    QObject::connect(&plain, &QTimer::timeout, [&] {
      sound.PlayWave(std::to_string(tessel::kFirstSoundKey + plainTicks++));
    });
  } else {
    window = std::make_unique<tessel::frmTessel>(sound, mail);
    window->show();
  }

  Clock::time_point pressed, handled;
  // The press happens inside the running loop, after the first show has been handled, as a user's
  // would.
  QTimer::singleShot(0, &app, [&] {
    pressed = Clock::now();
    if (bare) {
      plain.start();
    } else {
      window->command3().click();
    }
    handled = Clock::now();  // the handler has re-captioned the button and started the timer
  });
  // One recital takes 49 s; give up well after that rather than hang.
  QTimer::singleShot((kTicks + 15) * tessel::kTimerInterval, &app, [] {
    std::fprintf(stderr, "tessel_cadence: gave up waiting for %d ticks\n", kTicks);
    QCoreApplication::exit(2);
  });
  const int status = QApplication::exec();

  const std::vector<Clock::time_point>& t = sound.times;
  std::printf("%s on %s, timer interval %d ms, ticks recorded: %zu\n",
              bare ? "bare QTimer (--bare)" : "frmTessel auto-read",
              qPrintable(QApplication::platformName()), tessel::kTimerInterval, t.size());
  if (status != 0 || t.size() != static_cast<std::size_t>(kTicks)) return 1;

  bool keysInOrder = true;
  for (int i = 0; i < kTicks; ++i) {
    keysInOrder = keysInOrder && sound.keys[i] == std::to_string(tessel::kFirstSoundKey + i);
  }
  std::printf("keys: %s .. %s (%s)\n", sound.keys.front().c_str(), sound.keys.back().c_str(),
              keysInOrder ? "101..148 in order" : "NOT 101..148 in order");

  const double interval = tessel::kTimerInterval;
  std::vector<double> periods;
  for (int i = 1; i < kTicks; ++i) periods.push_back(Ms(t[i] - t[i - 1]).count());
  double sum = 0, worst = 0, worstSigned = 0;
  int worstAt = 0;
  for (std::size_t i = 0; i < periods.size(); ++i) {
    sum += periods[i];
    const double dev = periods[i] - interval;
    if (std::abs(dev) > worst) {
      worst = std::abs(dev);
      worstSigned = dev;
      worstAt = static_cast<int>(i) + 2;
    }
  }
  const double mean = sum / static_cast<double>(periods.size());
  double var = 0;
  for (double p : periods) var += (p - mean) * (p - mean);
  const double sd = std::sqrt(var / static_cast<double>(periods.size() - 1));
  const auto [minP, maxP] = std::minmax_element(periods.begin(), periods.end());

  const double firstTick = Ms(t.front() - pressed).count();
  const double lastTickDrift = Ms(t.back() - pressed).count() - kTicks * interval;

  // Lateness of each tick against the end of the press handler + k s (the timer starts in
  // there, so this is the timer's own lateness): a rising line is drift, scatter is jitter.
  std::printf("press handler (re-caption, timer start): %.3f ms\n", Ms(handled - pressed).count());
  std::printf("lateness of tick k vs handler end + k s (ms):");
  for (int i = 0; i < kTicks; ++i) {
    if (i % 12 == 0) std::printf("\n  %2d..%2d:", i + 1, std::min(i + 12, kTicks));
    std::printf(" %+6.2f", Ms(t[i] - handled).count() - (i + 1) * interval);
  }
  std::printf("\n");

  std::printf("press -> first tick:          %9.3f ms (deviation %+.3f ms)\n", firstTick,
              firstTick - interval);
  std::printf("mean tick period (%d gaps):   %9.3f ms (sd %.3f ms, min %.3f, max %.3f)\n",
              static_cast<int>(periods.size()), mean, sd, *minP, *maxP);
  std::printf("worst period deviation:       %+9.3f ms (gap ending at tick %d)\n", worstSigned,
              worstAt);
  std::printf("last tick vs press + %d s:    %+9.3f ms\n", kTicks, lastTickDrift);
  return keysInOrder ? 0 : 1;
}
