// The decoder's inner parts: the front end of one channel (filters and edge finding) and the
// readers of pulses, one per channel and polarity, that find tape marks, block copies and files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cassette/decoder.h"

// A block copy: its bytes and check, then one long pulse; the pulses of the longest copy fit.
constexpr uint32_t kMaxBlockBytes = kTapeMaxBody + kTapeCheckSize;
constexpr uint32_t kMaxCopyPulses = (kMaxBlockBytes + 1) * 9 + 80;

// What one pulse was: a bit, or nothing readable (a dropout, a glitch).
enum PulseKind : uint8_t { kPulseShort = 0, kPulseLong = 1, kPulseBad = 2 };
// Added to a pulse whose two halves do not fit its length: its bit is in doubt, and so is its
// byte.
constexpr uint8_t kPulseDoubt = 4;

struct TapeStream;

// Below 32000 Hz a half pulse is a few samples, and one noisy sample makes or loses an edge:
// there the pulses come from the most likely sequence of whole pulses (see tape_pulses.cpp). This
// is the search's state, one for each polarity of a channel.
constexpr int kSearchMaxHalf = 24;      // steps in the longest half the search holds
constexpr uint32_t kSearchHistory = 4096;  // steps of the search's choices kept (a power of two)
constexpr uint32_t kSearchSamples = 4096;  // samples kept to time the edges (a power of two)
constexpr uint32_t kSearchRing = 64;       // steps of running sums kept: two halves and more

struct TapePulseSearch {
  TapeStream* stream;  // where the pulses go; its speed sets the lengths searched for
  float sign;          // 1: pulses are high first; -1: low first (an inverted recording)
  int stepsPerSample;
  double stepFrames;
  double sampleUs;
  // Lengths in steps, for short [0] and long [1] pulses: each half, and the whole pulse.
  int highMin[2], highMax[2], lowMin[2], lowMax[2], totalMin[2], totalMax[2];
  double highCost[2][kSearchMaxHalf + 1];  // [kind][steps]: what a half of that length costs
  double lowCost[2][kSearchMaxHalf + 1];
  double sums[kSearchRing];    // by step: the running sum of the levels, G
  double starts[kSearchRing];  // by step s: A(s), the best score before s, less G(s - 1)
  uint16_t from[kSearchHistory];  // the pulse that ended where each step began a new one
  uint64_t steps;
  uint64_t decided;    // pulses that began before this step are handed on
  double lastEnd;      // where the last pulse handed on ended, in frames; < 0 before the first
  float level;         // the pulses' height
  bool lastBad;        // the last pulse found was none
};

struct TapePulseFinder {
  double sampleUs;
  float samples[kSearchSamples];  // the filtered samples, by frame
  TapePulseSearch search[2];      // high first, low first
};

// Filters and edge finder of one channel.
struct TapeFrontEnd {
  TapePulseFinder* pulses;  // null: edges come from the hysteresis
  float held[4];   // the samples before the present one, for the middle of five
  float lpGain;   // one-pole low-pass against noise
  float hpGain;   // one-pole high-pass against DC, drifting offset and hum
  float lp;
  float lpPrev;
  float hp;
  float prev;      // the last filtered sample
  float env;       // the pulses' height, tracked half-period by half-period
  float hyst;      // the hysteresis around zero
  float halfPeak;  // the highest level of the half-period so far
  bool high;
  uint32_t sinceFlip;
  uint32_t maxHalf;  // no edge for this long: the level has dropped
  double crossUp;    // the last zero crossings, in frames
  double crossDown;
  double minHalf;    // flips closer than this are a click, not a pulse
  bool pending;      // an edge not yet handed on (it might be undone by a click)
  bool pendingRising;
  double pendingTime;
  TapeStream* rising;   // reads pulses from rising edge to rising edge
  TapeStream* falling;  // from falling edge to falling edge (an inverted recording)
};

// One block being read: up to two copies, the bytes found in each.
struct TapeBlock {
  int copies;               // copies read so far
  uint32_t length;          // bytes with the check; 0 while unknown
  bool pass[2];             // the copy passed its check whole
  uint64_t problem[2];      // the first place a copy went wrong
  uint8_t* bytes[2];        // kMaxBlockBytes each
  uint8_t* good[2];         // 1 where the byte was read in bit sync
  uint32_t goodFirst[2];    // bytes read in sync from the copy's start
};

