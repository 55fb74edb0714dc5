// Reading the tape signal back: samples in, the files on the recording out.
//
// The decoder works on the samples as they come, in pieces of any size, and keeps only a bounded
// state (no whole recording in memory). It finds every file in order and hands each to a sink
// with its header, its body and how each block was read. Nothing that failed its check is ever
// reported as sound.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cassette/recording.h"

// How a block (header or body) was read.
enum TapeBlockUse {
  kBlockFirstCopy = 0,   // the first copy passed its check
  kBlockSecondCopy = 1,  // the first failed, the second passed
  kBlockCombined = 2,    // both failed; combined byte by byte, the result passed
  kBlockFailed = 3,      // no copy, nor their combination, passed its check
  kBlockCut = 4,         // the recording ends inside the block
  kBlockMissing = 5      // not found at all (a body with no short tape mark before the next file)
};

struct TapeBlockRead {
  int use;                // TapeBlockUse
  uint64_t problemFrame;  // where a failure or the cut lies, in frames from the recording's start
};

struct TapeFileRead {
  uint64_t startFrame;  // where the file's long tape mark begins
  uint8_t header[kTapeHeaderSize];  // best bytes: exactly as recorded when the header is sound
  TapeBlockRead headerRead;
  const uint8_t* body;  // the decoder's buffer; valid only during the call of the sink
  uint32_t bodyLength;  // body bytes at `body`: the header's Size when the body is whole
  TapeBlockRead bodyRead;
  bool sound;  // header and body both passed their checks and the body is whole
};

typedef void (*TapeFileSink)(void* context, const TapeFileRead* file);

// What the decoder learnt of the signal.
struct TapeSignal {
  bool found;     // any tape signal (a tape mark) at all
  int channel;    // the channel the files were read from (0 first), -1 when none
  bool inverted;  // the pulses' rising edges appear as falling ones
  double speed;   // the pulse rate against nominal: 1.0 nominal, 1.05 five per cent fast
};

constexpr int kTapeMaxChannels = 8;

struct TapeDecoder;

// A decoder for interleaved frames of `channels` channels (1 to kTapeMaxChannels) at `sampleRate`
// (8000 to 192000 Hz; rates from 1000 to 1000000 are taken, others and other channel counts give
// a null decoder). Every file is reported once, however many channels carry it. The decoder
// holds about 1.7 MB per channel, whatever the recording's length.
TapeDecoder* CreateTapeDecoder(uint32_t sampleRate, int channels, TapeFileSink sink,
                               void* context);

// The next `frameCount` frames, each `channels` samples in -1..1 (values outside are taken as they
// are: clipped or louder input is no error).
void FeedTapeDecoder(TapeDecoder* decoder, const float* frames, size_t frameCount);

// The recording has ended: reports a file still being read (cut short: kBlockCut with the
// recording's end as the problem frame, when the pulses ran up to the end; otherwise the block
// is judged on what was read). Files are reported in order; a file that failed may be reported
// a little later than it was read (up to when the next file is found), never twice.
void FinishTapeDecoder(TapeDecoder* decoder);

// What the decoder found so far: of the channel and polarity the files came from (or, before any
// sound header, the first that found a tape mark). The speed is measured over the block copies
// read whole (1.0 until there is one).
void GetTapeSignal(const TapeDecoder* decoder, TapeSignal* signal);

void DestroyTapeDecoder(TapeDecoder* decoder);
