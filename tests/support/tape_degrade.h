// Tape recordings made in the tests: the encoder's samples, then what real tapes, players and
// sound cards do to them. Every random choice comes from a seed, so each case is the same on
// every run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cassette/decoder.h"
#include "cassette/recording.h"

using Samples = std::vector<float>;

// An MZF file (header + body, Size taken from the header) as the tests use it.
struct TapeTestFile {
  std::string header;  // 128 bytes
  std::string body;
};

// A file with a header built in the test (name, type, Size = body length) and a seeded body.
TapeTestFile MakeTapeTestFile(const std::string& name, int attribute, size_t bodySize,
                              uint32_t seed);

// The files one after another, with `silenceMs` of silence before, between and after them.
Samples EncodeFiles(const std::vector<TapeTestFile>& files, uint32_t rate, const TapeForm& form,
                    bool invert = false, uint32_t silenceMs = 500);

// Played back at another speed, `speed` 1.2 being 20 % fast, with wow and flutter (depths as
// shares of the speed, e.g. 0.03 at 1 Hz); read from `inRate` samples into `outRate` ones.
Samples Warp(const Samples& in, uint32_t inRate, uint32_t outRate, double speed,
             double wowDepth = 0, double wowHz = 1, double flutterDepth = 0,
             double flutterHz = 10);

void Amplify(Samples* s, double decibels);
void Clip(Samples* s, float limit);
void Invert(Samples* s);
// A DC offset of `level` that moves by `swing` at `hz`.
void AddOffset(Samples* s, uint32_t rate, float level, float swing, double hz);
// One-pole high-pass (AC coupling) and fourth-order Butterworth low-pass (band limit).
void HighPass(Samples* s, uint32_t rate, double hz);
void LowPass(Samples* s, uint32_t rate, double hz);
// White noise at the given signal-to-noise ratio against the signal's power where it is not
// silent.
void AddNoise(Samples* s, double snrDb, uint32_t seed);
// Mains hum of 50 Hz with its harmonics, `level` against full scale.
void AddHum(Samples* s, uint32_t rate, double hz, float level);
// `perSecond` clicks: a sample or two of near full scale, either sign.
void AddClicks(Samples* s, uint32_t rate, double perSecond, uint32_t seed);
// The signal gone (silence) from `startSecond` for `lengthMs`.
void Dropout(Samples* s, uint32_t rate, double startSecond, double lengthMs);
// Rounded to `bits`-bit integers, as a sound card stores them.
void Quantise(Samples* s, int bits);
// Noise of this level (against full scale) only, e.g. for silent channels or stretches.
Samples NoiseOnly(size_t count, float level, uint32_t seed);
// Frames of several channels: channel k takes channels[k].
Samples Interleave(const std::vector<Samples>& channels);

// What the decoder reported.
struct DecodedFile {
  std::string header;
  std::string body;
  TapeFileRead read;  // body pointer not valid after the call
};

struct DecodeResult {
  std::vector<DecodedFile> files;
  TapeSignal signal;
};

// A decoder's sink that adds each file to the DecodeResult given as its context.
void CollectDecodedFile(void* context, const TapeFileRead* file);

// Decodes interleaved frames, fed in pieces of `piece` frames.
DecodeResult DecodeSamples(const Samples& frames, uint32_t rate, int channels,
                           size_t piece = 4096);

// Time in seconds at which the n-th file's body (or header) block begins in EncodeFiles' output,
// for placing damage: the start of the first and the second copy of each block.
struct BlockTimes {
  double headerCopy[2];
  double bodyCopy[2];
  double fileEnd;
};
std::vector<BlockTimes> LayoutTimes(const std::vector<TapeTestFile>& files, const TapeForm& form,
                                    uint32_t silenceMs = 500);
