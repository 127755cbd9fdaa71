// Click-to-sound through the real window: 200 left clicks on kana cells, from the mouse release
// reaching the cell to the audio callback handing the new recording's first samples to the
// device (sound/latency_probe.h; this program links a copy of the core built with
// TESSEL_LATENCY_PROBE). The clicks are spaced 30–70 ms apart at random (fixed seed), so they
// fall at every phase of the device period.
//
// Runs the real SoundPlayer on SDL's dummy driver and the window on Qt's offscreen platform
// unless SDL_AUDIODRIVER / QT_QPA_PLATFORM say otherwise. The dummy driver has no hardware
// buffer: its thread calls the callback once per period and sleeps in between, as a real
// device's thread does, so the wait for the next callback is measured; the time the device then
// takes to play out what it was handed is not, and is added as one period.
//
// Also prints the leading silence of the recordings, which the listener hears on top.
//
// `tessel_latency --bank-bytes` prints only the size of the bank as the player converted it, for
// the memory figures (bench/idle_memory.py).
#include <SDL.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "credits/mail_link.h"
#include "form/kana_cells.h"
#include "sound/latency_probe.h"
#include "sound/sound_player.h"
#include "stats.h"
#include "window/frm_tessel.h"

namespace {

using bench::loadAverage;
using bench::quantile;

constexpr int kClicks = 200;
constexpr int kMinGapMs = 30, kMaxGapMs = 70;
constexpr int kSilenceThreshold = 328;  // about -40 dBFS at 16 bits

class NoMail : public tessel::MailLink {
 public:
  void open(const std::string&) override {}
};

// What SDL grants SoundPlayer's request (kOutputRequest, kDeviceSamples, any change allowed):
// the same request on the same driver, opened and closed before the player opens its own.
SDL_AudioSpec grantedSpec() {
  SDL_AudioSpec have{};
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return have;
  SDL_AudioSpec want{};
  want.freq = tessel::kOutputRequest.rate;
  want.format = tessel::kOutputRequest.format;
  want.channels = static_cast<Uint8>(tessel::kOutputRequest.channels);
  want.samples = tessel::kDeviceSamples;
  want.callback = [](void*, Uint8* stream, int len) { SDL_memset(stream, 0, len); };
  const SDL_AudioDeviceID device =
      SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_ANY_CHANGE);
  if (device != 0) SDL_CloseAudioDevice(device);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return have;
}

// Milliseconds before the first sample with |v| >= threshold in each recording as stored
// (assets/sounds/101.wav .. 148.wav), or a message on stderr for a file that is not 16-bit mono.
std::vector<double> leadingSilences(const std::string& dir, int* rate) {
  std::vector<double> ms;
  for (int key = tessel::kFirstSoundKey; key < tessel::kFirstSoundKey + tessel::kSoundCount;
       ++key) {
    const std::string path = dir + "/" + std::to_string(key) + ".wav";
    SDL_AudioSpec spec{};
    Uint8* data = nullptr;
    Uint32 bytes = 0;
    if (!SDL_LoadWAV(path.c_str(), &spec, &data, &bytes)) {
      std::fprintf(stderr, "tessel_latency: %s: %s\n", path.c_str(), SDL_GetError());
      continue;
    }
    if (spec.format != AUDIO_S16LSB || spec.channels != 1) {
      std::fprintf(stderr, "tessel_latency: %s is not 16-bit mono\n", path.c_str());
      SDL_FreeWAV(data);
      continue;
    }
    *rate = spec.freq;
    const auto* samples = reinterpret_cast<const Sint16*>(data);
    const std::size_t n = bytes / 2;
    std::size_t first = 0;
    while (first < n && std::abs(static_cast<int>(samples[first])) < kSilenceThreshold) ++first;
    ms.push_back(1000.0 * static_cast<double>(first) / spec.freq);
    SDL_FreeWAV(data);
  }
  return ms;
}

}  // namespace

