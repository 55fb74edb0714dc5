// Recording MZF files as the machine's tape signal, one mono sample stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cassette/recording.h"

// Receives the samples in order, each in -1..1.
typedef void (*TapeSampleSink)(void* context, const float* samples, size_t count);

constexpr int kEncoderBufferSize = 4096;
constexpr float kTapeLevel = 0.75f;  // the pulses' height against full scale

struct TapeEncoder {
  uint32_t sampleRate;
  float high;            // the level of a pulse's first half; -high is its second half
  uint64_t elapsedUs;    // nominal time recorded so far
  uint64_t samplesDone;  // samples handed out so far, buffered ones included
  TapeSampleSink sink;
  void* context;
  size_t buffered;
  float buffer[kEncoderBufferSize];
};

// `invert` records every pulse low first.
void StartTapeEncoder(TapeEncoder* encoder, uint32_t sampleRate, bool invert, TapeSampleSink sink,
                      void* context);

// Silence of the given length.
void EncodeSilence(TapeEncoder* encoder, uint32_t microseconds);

// One file: gaps, marks, the 128-byte header and `size` body bytes with their checks, in the
// conventional form (each block twice) or the fast one.
void EncodeTapeFile(TapeEncoder* encoder, const uint8_t* header, const uint8_t* body,
                    uint16_t size, const TapeForm& form);

// Hands out the samples still buffered.
void FinishTapeEncoder(TapeEncoder* encoder);
