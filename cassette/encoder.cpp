#include "cassette/encoder.h"

namespace {

void Flush(TapeEncoder* encoder) {
  if (encoder->buffered == 0) return;
  encoder->sink(encoder->context, encoder->buffer, encoder->buffered);
  encoder->buffered = 0;
}

// One stretch of constant level. Its end falls on the sample nearest to the nominal time, so every
// stretch, and every pulse, is within one sample of its nominal length, and no error adds up.
void Level(TapeEncoder* encoder, float level, uint32_t microseconds) {
  encoder->elapsedUs += microseconds;
  uint64_t end = (encoder->elapsedUs * encoder->sampleRate + 500000) / 1000000;
  while (encoder->samplesDone < end) {
    if (encoder->buffered == kEncoderBufferSize) Flush(encoder);
    encoder->buffer[encoder->buffered++] = level;
    ++encoder->samplesDone;
  }
}

void Pulse(TapeEncoder* encoder, bool isLong) {
  Level(encoder, encoder->high, isLong ? kLongHighUs : kShortHighUs);
  Level(encoder, -encoder->high, isLong ? kLongLowUs : kShortLowUs);
}

void Pulses(TapeEncoder* encoder, bool isLong, int count) {
  for (int i = 0; i < count; ++i) Pulse(encoder, isLong);
}

// Start bit, then the eight bits, most significant first.
void Byte(TapeEncoder* encoder, uint8_t value) {
  Pulse(encoder, true);
  for (int bit = 7; bit >= 0; --bit) Pulse(encoder, ((value >> bit) & 1) != 0);
}

void BlockCopy(TapeEncoder* encoder, const uint8_t* data, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) Byte(encoder, data[i]);
  uint16_t check = TapeBlockCheck(data, length);
  Byte(encoder, static_cast<uint8_t>(check >> 8));
  Byte(encoder, static_cast<uint8_t>(check & 0xFF));
  Pulse(encoder, true);
}

// Gap, tape mark, 1 long, then the block once or twice.
void Block(TapeEncoder* encoder, int gapPulses, int markPulses, const uint8_t* data,
           uint32_t length, bool twoCopies) {
  Pulses(encoder, false, gapPulses);
  Pulses(encoder, true, markPulses);
  Pulses(encoder, false, markPulses);
  Pulse(encoder, true);
  BlockCopy(encoder, data, length);
  if (!twoCopies) return;
  Pulses(encoder, false, kCopyGapPulses);
  BlockCopy(encoder, data, length);
}

}  // namespace

void StartTapeEncoder(TapeEncoder* encoder, uint32_t sampleRate, bool invert, TapeSampleSink sink,
                      void* context) {
  encoder->sampleRate = sampleRate;
  encoder->high = invert ? -kTapeLevel : kTapeLevel;
  encoder->elapsedUs = 0;
  encoder->samplesDone = 0;
  encoder->sink = sink;
  encoder->context = context;
  encoder->buffered = 0;
}

void EncodeSilence(TapeEncoder* encoder, uint32_t microseconds) {
  Level(encoder, 0.0f, microseconds);
}

void EncodeTapeFile(TapeEncoder* encoder, const uint8_t* header, const uint8_t* body,
                    uint16_t size, const TapeForm& form) {
  Block(encoder, form.longGapPulses, kLongMarkPulses, header, kTapeHeaderSize, form.twoCopies);
  Block(encoder, form.shortGapPulses, kShortMarkPulses, body, size, form.twoCopies);
}

void FinishTapeEncoder(TapeEncoder* encoder) { Flush(encoder); }
