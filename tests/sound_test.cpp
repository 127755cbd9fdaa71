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

#include "sound/sdl_output.h"
#include "sound/sound_bank.h"
#include "sound/sound_player.h"
#include "testbed/sound_servers.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clip = SoundBank::Clip;

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
  if (wav.isEmpty() ||
      !SDL_LoadWAV_RW(SDL_RWFromConstMem(wav.constData(), static_cast<int>(wav.size())), 1, &spec,
                      &samples, &length)) {
    return {};
  }
  Bytes out(samples, samples + length);
  SDL_FreeWAV(samples);
  return out;
}

TEST(SoundBank, EveryRecordingIsReadAsStoredShortLoudAndStartsAtOnce) {
  const SoundBank bank;
  ASSERT_EQ(bank.readableCount(), kSoundCount) << "recordings not stored as the bank reads them";
  for (int slot = 0; slot < kSoundCount; ++slot) {
    SCOPED_TRACE("key " + std::to_string(kFirstSoundKey + slot));
    const Clip clip = *bank.clip(std::to_string(kFirstSoundKey + slot));
    EXPECT_TRUE(std::ranges::equal(clip, samplesBySdl(kFirstSoundKey + slot)));
    const double seconds = std::chrono::duration<double>(playingTime(clip)).count();
    EXPECT_GT(seconds, 0.15);
    EXPECT_LT(seconds, 0.9);
    const auto* s = reinterpret_cast<const std::int16_t*>(clip.data());
    const auto* loud =
        std::find_if(s, s + clip.size() / 2, [](int v) { return std::abs(v) >= 328; });
    EXPECT_LE(loud - s, kRecordingFormat.rate / 100) << "more than 10 ms before 1 % of full scale";
    const auto [lo, hi] = std::minmax_element(s, s + clip.size() / 2);
    EXPECT_GT(std::max<int>(-*lo, *hi), 16000) << "too quiet";
    EXPECT_LT(*hi, 32767) << "clipped";
    EXPECT_GT(*lo, -32768) << "clipped";
  }
}

// The bank plays files as stored, so it must refuse any it would play wrongly.
TEST(SoundBank, RefusesEveryFileNotInTheRecordingsFormat) {
  QFile file(QStringLiteral(":/sounds/101.wav"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray stored = file.readAll();
  const auto samples = [](const QByteArray& wav) {
    return samplesAsStored(
        Clip(reinterpret_cast<const std::uint8_t*>(wav.constData()), wav.size()));
  };
  ASSERT_TRUE(samples(stored).has_value());
  const int data = static_cast<int>(stored.indexOf("data"));
  const auto le32 = [](qsizetype v) {
    const auto u = static_cast<std::uint32_t>(v);
    const char bytes[] = {static_cast<char>(u), static_cast<char>(u >> 8),
                          static_cast<char>(u >> 16), static_cast<char>(u >> 24)};
    return QByteArray(bytes, 4);
  };
  const struct {
    const char* what;
    int at;
    QByteArray bytes;
  } faults[] = {
      {"not RIFF", 0, "RIFX"},
      {"not WAVE", 8, "WAVX"},
      {"floating point", 20, QByteArray("\3\0", 2)},
      {"stereo", 22, QByteArray("\2\0", 2)},
      {"44.1 kHz", 24, QByteArray("\x44\xac\0\0", 4)},
      {"8 bits", 34, QByteArray("\x08\0", 2)},
      {"data longer than the file", data + 4, QByteArray("\xff\xff\0\0", 4)},
      {"data just longer than the file", data + 4, le32(stored.size() - data)},
  };
  ASSERT_EQ(stored.mid(12, 4), "fmt ") << "the table assumes the format chunk comes first";
  for (const auto& fault : faults) {
    QByteArray wav = stored;
    wav.replace(fault.at, fault.bytes.size(), fault.bytes);
    EXPECT_FALSE(samples(wav).has_value()) << fault.what;
  }
  EXPECT_FALSE(samples(stored.left(data)).has_value()) << "no data chunk";
}

// Whatever the size of the device's buffers, it gets the clip whole and in order, then silence.
TEST(ClipReader, HandsOverTheClipWholeThenSilenceWhateverTheBufferSize) {
  const std::vector<std::uint8_t> bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const SoundBank::Clip clip(bytes);
  for (const std::size_t buffer : {1, 3, 4, 10, 16}) {
    ClipReader reader;
    reader.start(&clip);
    std::vector<std::uint8_t> out;
    while (out.size() < 24) {
      std::vector<std::uint8_t> chunk(buffer, 0xaa);
      reader.read(chunk.data(), buffer);
      out.insert(out.end(), chunk.begin(), chunk.end());
    }
    std::vector<std::uint8_t> expected = bytes;
    expected.resize(out.size(), 0);
    EXPECT_EQ(out, expected) << "buffers of " << buffer << " bytes";
  }
}

TEST(SoundBank, ObsoleteKanaShareTheRecordingsOfTheirModernSounds) {
  const SoundBank bank;
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

// SDL's disk driver writes every buffer the output fills to a file, as the device would play it.
class DiskOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path_.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove(path_); }
  // What was written since the device was last opened; complete once it is closed.
  Bytes heard() const {
    std::ifstream in(path_, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::filesystem::path path_ = std::filesystem::temp_directory_path() /
                                ("tessel-sound-" + std::to_string(::getpid()) + ".raw");
};

// A second request cuts the first off; so does an unknown key, which plays nothing itself.
TEST_F(DiskOutput, ANewRequestCutsTheOldSoundOff) {
  for (const char* second : {"106", "abc"}) {
    SCOPED_TRACE(second);
    SoundPlayer player;
    ASSERT_STREQ(player.output(), "SDL");
    const Clip first = *player.bank().clip("101");
    const Clip* next = player.bank().clip(second);
    player.PlayWave("101");
    std::this_thread::sleep_for(120ms);
    player.PlayWave(second);
    std::this_thread::sleep_for(900ms);
    player.close();
    const Bytes out = heard();
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
}

// Once a clip and the rest period are over, the device is closed and SDL's audio with it, so no
// thread of ours wakes up; the next request opens it again and is heard.
TEST_F(DiskOutput, RestsAfterTheRestPeriodAndWakesForTheNextRequest) {
  constexpr auto kRest = 400ms;
  const SoundBank bank;
  auto out = std::make_unique<SdlOutput>(nullptr, false, kRest);
  ASSERT_EQ(out->state(), Output::State::Ready);
  const Clip& first = *bank.clip("101");
  out->play(Request::at(SoundClock::now(), &first));
  const auto restAt = SoundClock::now() + playingTime(first) + kRest;
  std::this_thread::sleep_until(restAt - 150ms);
  EXPECT_TRUE(out->open()) << "rested before the clip and the rest period were over";
  std::this_thread::sleep_until(restAt + 250ms);
  ASSERT_FALSE(out->open()) << "still running after the rest period";
  EXPECT_NE(find(heard(), first), std::string::npos) << "the clip was not heard whole";

  const long before = testbed::otherThreadSwitches();
  std::this_thread::sleep_for(5s);
  EXPECT_EQ(testbed::otherThreadSwitches() - before, 0) << "threads woke up while resting";

  const Clip& next = *bank.clip("106");
  out->play(Request::at(SoundClock::now(), &next));
  std::this_thread::sleep_for(playingTime(next) + 200ms);
  out.reset();
  EXPECT_NE(find(heard(), next), std::string::npos) << "not heard after resting";
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
  ASSERT_STREQ(player.output(), "SDL");
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
