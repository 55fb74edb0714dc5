// Audio files through libsndfile: recordings read in pieces, tape signals written as mono WAV.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hostio/outfile.h"

struct sf_private_tag;  // libsndfile's SNDFILE

// Why a recording cannot be read.
enum AudioOpenResult {
  kAudioOpened = 0,
  kAudioMissing,         // no such file
  kAudioUnreadable,      // a directory, no permission, or another system error
  kAudioNotAudio,        // libsndfile knows no format in the bytes
  kAudioUnsupported,     // a format it knows, in an encoding it cannot decode
  kAudioMalformed,       // a known format whose header is broken
  kAudioBadRate,         // a sample rate outside what the tape decoder takes
  kAudioBadChannels      // more channels than the tape decoder takes
};

struct AudioInput {
  sf_private_tag* sound;
  int fd;
  uint32_t sampleRate;
  int channels;
  uint64_t frames;    // length as the file's header gives it
  int format;         // libsndfile's format word (container and encoding)
  int systemError;    // errno for kAudioMissing and kAudioUnreadable
  unsigned formatTag; // a refused WAV file's encoding, 0 when not known
  char detail[96];    // libsndfile's word on a broken header
};

// Opens a recording for reading. Anything but kAudioOpened leaves nothing open.
int OpenAudioInput(AudioInput* input, const char* name);

// The next frames, interleaved, at most `capacity` frames; each sample in -1..1 for integer
// encodings. 0 at the end of the recording (or when it cannot be read further).
size_t ReadAudioFrames(AudioInput* input, float* frames, size_t capacity);

// True when reading stopped at an error rather than at the recording's end.
bool AudioReadFailed(AudioInput* input);

void CloseAudioInput(AudioInput* input);

// The sample encoding as a short text: "8-bit", "16-bit", "24-bit", "32-bit", "32-bit float",
// "64-bit float", "u-law", "A-law", "ADPCM", "Vorbis", ...
const char* AudioEncodingName(int format);

// The message for a failed OpenAudioInput (without the file's name).
const char* AudioOpenMessage(int result, const AudioInput* input);

// A mono WAV file written through the atomic output files: `bits` is 8 (unsigned) or 16.
struct AudioOutput {
  OutputFile file;
  sf_private_tag* sound;
  bool failed;
};

bool OpenAudioOutput(AudioOutput* output, const char* name, uint32_t sampleRate, int bits);

// Samples in -1..1.
void WriteAudioSamples(AudioOutput* output, const float* samples, size_t count);

// Finishes the WAV header and commits the file. False (nothing left behind) when any write failed.
bool CommitAudioOutput(AudioOutput* output);

// Leaves no file behind and the old one, if any, as it was.
void DiscardAudioOutput(AudioOutput* output);
