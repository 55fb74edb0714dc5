// The tape decoder fed samples: either raw 16-bit samples from the input, or a recording of a
// header and body taken from the input, with samples then overwritten by the input's last bytes.
// Whatever comes, no file may be called sound unless its body has the header's Size; and an
// untouched recording must come back exactly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "cassette/decoder.h"
#include "cassette/encoder.h"
#include "formats/bytes.h"

namespace {

constexpr size_t kMaxSamples = 1 << 20;

struct Found {
  int files;
  int sound;
  bool exact;
  const uint8_t* header;
  const uint8_t* body;
  uint32_t size;
};

void Require(bool condition) {
  if (!condition) std::abort();
}

void Check(void* context, const TapeFileRead* file) {
  Found* found = static_cast<Found*>(context);
  ++found->files;
  Require(file->headerRead.use >= kBlockFirstCopy && file->headerRead.use <= kBlockMissing);
  Require(file->bodyRead.use >= kBlockFirstCopy && file->bodyRead.use <= kBlockMissing);
  Require(file->bodyLength <= kTapeMaxBody);
  if (file->bodyLength > 0) Require(file->body != nullptr);
  if (!file->sound) return;
  ++found->sound;
  Require(file->bodyLength == Get16(file->header + 18));
  if (found->header != nullptr && std::memcmp(file->header, found->header, kTapeHeaderSize) == 0 &&
      file->bodyLength == found->size &&
      (found->size == 0 || std::memcmp(file->body, found->body, found->size) == 0)) {
    found->exact = true;
  }
}

struct Recording {
  float* samples;
  size_t count;
};

void Append(void* context, const float* samples, size_t count) {
  Recording* r = static_cast<Recording*>(context);
  if (count > kMaxSamples - r->count) count = kMaxSamples - r->count;
  std::memcpy(r->samples + r->count, samples, count * sizeof(float));
  r->count += count;
}

void Decode(const float* frames, size_t frameCount, uint32_t rate, int channels, Found* found) {
  TapeDecoder* decoder = CreateTapeDecoder(rate, channels, Check, found);
  Require(decoder != nullptr);
  size_t piece = 1 + frameCount % 997;
  for (size_t at = 0; at < frameCount; at += piece) {
    size_t n = frameCount - at < piece ? frameCount - at : piece;
    FeedTapeDecoder(decoder, frames + at * static_cast<size_t>(channels), n);
  }
  FinishTapeDecoder(decoder);
  TapeSignal signal;
  GetTapeSignal(decoder, &signal);
  Require(signal.channel >= -1 && signal.channel < channels);
  DestroyTapeDecoder(decoder);
}

// Raw samples: 16-bit, little-endian, interleaved.
void RawSamples(const uint8_t* data, size_t size, uint32_t rate, int channels) {
  static float frames[kMaxSamples];
  size_t count = size / 2;
  if (count > kMaxSamples) count = kMaxSamples;
  count -= count % static_cast<size_t>(channels);
  for (size_t i = 0; i < count; ++i) {
    frames[i] = static_cast<int16_t>(Get16(data + 2 * i)) / 32768.0f;
  }
  Found found{};
  Decode(frames, count / static_cast<size_t>(channels), rate, channels, &found);
}

// A recording of the input's header and body; bytes after them overwrite samples, four at a
// time (a position and a level).
void MutatedRecording(const uint8_t* data, size_t size, uint32_t rate, bool twoCopies) {
  static float samples[kMaxSamples];
  uint8_t header[kTapeHeaderSize] = {};
  size_t take = size < kTapeHeaderSize ? size : kTapeHeaderSize;
  std::memcpy(header, data, take);
  uint16_t bodySize = static_cast<uint16_t>(header[18] % 64);
  Put16(header + 18, bodySize);
  uint8_t body[64] = {};
  for (uint16_t i = 0; i < bodySize && take + i < size; ++i) body[i] = data[take + i];
  size_t used = take + bodySize < size ? take + bodySize : size;

  Recording r{samples, 0};
  TapeEncoder encoder;
  StartTapeEncoder(&encoder, rate, (header[0] & 0x80) != 0, Append, &r);
  EncodeSilence(&encoder, 20000);
  const TapeForm form = {200, 500, twoCopies};
  EncodeTapeFile(&encoder, header, body, bodySize, form);
  EncodeSilence(&encoder, 20000);
  FinishTapeEncoder(&encoder);

  bool touched = false;
  for (size_t at = used; at + 4 <= size && r.count > 0; at += 4) {
    size_t position = Get16(data + at) * static_cast<size_t>(data[at + 2] + 1) % r.count;
    samples[position] = (static_cast<int>(data[at + 3]) - 128) / 100.0f;
    touched = true;
  }
  Found found{};
  found.header = header;
  found.body = body;
  found.size = bodySize;
  Decode(samples, r.count, rate, 1, &found);
  if (!touched) Require(found.files == 1 && found.sound == 1 && found.exact);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t rates[] = {8000, 11025, 22050, 44100};
  uint32_t rate = rates[data[1] & 3];
  if ((data[0] & 1) == 0) {
    RawSamples(data + 2, size - 2, rate, 1 + (data[0] >> 1) % 3);
  } else {
    MutatedRecording(data + 2, size - 2, rates[data[1] & 1], (data[0] & 2) != 0);
  }
  return 0;
}