enum StreamState { kSeekMark = 0, kInCopy = 1, kAfterCopy = 2 };

struct TapeDecoder;

// The reader of one pulse stream (one channel, one polarity).
struct TapeStream {
  TapeDecoder* decoder;
  int index;
  int channel;
  bool inverted;
  bool haveEdge;
  double lastEdge;
  double middle;       // the last edge of the other direction: where the pulse changed level
  double shortFrames;  // nominal pulse lengths at the sample rate
  double longFrames;
  double unit;         // measured against nominal pulse length (1.1: 10 % slow)
  bool speedFound;     // unit was set from a run of short pulses
  double runMean;      // pulses of one length in a row: their mean
  uint32_t runCount;
  double nominalFrames;   // the copies read whole: their nominal length
  double measuredFrames;  // and the time they took
  int state;
  // tape mark search
  uint32_t seekGap;
  uint32_t seekLongs;
  uint32_t seekShorts;
  uint32_t seekErrors;  // stray pulses inside the mark
  double markStart;
  bool markSeen;
  // the copy being read
  uint8_t* pulses;  // kMaxCopyPulses
  uint32_t pulseCount;
  uint32_t shortRun;
  uint32_t pulseLimit;
  uint32_t bytePos;  // pulse within its byte, for the first fault
  bool faulted;
  double fault;
  double copyStart;
  double copyEnd;  // where the long pulse after the check begins
  bool readingBody;
  TapeBlock block;
  // the file being read
  bool headerDone;  // header read, body to come
  uint32_t bodySize;  // from a sound header, else 0 with bodyKnown false
  bool bodyKnown;
  TapeFileRead file;
  uint64_t lastFrame;
};

struct TapeDecoder {
  uint32_t sampleRate;
  int channels;
  TapeFileSink sink;
  void* context;
  uint64_t framesDone;
  int locked;  // the stream every file comes from, once one read a sound header; -1 before
  bool held;  // a file read by a stream not locked onto, kept until it is clear no stream read it better
  double heldQuality;
  TapeFileRead heldFile;
  uint8_t* heldBody;  // kMaxBlockBytes
  TapeFrontEnd front[kTapeMaxChannels];
  TapeStream streams[2 * kTapeMaxChannels];
  uint8_t* storage;
};

// Front end: set up, and run over `count` samples spaced `stride` apart.
void StartFrontEnd(TapeFrontEnd* front, uint32_t sampleRate, TapeStream* rising,
                   TapeStream* falling);
void RunFrontEnd(TapeFrontEnd* front, const float* samples, size_t count, size_t stride,
                 uint64_t firstFrame);
// The recording has ended: the edges still held back are handed on.
void FinishFrontEnd(TapeFrontEnd* front, uint64_t frames);

// Reader: set up, one edge in, and the end of the recording.
void StartStream(TapeStream* stream, TapeDecoder* decoder, int index, uint32_t sampleRate,
                 uint8_t* storage);
void TakeEdge(TapeStream* stream, double frame);
// A whole pulse found by the pulse search: its start, the change of level, its end, and its kind.
void TakePulse(TapeStream* stream, double start, double middle, double end, int kind);
// The pulse search of a front end below 32000 Hz (the decoder sets it up when the rate calls for
// it), run over filtered samples, and finished at the end of the recording.
bool PulseSearchWanted(uint32_t sampleRate);
void StartPulseFinder(TapePulseFinder* finder, uint32_t sampleRate, TapeStream* rising,
                      TapeStream* falling);
void RunPulseFinder(TapePulseFinder* finder, float value, uint64_t frame);
void FinishPulseFinder(TapePulseFinder* finder, uint64_t frames);
void HandOn(TapeFrontEnd* front, bool rising, double time);
void FinishStream(TapeStream* stream, uint64_t endFrame);

// The decoder hears of a sound header (locks onto its stream) and of a whole file.
void NoteSoundHeader(TapeDecoder* decoder, int stream);
void ReportFile(TapeDecoder* decoder, int stream, const TapeFileRead* file, double quality);
bool StreamActive(const TapeDecoder* decoder, int stream);
