#include "tests/support/tape_degrade.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>

#include "cassette/encoder.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

void AppendSamples(void* context, const float* samples, size_t count) {
  Samples* out = static_cast<Samples*>(context);
  out->insert(out->end(), samples, samples + count);
}

// Time of a block copy: every byte a start bit and eight bits, the check, the long pulse after.
double CopyUs(const std::string& data) {
  auto byteUs = [](unsigned value) {
    int ones = std::popcount(value);
    return kLongPulseUs + ones * kLongPulseUs + (8 - ones) * kShortPulseUs;
  };
  double us = 0;
  unsigned check = 0;
  for (unsigned char c : data) {
    us += byteUs(c);
    check += static_cast<unsigned>(std::popcount(static_cast<unsigned>(c)));
  }
  return us + byteUs((check >> 8) & 0xFF) + byteUs(check & 0xFF) + kLongPulseUs;
}

// The two copies of a block after `at` us; returns the time after the block.
double BlockLayout(double at, int gap, int mark, const std::string& data, bool twoCopies,
                   double* copies) {
  at += gap * kShortPulseUs + mark * (kLongPulseUs + kShortPulseUs) + kLongPulseUs;
  copies[0] = at / 1e6;
  at += CopyUs(data);
  copies[1] = -1;
  if (!twoCopies) return at;
  at += kCopyGapPulses * kShortPulseUs;
  copies[1] = at / 1e6;
  return at + CopyUs(data);
}

void OnePole(Samples* s, double gain, bool highPass) {
  float y = 0, xPrev = 0;
  for (float& x : *s) {
    if (highPass) {
      y = static_cast<float>(gain * (y + x - xPrev));
      xPrev = x;
    } else {
      y += static_cast<float>(gain * (x - y));
    }
    x = y;
  }
}

// A second-order Butterworth low-pass section (bilinear transform).
void Biquad(Samples* s, uint32_t rate, double hz) {
  double k = std::tan(kPi * hz / rate);
  double norm = 1 / (1 + std::sqrt(2.0) * k + k * k);
  double b0 = k * k * norm, b1 = 2 * b0, b2 = b0;
  double a1 = 2 * (k * k - 1) * norm, a2 = (1 - std::sqrt(2.0) * k + k * k) * norm;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  for (float& x : *s) {
    double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    x = static_cast<float>(y);
  }
}

}  // namespace

TapeTestFile MakeTapeTestFile(const std::string& name, int attribute, size_t bodySize,
                              uint32_t seed) {
  TapeTestFile file;
  file.header.assign(kTapeHeaderSize, '\0');
  file.header[0] = static_cast<char>(attribute);
  for (size_t i = 0; i < 17; ++i) file.header[1 + i] = i < name.size() ? name[i] : '\r';
  file.header[18] = static_cast<char>(bodySize & 0xFF);
  file.header[19] = static_cast<char>(bodySize >> 8);
  file.header[20] = 0x00;
  file.header[21] = 0x12;
  file.header[22] = 0x34;
  file.header[23] = 0x12;
  std::mt19937 random(seed);
  for (size_t i = 24; i < 40; ++i) file.header[i] = static_cast<char>(random() & 0xFF);
  file.body.resize(bodySize);
  for (char& c : file.body) c = static_cast<char>(random() & 0xFF);
  return file;
}

Samples EncodeFiles(const std::vector<TapeTestFile>& files, uint32_t rate, const TapeForm& form,
                    bool invert, uint32_t silenceMs) {
  Samples out;
  TapeEncoder encoder;
  StartTapeEncoder(&encoder, rate, invert, AppendSamples, &out);
  EncodeSilence(&encoder, silenceMs * 1000);
  for (const TapeTestFile& f : files) {
    EncodeTapeFile(&encoder, reinterpret_cast<const uint8_t*>(f.header.data()),
                   reinterpret_cast<const uint8_t*>(f.body.data()),
                   static_cast<uint16_t>(f.body.size()), form);
    EncodeSilence(&encoder, silenceMs * 1000);
  }
  FinishTapeEncoder(&encoder);
  return out;
}

std::vector<BlockTimes> LayoutTimes(const std::vector<TapeTestFile>& files, const TapeForm& form,
                                    uint32_t silenceMs) {
  std::vector<BlockTimes> times;
  double at = silenceMs * 1000.0;
  for (const TapeTestFile& f : files) {
    BlockTimes t{};
    at = BlockLayout(at, form.longGapPulses, kLongMarkPulses, f.header, form.twoCopies,
                     t.headerCopy);
    at = BlockLayout(at, form.shortGapPulses, kShortMarkPulses, f.body, form.twoCopies,
                     t.bodyCopy);
    t.fileEnd = at / 1e6;
    times.push_back(t);
    at += silenceMs * 1000.0;
  }
  return times;
}

Samples Warp(const Samples& in, uint32_t inRate, uint32_t outRate, double speed,
             double wowDepth, double wowHz, double flutterDepth, double flutterHz) {
  Samples out;
  double position = 0;  // in input samples
  double step = static_cast<double>(inRate) / outRate;
  for (size_t n = 0; position + 1 < static_cast<double>(in.size()); ++n) {
    size_t i = static_cast<size_t>(position);
    double frac = position - static_cast<double>(i);
    out.push_back(static_cast<float>(in[i] * (1 - frac) + in[i + 1] * frac));
    double t = static_cast<double>(n) / outRate;
    double rate = speed * (1 + wowDepth * std::sin(2 * kPi * wowHz * t) +
                           flutterDepth * std::sin(2 * kPi * flutterHz * t));
    position += step * rate;
  }
  return out;
}

