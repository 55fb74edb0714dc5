// Tape decoder speed: frames per second through the decoder core, on recordings made by the
// encoder (a minute of files at 44100 Hz; and the same with noise, and on the second of two
// channels).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "cassette/decoder.h"
#include "cassette/encoder.h"

namespace {

constexpr size_t kPiece = 4096;

void Append(void* context, const float* samples, size_t count) {
  auto* out = static_cast<std::vector<float>*>(context);
  out->insert(out->end(), samples, samples + count);
}

// Files of 2 KiB in the fast form, back to back, for about a minute.
std::vector<float> Recording(uint32_t rate) {
  std::vector<float> out;
  TapeEncoder encoder;
  StartTapeEncoder(&encoder, rate, false, Append, &out);
  std::mt19937 random(7);
  uint8_t header[kTapeHeaderSize] = {1, 'B', 'E', 'N', 'C', 'H', 0x0D};
  std::vector<uint8_t> body(2048);
  header[18] = 0x00;
  header[19] = 0x08;
  while (out.size() < 60ull * rate) {
    for (uint8_t& b : body) b = static_cast<uint8_t>(random());
    EncodeTapeFile(&encoder, header, body.data(), static_cast<uint16_t>(body.size()), kFastForm);
    EncodeSilence(&encoder, 500000);
  }
  FinishTapeEncoder(&encoder);
  return out;
}

struct Count {
  int files;
};

void CountFile(void* context, const TapeFileRead* file) {
  if (file->sound) ++static_cast<Count*>(context)->files;
}

void RunDecoder(benchmark::State& state, const std::vector<float>& frames, uint32_t rate,
                int channels) {
  size_t frameCount = frames.size() / static_cast<size_t>(channels);
  Count count{};
  for (auto _ : state) {
    count.files = 0;
    TapeDecoder* decoder = CreateTapeDecoder(rate, channels, CountFile, &count);
    for (size_t at = 0; at < frameCount; at += kPiece) {
      size_t n = frameCount - at < kPiece ? frameCount - at : kPiece;
      FeedTapeDecoder(decoder, frames.data() + at * static_cast<size_t>(channels), n);
    }
    FinishTapeDecoder(decoder);
    DestroyTapeDecoder(decoder);
    benchmark::DoNotOptimize(count.files);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frameCount));
  state.counters["sound_files"] = count.files;
  state.counters["realtime_x"] = benchmark::Counter(
      static_cast<double>(state.iterations() * frameCount) / rate, benchmark::Counter::kIsRate);
}

void BM_DecodeMono44100(benchmark::State& state) {
  static const std::vector<float> frames = Recording(44100);
  RunDecoder(state, frames, 44100, 1);
}

void BM_DecodeNoisyMono44100(benchmark::State& state) {
  static const std::vector<float> frames = [] {
    std::vector<float> r = Recording(44100);
    std::mt19937 random(3);
    std::normal_distribution<float> noise(0.0f, 0.1f);
    for (float& x : r) x += noise(random);
    return r;
  }();
  RunDecoder(state, frames, 44100, 1);
}

// Below 32000 Hz the pulses come from the pulse search, not the edges.
void BM_DecodeMono8000(benchmark::State& state) {
  static const std::vector<float> frames = Recording(8000);
  RunDecoder(state, frames, 8000, 1);
}

void BM_DecodeMono11025(benchmark::State& state) {
  static const std::vector<float> frames = Recording(11025);
  RunDecoder(state, frames, 11025, 1);
}

// Both channels are read until the files turn up on the second.
void BM_DecodeSecondOfTwoChannels48000(benchmark::State& state) {
  static const std::vector<float> frames = [] {
    std::vector<float> mono = Recording(48000);
    std::vector<float> stereo(2 * mono.size(), 0.0f);
    for (size_t i = 0; i < mono.size(); ++i) stereo[2 * i + 1] = mono[i];
    return stereo;
  }();
  RunDecoder(state, frames, 48000, 2);
}

}  // namespace

BENCHMARK(BM_DecodeMono44100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeNoisyMono44100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSecondOfTwoChannels48000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMono8000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMono11025)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
