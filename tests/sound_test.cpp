// The sound bank and what the SDL output really plays. The player tests use SDL's "disk" driver,
// which writes every buffer the callback fills to a file, so they compare what was heard with the
// recordings byte for byte. The sound-server output is tested in sound_server_test.cpp.
#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "sound/audio_libraries.h"
#include "sound/sound_bank.h"
#include "sound/sound_player.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clip = SoundBank::Clip;

constexpr PcmFormat kSourceFormat{22050, AUDIO_S16SYS, 1};

TEST(SoundBank, KeysAreExactlyTheThreeDigitNames101To148) {
  for (const auto& [key, slot] : {std::pair{"101", 0}, {"102", 1}, {"148", 47}}) {
    EXPECT_EQ(soundSlot(key), slot) << key;
  }
  for (const char* key :
       {"100", "149", "", "1", "10", "1010", " 101", "101 ", "+01", "1-3", "abc", "0101", "999"}) {
    EXPECT_FALSE(soundSlot(key).has_value()) << '"' << key << '"';
  }
}

// SDL's own reading of a recording's samples, to check the bank's reading of the file against.
Bytes samplesBySdl(int key) {
  QFile file(QStringLiteral(":/sounds/%1.wav").arg(key));
  const QByteArray wav = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  SDL_AudioSpec spec{};
  Uint8* samples = nullptr;
  Uint32 length = 0;
  if (!sdlLibrary() || wav.isEmpty() ||
      !sdl().loadWavRw(sdl().rwFromConstMem(wav.constData(), static_cast<int>(wav.size())), 1,
                       &spec, &samples, &length)) {
    return {};
  }
  Bytes out(samples, samples + length);
  sdl().freeWav(samples);
  return out;
}

TEST(SoundBank, EveryRecordingDecodesShortAndStartsAtOnce) {
  const SoundBank bank = SoundBank::load(kSourceFormat);
  ASSERT_EQ(bank.loadedCount(), kSoundCount);
  for (int slot = 0; slot < kSoundCount; ++slot) {
    SCOPED_TRACE("key " + std::to_string(kFirstSoundKey + slot));
    const Clip clip = *bank.clip(std::to_string(kFirstSoundKey + slot));
    // Played from the executable as stored: exactly the samples SDL reads from the file.
    EXPECT_TRUE(std::ranges::equal(clip, samplesBySdl(kFirstSoundKey + slot)));
    const double seconds = clip.size() / 2.0 / kSourceFormat.rate;
    EXPECT_GT(seconds, 0.15);
    EXPECT_LT(seconds, 0.9);
    const auto* s = reinterpret_cast<const std::int16_t*>(clip.data());
    const auto* loud =
        std::find_if(s, s + clip.size() / 2, [](int v) { return std::abs(v) >= 328; });
    EXPECT_LE(loud - s, kSourceFormat.rate / 100) << "more than 10 ms before 1 % of full scale";
    const auto [lo, hi] = std::minmax_element(s, s + clip.size() / 2);
    EXPECT_GT(std::max<int>(-*lo, *hi), 16000) << "too quiet";
    EXPECT_LT(*hi, 32767) << "clipped";
    EXPECT_GT(*lo, -32768) << "clipped";
  }
}

TEST(SoundBank, ConvertingToTheDeviceFormatKeepsEveryRecordingWhole) {
  const SoundBank source = SoundBank::load(kSourceFormat);
  const SoundBank device = SoundBank::load({48000, AUDIO_S16SYS, 2});
  for (int slot = 0; slot < kSoundCount; ++slot) {
    const std::string key = std::to_string(kFirstSoundKey + slot);
    const double seconds = source.clip(key)->size() / 2.0 / kSourceFormat.rate;
    const double converted = device.clip(key)->size() / 4.0 / 48000;
    EXPECT_NEAR(converted, seconds, 0.0005) << "key " << key << " lost its end";
  }
}

TEST(SoundBank, ObsoleteKanaShareTheRecordingsOfTheirModernSounds) {
  const SoundBank bank = SoundBank::load(kSourceFormat);
  EXPECT_TRUE(std::ranges::equal(*bank.clip("145"), *bank.clip("102")));  // ゐ as い
  EXPECT_TRUE(std::ranges::equal(*bank.clip("146"), *bank.clip("104")));  // ゑ as え
  EXPECT_FALSE(std::ranges::equal(*bank.clip("101"), *bank.clip("102")));
}

// Where `clip` occurs whole in `out`, or npos.
std::size_t find(const Bytes& out, Clip clip) {
  auto it = std::search(out.begin(), out.end(), clip.begin(), clip.end());
  return it == out.end() ? std::string::npos : static_cast<std::size_t>(it - out.begin());
}
bool silent(const Bytes& out, std::size_t from, std::size_t to) {
  return std::all_of(out.begin() + from, out.begin() + to, [](auto b) { return b == 0; });
}

// A second request cuts the first off; so does an unknown key, which plays nothing itself.
// SDL's disk driver writes every buffer the player fills to a file.
TEST(DiskOutput, ANewRequestCutsTheOldSoundOff) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("tessel-sound-" + std::to_string(::getpid()) + ".raw");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
  for (const char* second : {"106", "abc"}) {
    SCOPED_TRACE(second);
    SoundPlayer player;
    ASSERT_TRUE(player.hasDevice());
    const Clip first = *player.bank().clip("101");
    const Clip* next = player.bank().clip(second);
    player.PlayWave("101");
    std::this_thread::sleep_for(120ms);
    player.PlayWave(second);
    std::this_thread::sleep_for(900ms);
    player.close();
    std::ifstream in(path, std::ios::binary);
    const Bytes out(std::istreambuf_iterator<char>(in), {});
    const std::size_t begun = find(out, first.first(256));
    ASSERT_NE(begun, std::string::npos) << "the first recording never started";
    EXPECT_TRUE(silent(out, 0, begun));
    std::size_t at = next ? find(out, *next) : out.size();
    while (!next && at > begun && out[at - 1] == 0) --at;  // where the sound stopped
    ASSERT_NE(at, std::string::npos) << "the second recording was not played whole";
    ASSERT_LT(at - begun, first.size()) << "the first recording was not cut off";
    EXPECT_TRUE(std::equal(out.begin() + begun, out.begin() + at, first.begin()));
    EXPECT_TRUE(silent(out, at + (next ? next->size() : 0), out.size())) << "more played after";
  }
  std::filesystem::remove(path);
}

int openFiles() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

// SDL would catch SIGINT and SIGTERM and turn them into events nobody reads; and once the output
// closes, nothing of SDL's may stay behind, such as its connection to the session bus (ctest runs
// this test with a private bus).
TEST(SoundPlayer, LeavesTheSignalsAndTheSessionBusAsItFoundThem) {
  ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run me under dbus-run-session";
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const int before = openFiles();
  SoundPlayer player;
  ASSERT_TRUE(player.hasDevice());
  for (int signal : {SIGINT, SIGTERM}) {
    struct sigaction action = {};
    ASSERT_EQ(sigaction(signal, nullptr, &action), 0);
    EXPECT_EQ(action.sa_handler, SIG_DFL) << "signal " << signal << " is caught";
  }
  player.close();
  EXPECT_EQ(openFiles(), before) << "a file or socket is still open after the output closed";
}

}  // namespace
}  // namespace tessel