std::size_t bankBytes(const tessel::SoundPlayer& sound) {
  std::size_t bytes = 0;
  for (int key = tessel::kFirstSoundKey; key < tessel::kFirstSoundKey + tessel::kSoundCount;
       ++key) {
    if (const auto* clip = sound.bank().clip(std::to_string(key))) bytes += clip->size();
  }
  return bytes;
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  setenv("SDL_AUDIODRIVER", "dummy", /*overwrite=*/0);
  if (argc > 1 && std::string(argv[1]) == "--bank-bytes") {
    tessel::SoundPlayer sound;
    std::printf("%zu\n", bankBytes(sound));
    return sound.hasDevice() ? 0 : 1;
  }
  const std::string loadBefore = loadAverage();
  QApplication app(argc, argv);

  const SDL_AudioSpec have = grantedSpec();
  if (have.freq == 0) {
    std::fprintf(stderr, "tessel_latency: no audio device: %s\n", SDL_GetError());
    return 1;
  }
  const double periodMs = 1000.0 * have.samples / have.freq;

  tessel::SoundPlayer sound;
  if (!sound.hasDevice()) return 1;
  NoMail mail;
  tessel::frmTessel window(sound, mail);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  QWindow* handle = window.windowHandle();

  // Every cell whose centre lies inside the window (the chart is cut off below), in a random
  // order that never clicks the same cell twice in a row.
  std::vector<QPoint> centres;
  for (const tessel::KanaCell& cell : tessel::allCells()) {
    const QWidget* w = window.image1(cell.index);
    const QPoint centre = QRect(w->mapTo(&window, QPoint(0, 0)), w->size()).center();
    if (window.rect().contains(centre)) centres.push_back(centre);
  }
  std::mt19937 random(20261206);
  std::uniform_int_distribution<std::size_t> pick(0, centres.size() - 1);
  std::uniform_int_distribution<int> gap(kMinGapMs, kMaxGapMs);

  tessel::probe::takeLatencies();  // nothing before the first click counts
  std::size_t last = centres.size();
  for (int i = 0; i < kClicks; ++i) {
    std::size_t next = pick(random);
    while (next == last) next = pick(random);
    last = next;
    // The pointer arrives first, as a hand's would; its hover handling is done before the wait.
    QTest::mouseMove(handle, centres[next]);
    QTest::qWait(gap(random));
    QTest::mouseClick(handle, Qt::LeftButton, Qt::NoModifier, centres[next]);
  }
  QTest::qWait(100);  // the last click's first callback
  const std::vector<double> ms = tessel::probe::takeLatencies();
  const std::string loadAfter = loadAverage();

  int wavRate = 0;
  const std::vector<double> silence = leadingSilences(TESSEL_SOUNDS_DIR, &wavRate);

  std::printf("### Click-to-sound\n\n");
  std::printf(
      "%d left clicks on kana cells (%zu cells in view), %d–%d ms apart, through the real "
      "frmTessel on Qt's %s platform and the real SoundPlayer on SDL's %s driver.\n",
      kClicks, centres.size(), kMinGapMs, kMaxGapMs, qPrintable(QGuiApplication::platformName()),
      SDL_GetCurrentAudioDriver() ? SDL_GetCurrentAudioDriver() : std::getenv("SDL_AUDIODRIVER"));
  std::printf("Load average (1/5/15 min): %s before, %s after.\n\n", loadBefore.c_str(),
              loadAfter.c_str());
  if (ms.empty()) {
    std::printf("No latency recorded: the probe saw no first sample.\n");
    return 1;
  }
  const double p95 = quantile(ms, 0.95);
  const double total = p95 + periodMs;
  std::printf("| | |\n|---|---|\n");
  std::printf("| latencies recorded | %zu of %d clicks |\n", ms.size(), kClicks);
  std::printf("| release → first samples handed over: p50 | %.2f ms |\n", quantile(ms, 0.5));
  std::printf("| p95 | **%.2f ms** |\n", p95);
  std::printf("| max | %.2f ms |\n", *std::max_element(ms.begin(), ms.end()));
  std::printf("| min | %.2f ms |\n", *std::min_element(ms.begin(), ms.end()));
  std::printf("| device period (have.samples / have.freq) | %u / %d Hz = %.2f ms |\n",
              static_cast<unsigned>(have.samples), have.freq, periodMs);
  std::printf("| p95 + one period | **%.2f ms** (goal ≤ 15 ms: %s) |\n", total,
              total <= 15.0 ? "met" : "MISSED");
  std::printf("| bank as converted for the device | %zu bytes (%.2f MiB) |\n\n", bankBytes(sound),
              static_cast<double>(bankBytes(sound)) / (1024.0 * 1024.0));

  std::printf("Distribution (ms, 1 ms bins):\n\n```\n");
  std::vector<int> bins(
      static_cast<std::size_t>(std::ceil(*std::max_element(ms.begin(), ms.end()))) + 1);
  for (double x : ms) ++bins[static_cast<std::size_t>(x)];
  for (std::size_t b = 0; b < bins.size(); ++b) {
    if (bins[b] == 0) continue;
    std::printf("%3zu–%-3zu %4d %s\n", b, b + 1, bins[b],
                std::string(static_cast<std::size_t>(bins[b] + 1) / 2, '#').c_str());
  }
  std::printf("```\n\n");

  if (!silence.empty()) {
    std::printf(
        "Leading silence of the recordings (assets/sounds/*.wav, %d Hz; time before the "
        "first sample with |v| >= %d), %zu files: min %.1f ms, median %.1f ms, max "
        "%.1f ms. The listener hears it on top of the figures above.\n\n",
        wavRate, kSilenceThreshold, silence.size(),
        *std::min_element(silence.begin(), silence.end()), quantile(silence, 0.5),
        *std::max_element(silence.begin(), silence.end()));
  }
  return ms.size() == static_cast<std::size_t>(kClicks) ? 0 : 1;
}
