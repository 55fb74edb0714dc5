// A placeholder: finds no file on any recording.
#include "cassette/decoder.h"

struct TapeDecoder {
  uint32_t sampleRate;
  int channels;
  TapeFileSink sink;
  void* context;
};

TapeDecoder* CreateTapeDecoder(uint32_t sampleRate, int channels, TapeFileSink sink,
                               void* context) {
  return new TapeDecoder{sampleRate, channels, sink, context};
}

void FeedTapeDecoder(TapeDecoder* /*decoder*/, const float* /*frames*/, size_t /*frameCount*/) {}

void FinishTapeDecoder(TapeDecoder* /*decoder*/) {}

void GetTapeSignal(const TapeDecoder* /*decoder*/, TapeSignal* signal) {
  *signal = TapeSignal{false, -1, false, 1.0};
}

void DestroyTapeDecoder(TapeDecoder* decoder) { delete decoder; }
