// The tape decoder against recordings made in the tests: the encoder's samples through what real
// tapes, players and sound cards do to them, each at the limit the decoder is built for.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "cassette/decoder.h"
#include "tests/support/tape_degrade.h"

namespace {

constexpr TapeForm kFast = kFastForm;
constexpr TapeForm kConventional = kConventionalForm;

std::vector<TapeTestFile> TwoFiles() {
  return {MakeTapeTestFile("FIRST", 1, 96, 11), MakeTapeTestFile("SECOND FILE", 2, 23, 12)};
}

// A recording made for a case, and the rate it is at.
struct Recording {
  Samples frames;
  uint32_t rate;
  int channels = 1;
};

using Maker = std::function<Recording(const std::vector<TapeTestFile>&)>;

struct SignalCase {
  const char* name;
  Maker make;
  bool inverted;       // what the decoder must find
  double speed;        // the same, within 1 %
  int channel = 0;
};

// The encoder's recording at `rate`, changed in place by `change`.
Maker Clean(uint32_t rate, const TapeForm& form, bool invert = false,
            std::function<void(Samples*, uint32_t)> change = nullptr) {
  return [=](const std::vector<TapeTestFile>& files) {
    Recording r{EncodeFiles(files, rate, form, invert), rate};
    if (change) change(&r.frames, rate);
    return r;
  };
}

// Played `speed` times as fast, with wow and flutter, then changed by `change`.
Maker Played(uint32_t rate, double speed, double wow, double flutter,
             std::function<void(Samples*, uint32_t)> change = nullptr, bool invert = false) {
  return [=](const std::vector<TapeTestFile>& files) {
    Samples encoded = EncodeFiles(files, 2 * rate, kFast, invert);
    Recording r{Warp(encoded, 2 * rate, rate, speed, wow, 1.0, flutter, 10.0), rate};
    if (change) change(&r.frames, rate);
    return r;
  };
}

// Noise of a quarter of full scale in place of the silence before, between and after the files.
Recording NoiseAround(const std::vector<TapeTestFile>& files) {
  const uint32_t rate = 22050;
  Samples out = NoiseOnly(rate, 0.25f, 5);
  for (size_t i = 0; i < files.size(); ++i) {
    Samples one = EncodeFiles({files[i]}, rate, kFast, false, 0);
    out.insert(out.end(), one.begin(), one.end());
    Samples noise = NoiseOnly(rate, 0.25f, static_cast<uint32_t>(6 + i));
    out.insert(out.end(), noise.begin(), noise.end());
  }
  return Recording{out, rate};
}

// The recording on channel `on` of `channels`, the others silent or noisy; or on two at once.
Maker OnChannel(int channels, int on, bool othersNoisy, bool alsoOnFirst = false) {
  return [=](const std::vector<TapeTestFile>& files) {
    const uint32_t rate = 22050;
    Samples signal = EncodeFiles(files, rate, kFast);
    std::vector<Samples> all;
    for (int k = 0; k < channels; ++k) {
      if (k == on || (alsoOnFirst && k == 0)) {
        all.push_back(signal);
      } else {
        all.push_back(othersNoisy ? NoiseOnly(signal.size(), 0.3f, static_cast<uint32_t>(20 + k))
                                  : Samples(signal.size(), 0.0f));
      }
    }
    return Recording{Interleave(all), rate, channels};
  };
}

void ExpectFilesExactly(const DecodeResult& result, const std::vector<TapeTestFile>& files,
                        int headerUse = kBlockFirstCopy, int bodyUse = kBlockFirstCopy) {
  ASSERT_EQ(result.files.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    const DecodedFile& got = result.files[i];
    EXPECT_TRUE(got.read.sound) << "file " << i;
    EXPECT_EQ(got.header, files[i].header) << "file " << i;
    EXPECT_EQ(got.body, files[i].body) << "file " << i;
    EXPECT_EQ(got.read.headerRead.use, headerUse) << "file " << i;
    EXPECT_EQ(got.read.bodyRead.use, bodyUse) << "file " << i;
  }
}

std::function<void(Samples*, uint32_t)> Chain(std::vector<std::function<void(Samples*, uint32_t)>> steps) {
  return [=](Samples* s, uint32_t rate) {
    for (const auto& step : steps) step(s, rate);
  };
}

const SignalCase kSignalCases[] = {
    {"8000 Hz", Clean(8000, kFast), false, 1.0},
    {"11025 Hz", Clean(11025, kFast), false, 1.0},
    {"22050 Hz", Clean(22050, kFast), false, 1.0},
    {"44100 Hz", Clean(44100, kFast), false, 1.0},
    {"48000 Hz inverted", Clean(48000, kFast, true), true, 1.0},
    {"96000 Hz", Clean(96000, kFast), false, 1.0},
    {"192000 Hz inverted", Clean(192000, kFast, true), true, 1.0},
    {"conventional 22050 Hz", Clean(22050, kConventional), false, 1.0},
    {"conventional inverted 11025 Hz", Clean(11025, kConventional, true), true, 1.0},
    {"8-bit", Clean(22050, kFast, false, [](Samples* s, uint32_t) { Quantise(s, 8); }), false, 1.0},
    {"16-bit", Clean(44100, kFast, false, [](Samples* s, uint32_t) { Quantise(s, 16); }), false, 1.0},
    {"24-bit", Clean(48000, kFast, false, [](Samples* s, uint32_t) { Quantise(s, 24); }), false, 1.0},
    {"20 % slow", Played(22050, 0.8, 0, 0), false, 0.8},
    {"20 % fast", Played(22050, 1.2, 0, 0), false, 1.2},
    {"20 % slow, wow 3 %, flutter 1 %", Played(22050, 0.8, 0.03, 0.01), false, 0.8},
    {"20 % fast, wow 3 %, flutter 1 %, inverted", Played(44100, 1.2, 0.03, 0.01, nullptr, true),
     true, 1.2},
    {"moving DC offset",
     Clean(22050, kFast, false, [](Samples* s, uint32_t r) { AddOffset(s, r, 0.2f, 0.2f, 0.7); }),
     false, 1.0},
    {"AC coupling at 200 Hz",
     Clean(22050, kFast, false, [](Samples* s, uint32_t r) { HighPass(s, r, 200); }), false, 1.0},
    {"-40 dBFS float",
     Clean(44100, kFast, false, [](Samples* s, uint32_t) { Amplify(s, -40 + 2.5); }), false, 1.0},
    {"-40 dBFS 16-bit", Clean(44100, kFast, false, Chain({[](Samples* s, uint32_t) { Amplify(s, -37.5); },
                                                          [](Samples* s, uint32_t) { Quantise(s, 16); }})),
     false, 1.0},
    {"hard clipping", Clean(22050, kFast, false, Chain({[](Samples* s, uint32_t) { Amplify(s, 30); },
                                                         [](Samples* s, uint32_t) { Clip(s, 1.0f); }})),
     false, 1.0},
    {"band limit 3 kHz at 44100 Hz",
     Clean(44100, kFast, false, [](Samples* s, uint32_t r) { LowPass(s, r, 3000); }), false, 1.0},
    {"band limit 3 kHz at 8000 Hz",
     Clean(8000, kFast, false, [](Samples* s, uint32_t r) { LowPass(s, r, 3000); }), false, 1.0},
    {"white noise 10 dB SNR",
     Clean(44100, kFast, false, [](Samples* s, uint32_t) { AddNoise(s, 10, 3); }), false, 1.0},
    {"white noise 10 dB SNR at 22050 Hz, inverted",
     Clean(22050, kFast, true, [](Samples* s, uint32_t) { AddNoise(s, 10, 4); }), true, 1.0},
    {"mains hum 50 Hz",
     Clean(22050, kFast, false, [](Samples* s, uint32_t r) { AddHum(s, r, 50, 0.3f); }), false, 1.0},
    {"mains hum 60 Hz",
     Clean(44100, kFast, false, [](Samples* s, uint32_t r) { AddHum(s, r, 60, 0.3f); }), false, 1.0},
    {"clicks", Clean(44100, kFast, false, [](Samples* s, uint32_t r) { AddClicks(s, r, 4, 9); }),
     false, 1.0},
    {"noise before, between and after", NoiseAround, false, 1.0},
    {"right of two channels, left silent", OnChannel(2, 1, false), false, 1.0, 1},
    {"third of four channels, others noisy", OnChannel(4, 2, true), false, 1.0, 2},
    {"the same on both channels", OnChannel(2, 1, false, true), false, 1.0, 0},
    {"an old tape: 8-bit, inverted, 7 % slow, 3 kHz, hum, 20 dB SNR",
     Played(22050, 0.93, 0.01, 0.003,
            Chain({[](Samples* s, uint32_t r) { LowPass(s, r, 3000); },
                   [](Samples* s, uint32_t r) { AddHum(s, r, 50, 0.05f); },
                   [](Samples* s, uint32_t) { AddNoise(s, 20, 8); },
                   [](Samples* s, uint32_t) { Quantise(s, 8); }}),
            true),
     true, 0.93},
};

TEST(TapeDecoder, ReadsEveryFileExactlyThroughEachDegradation) {
  const std::vector<TapeTestFile> files = TwoFiles();
  for (const SignalCase& c : kSignalCases) {
    SCOPED_TRACE(c.name);
    Recording r = c.make(files);
    DecodeResult result = DecodeSamples(r.frames, r.rate, r.channels);
    ExpectFilesExactly(result, files);
    EXPECT_TRUE(result.signal.found);
    EXPECT_EQ(result.signal.inverted, c.inverted);
    EXPECT_EQ(result.signal.channel, c.channel);
    EXPECT_NEAR(result.signal.speed, c.speed, 0.01 * c.speed);
  }
}

}  // namespace