void Amplify(Samples* s, double decibels) {
  float gain = static_cast<float>(std::pow(10.0, decibels / 20));
  for (float& x : *s) x *= gain;
}

void Clip(Samples* s, float limit) {
  for (float& x : *s) x = std::clamp(x, -limit, limit);
}

void Invert(Samples* s) {
  for (float& x : *s) x = -x;
}

void AddOffset(Samples* s, uint32_t rate, float level, float swing, double hz) {
  for (size_t n = 0; n < s->size(); ++n) {
    (*s)[n] += level + swing * static_cast<float>(std::sin(2 * kPi * hz * n / rate));
  }
}

void HighPass(Samples* s, uint32_t rate, double hz) {
  double rc = 1 / (2 * kPi * hz);
  OnePole(s, rc / (rc + 1.0 / rate), true);
}

void LowPass(Samples* s, uint32_t rate, double hz) {
  Biquad(s, rate, hz);
  Biquad(s, rate, hz);
}

void AddNoise(Samples* s, double snrDb, uint32_t seed) {
  double power = 0;
  size_t loud = 0;
  for (float x : *s) {
    if (std::fabs(x) > 1e-6f) {
      power += static_cast<double>(x) * x;
      ++loud;
    }
  }
  double rms = loud == 0 ? 0.1 : std::sqrt(power / loud);
  std::mt19937 random(seed);
  std::normal_distribution<double> normal(0.0, rms / std::pow(10.0, snrDb / 20));
  for (float& x : *s) x += static_cast<float>(normal(random));
}

void AddHum(Samples* s, uint32_t rate, double hz, float level) {
  for (size_t n = 0; n < s->size(); ++n) {
    double t = static_cast<double>(n) / rate;
    (*s)[n] += level * static_cast<float>(std::sin(2 * kPi * hz * t) +
                                          0.3 * std::sin(2 * kPi * 2 * hz * t + 1) +
                                          0.2 * std::sin(2 * kPi * 3 * hz * t + 2));
  }
}

void AddClicks(Samples* s, uint32_t rate, double perSecond, uint32_t seed) {
  std::mt19937 random(seed);
  size_t count = static_cast<size_t>(perSecond * s->size() / rate);
  for (size_t k = 0; k < count && s->size() > 4; ++k) {
    size_t at = random() % (s->size() - 2);
    float level = (random() & 1) ? 0.95f : -0.95f;
    (*s)[at] = level;
    if (random() & 1) (*s)[at + 1] = level;
  }
}

void Dropout(Samples* s, uint32_t rate, double startSecond, double lengthMs) {
  size_t from = static_cast<size_t>(startSecond * rate);
  size_t to = from + static_cast<size_t>(lengthMs * rate / 1000);
  for (size_t n = from; n < to && n < s->size(); ++n) (*s)[n] = 0;
}

void Quantise(Samples* s, int bits) {
  double scale = std::ldexp(1.0, bits - 1);
  for (float& x : *s) {
    double q = std::round(static_cast<double>(x) * scale);
    q = std::clamp(q, -scale, scale - 1);
    x = static_cast<float>(q / scale);
  }
}

Samples NoiseOnly(size_t count, float level, uint32_t seed) {
  std::mt19937 random(seed);
  std::normal_distribution<float> normal(0.0f, level);
  Samples out(count);
  for (float& x : out) x = normal(random);
  return out;
}

Samples Interleave(const std::vector<Samples>& channels) {
  size_t frames = 0;
  for (const Samples& c : channels) frames = std::max(frames, c.size());
  Samples out(frames * channels.size(), 0.0f);
  for (size_t k = 0; k < channels.size(); ++k) {
    for (size_t n = 0; n < channels[k].size(); ++n) out[n * channels.size() + k] = channels[k][n];
  }
  return out;
}

void CollectDecodedFile(void* context, const TapeFileRead* file) {
  DecodeResult* result = static_cast<DecodeResult*>(context);
  DecodedFile d;
  d.header.assign(reinterpret_cast<const char*>(file->header), kTapeHeaderSize);
  d.body.assign(reinterpret_cast<const char*>(file->body), file->bodyLength);
  d.read = *file;
  d.read.body = nullptr;
  result->files.push_back(d);
}

DecodeResult DecodeSamples(const Samples& frames, uint32_t rate, int channels, size_t piece) {
  DecodeResult result;
  TapeDecoder* decoder = CreateTapeDecoder(rate, channels, CollectDecodedFile, &result);
  size_t total = frames.size() / static_cast<size_t>(channels);
  for (size_t at = 0; at < total; at += piece) {
    size_t n = std::min(piece, total - at);
    FeedTapeDecoder(decoder, frames.data() + at * static_cast<size_t>(channels), n);
  }
  FinishTapeDecoder(decoder);
  GetTapeSignal(decoder, &result.signal);
  DestroyTapeDecoder(decoder);
  return result;
}
