// The decoder: one front end per channel, two pulse readers per channel (one for each polarity).
// All of them run until one reads a sound header; from then on only that one does, so a file on
// two channels, or read in both polarities, is reported once.
#include "cassette/decoder.h"

#include <cstring>

#include "cassette/tape_stream.h"

namespace {

constexpr size_t kStreamStorage = kMaxCopyPulses + 4 * static_cast<size_t>(kMaxBlockBytes);
constexpr size_t kHeldStorage = kMaxBlockBytes;
constexpr uint32_t kSameFileSeconds = 2;  // reports this close together are one file

}  // namespace

bool StreamActive(const TapeDecoder* decoder, int stream) {
  return decoder->locked < 0 || decoder->locked == stream;
}

void NoteSoundHeader(TapeDecoder* decoder, int stream) {
  if (decoder->locked < 0) decoder->locked = stream;
}

namespace {

bool SameFile(const TapeDecoder* decoder, uint64_t a, uint64_t b) {
  uint64_t near = static_cast<uint64_t>(kSameFileSeconds) * decoder->sampleRate;
  return a + near > b && a < b + near;
}

void DeliverHeld(TapeDecoder* decoder) {
  if (!decoder->held) return;
  decoder->held = false;
  decoder->sink(decoder->context, &decoder->heldFile);
}

void Hold(TapeDecoder* decoder, const TapeFileRead* file, double quality) {
  decoder->held = true;
  decoder->heldQuality = quality;
  decoder->heldFile = *file;
  std::memcpy(decoder->heldBody, file->body, file->bodyLength);
  decoder->heldFile.body = decoder->heldBody;
}

}  // namespace

// Once a stream is locked onto, its files go straight out. Before that, a file (one that failed)
// may come from several streams, each polarity of each channel: the best read of it is kept until
// a later file, the locked stream's own read of it, or the end shows that no better one will come.
void ReportFile(TapeDecoder* decoder, int stream, const TapeFileRead* file, double quality) {
  if (!StreamActive(decoder, stream)) return;
  bool same = decoder->held && SameFile(decoder, decoder->heldFile.startFrame, file->startFrame);
  if (decoder->held && !same) DeliverHeld(decoder);
  if (decoder->locked >= 0) {
    decoder->held = false;
    decoder->sink(decoder->context, file);
  } else if (!same || quality > decoder->heldQuality) {
    Hold(decoder, file, quality);
  }
}

TapeDecoder* CreateTapeDecoder(uint32_t sampleRate, int channels, TapeFileSink sink,
                               void* context) {
  if (channels < 1 || channels > kTapeMaxChannels || sampleRate < 1000 || sampleRate > 1000000) {
    return nullptr;
  }
  TapeDecoder* decoder = new TapeDecoder{};
  decoder->sampleRate = sampleRate;
  decoder->channels = channels;
  decoder->sink = sink;
  decoder->context = context;
  decoder->locked = -1;
  decoder->storage = new uint8_t[kStreamStorage * 2 * static_cast<size_t>(channels) + kHeldStorage];
  decoder->heldBody = decoder->storage + kStreamStorage * 2 * static_cast<size_t>(channels);
  for (int i = 0; i < 2 * channels; ++i) {
    StartStream(&decoder->streams[i], decoder, i, sampleRate,
                decoder->storage + kStreamStorage * static_cast<size_t>(i));
  }
  for (int c = 0; c < channels; ++c) {
    TapeStream* pair = decoder->streams + static_cast<ptrdiff_t>(2) * c;
    StartFrontEnd(&decoder->front[c], sampleRate, pair, pair + 1);
    if (PulseSearchWanted(sampleRate)) {
      decoder->front[c].pulses = new TapePulseFinder;
      StartPulseFinder(decoder->front[c].pulses, sampleRate, pair, pair + 1);
    }
  }
  return decoder;
}

void FeedTapeDecoder(TapeDecoder* decoder, const float* frames, size_t frameCount) {
  if (decoder == nullptr || frames == nullptr) return;
  size_t stride = static_cast<size_t>(decoder->channels);
  for (int c = 0; c < decoder->channels; ++c) {
    if (decoder->locked >= 0 && decoder->locked / 2 != c) continue;
    RunFrontEnd(&decoder->front[c], frames + c, frameCount, stride, decoder->framesDone);
  }
  decoder->framesDone += frameCount;
}

void FinishTapeDecoder(TapeDecoder* decoder) {
  if (decoder == nullptr) return;
  for (int c = 0; c < decoder->channels; ++c) FinishFrontEnd(&decoder->front[c], decoder->framesDone);
  for (int i = 0; i < 2 * decoder->channels; ++i) {
    if (StreamActive(decoder, i)) FinishStream(&decoder->streams[i], decoder->framesDone);
  }
  DeliverHeld(decoder);
}

void GetTapeSignal(const TapeDecoder* decoder, TapeSignal* signal) {
  *signal = TapeSignal{false, -1, false, 1.0};
  if (decoder == nullptr) return;
  int chosen = decoder->locked;
  for (int i = 0; chosen < 0 && i < 2 * decoder->channels; ++i) {
    if (decoder->streams[i].markSeen) chosen = i;
  }
  if (chosen < 0) return;
  const TapeStream* s = &decoder->streams[chosen];
  signal->found = true;
  signal->channel = s->channel;
  signal->inverted = s->inverted;
  if (s->measuredFrames > 0) signal->speed = s->nominalFrames / s->measuredFrames;
}

void DestroyTapeDecoder(TapeDecoder* decoder) {
  if (decoder == nullptr) return;
  for (int c = 0; c < decoder->channels; ++c) delete decoder->front[c].pulses;
  delete[] decoder->storage;
  delete decoder;
}
