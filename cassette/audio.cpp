#include "cassette/audio.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "cassette/decoder.h"

namespace {

constexpr uint32_t kLowestRate = 8000;
constexpr uint32_t kHighestRate = 192000;

int OpenFailure(AudioInput* input, int result) {
  if (input->fd >= 0) close(input->fd);
  input->fd = -1;
  input->sound = nullptr;
  return result;
}

uint32_t Little32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) | (static_cast<uint32_t>(p[3]) << 24);
}

// The format tag of a RIFF WAV file's fmt chunk, or 0 when the file is no such WAV file (the
// chunk is looked for among the first kilobytes only).
unsigned PeekWavFormatTag(int fd) {
  uint8_t head[4096];
  ssize_t got = pread(fd, head, sizeof head, 0);
  if (got < 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
    return 0;
  }
  size_t length = static_cast<size_t>(got);
  size_t offset = 12;
  while (offset + 10 <= length) {
    uint32_t size = Little32(head + offset + 4);
    if (std::memcmp(head + offset, "fmt ", 4) == 0) return head[offset + 8] | (head[offset + 9] << 8);
    if (size > length) return 0;
    offset += 8 + size + (size & 1);
  }
  return 0;
}

// The WAV encodings that libsndfile decodes: PCM, MS ADPCM, float, A-law, u-law, IMA ADPCM,
// GSM 6.10, G.721, MPEG layer 3 and the extensible form.
bool IsKnownWavTag(unsigned tag) {
  static const unsigned kTags[] = {0x0001, 0x0002, 0x0003, 0x0006, 0x0007,
                                   0x0011, 0x0031, 0x0040, 0x0055, 0xFFFE};
  for (unsigned known : kTags) {
    if (tag == known) return true;
  }
  return false;
}

bool IsFloatEncoding(int format) {
  int subtype = format & SF_FORMAT_SUBMASK;
  return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}

// The output's bytes go through the atomic output file: libsndfile writes, seeks back to finish
// the WAV header, and asks for the length.
sf_count_t OutputLength(void* context) {
  FILE* stream = static_cast<OutputFile*>(context)->stream;
  long here = std::ftell(stream);
  if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(stream);
  if (std::fseek(stream, here, SEEK_SET) != 0) return -1;
  return end;
}

sf_count_t OutputSeek(sf_count_t offset, int whence, void* context) {
  FILE* stream = static_cast<OutputFile*>(context)->stream;
  if (std::fseek(stream, static_cast<long>(offset), whence) != 0) return -1;
  return std::ftell(stream);
}

sf_count_t OutputRead(void* /*to*/, sf_count_t /*count*/, void* /*context*/) { return 0; }

sf_count_t OutputWrite(const void* data, sf_count_t count, void* context) {
  OutputFile* file = static_cast<OutputFile*>(context);
  if (count <= 0) return 0;
  WriteOutput(file, data, static_cast<size_t>(count));
  return std::ferror(file->stream) ? 0 : count;
}

sf_count_t OutputTell(void* context) { return std::ftell(static_cast<OutputFile*>(context)->stream); }

}  // namespace

int OpenAudioInput(AudioInput* input, const char* name) {
  std::memset(input, 0, sizeof *input);
  input->fd = open(name, O_RDONLY | O_CLOEXEC);
  if (input->fd < 0) {
    input->systemError = errno;
    return OpenFailure(input, errno == ENOENT ? kAudioMissing : kAudioUnreadable);
  }
  struct stat info;
  if (fstat(input->fd, &info) != 0) {
    input->systemError = errno;
    return OpenFailure(input, kAudioUnreadable);
  }
  if (S_ISDIR(info.st_mode)) {
    input->systemError = EISDIR;
    return OpenFailure(input, kAudioUnreadable);
  }

  SF_INFO format;
  std::memset(&format, 0, sizeof format);
  // libsndfile owns a descriptor of its own (it closes it even when it fails to open the file);
  // ours stays for a look at a refused file's header.
  int own = dup(input->fd);
  if (own < 0) {
    input->systemError = errno;
    return OpenFailure(input, kAudioUnreadable);
  }
  input->sound = sf_open_fd(own, SFM_READ, &format, SF_TRUE);
  if (input->sound == nullptr) {
    int error = sf_error(nullptr);
    if (error == SF_ERR_UNRECOGNISED_FORMAT) return OpenFailure(input, kAudioNotAudio);
    if (error == SF_ERR_SYSTEM) {
      input->systemError = errno != 0 ? errno : EIO;
      return OpenFailure(input, kAudioUnreadable);
    }
    // A format it knows, refused: an encoding it cannot decode, or a broken header.
    input->formatTag = PeekWavFormatTag(input->fd);
    if (error == SF_ERR_UNSUPPORTED_ENCODING ||
        (input->formatTag != 0 && !IsKnownWavTag(input->formatTag))) {
      return OpenFailure(input, kAudioUnsupported);
    }
    (void)std::snprintf(input->detail, sizeof input->detail, "%s", sf_strerror(nullptr));
    return OpenFailure(input, kAudioMalformed);
  }
  close(input->fd);
  input->fd = -1;
  input->format = format.format;
  input->channels = format.channels;
  input->frames = format.frames > 0 ? static_cast<uint64_t>(format.frames) : 0;
  if (format.samplerate < static_cast<int>(kLowestRate) ||
      format.samplerate > static_cast<int>(kHighestRate)) {
    input->sampleRate = format.samplerate > 0 ? static_cast<uint32_t>(format.samplerate) : 0;
    (void)sf_close(input->sound);
    return OpenFailure(input, kAudioBadRate);
  }
  input->sampleRate = static_cast<uint32_t>(format.samplerate);
  if (format.channels < 1 || format.channels > kTapeMaxChannels) {
    (void)sf_close(input->sound);
    return OpenFailure(input, kAudioBadChannels);
  }
  return kAudioOpened;
}

size_t ReadAudioFrames(AudioInput* input, float* frames, size_t capacity) {
  sf_count_t got = sf_readf_float(input->sound, frames, static_cast<sf_count_t>(capacity));
  if (got <= 0) return 0;
  size_t count = static_cast<size_t>(got);
  if (IsFloatEncoding(input->format)) {
    // Float files may hold anything; the decoder gets numbers.
    size_t samples = count * static_cast<size_t>(input->channels);
    for (size_t i = 0; i < samples; ++i) {
      if (!std::isfinite(frames[i])) frames[i] = 0.0f;
    }
  }
  return count;
}

bool AudioReadFailed(AudioInput* input) { return sf_error(input->sound) != SF_ERR_NO_ERROR; }

void CloseAudioInput(AudioInput* input) {
  if (input->sound != nullptr) (void)sf_close(input->sound);
  if (input->fd >= 0) close(input->fd);
  input->sound = nullptr;
  input->fd = -1;
}

const char* AudioEncodingName(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return "8-bit";
    case SF_FORMAT_PCM_16:
      return "16-bit";
    case SF_FORMAT_PCM_24:
      return "24-bit";
    case SF_FORMAT_PCM_32:
      return "32-bit";
    case SF_FORMAT_FLOAT:
      return "32-bit float";
    case SF_FORMAT_DOUBLE:
      return "64-bit float";
    case SF_FORMAT_ULAW:
      return "u-law";
    case SF_FORMAT_ALAW:
      return "A-law";
    case SF_FORMAT_IMA_ADPCM:
    case SF_FORMAT_MS_ADPCM:
    case SF_FORMAT_VOX_ADPCM:
    case SF_FORMAT_G721_32:
    case SF_FORMAT_G723_24:
    case SF_FORMAT_G723_40:
      return "ADPCM";
    case SF_FORMAT_GSM610:
      return "GSM";
    case SF_FORMAT_VORBIS:
      return "Vorbis";
    case SF_FORMAT_OPUS:
      return "Opus";
    default:
      return "compressed";
  }
}

const char* AudioOpenMessage(int result, const AudioInput* input) {
  static char text[160];
  switch (result) {
    case kAudioMissing:
      return "no such file";
    case kAudioUnreadable:
      return std::strerror(input->systemError);
    case kAudioNotAudio:
      return "not an audio file";
    case kAudioUnsupported:
      if (input->formatTag == 0) return "unsupported audio encoding";
      (void)std::snprintf(text, sizeof text, "unsupported audio encoding (WAV format 0x%04X)",
                          input->formatTag);
      return text;
    case kAudioMalformed:
      (void)std::snprintf(text, sizeof text, "damaged audio file: %s", input->detail);
      return text;
    case kAudioBadRate:
      (void)std::snprintf(text, sizeof text, "sample rate of %u Hz outside %u to %u Hz",
                          input->sampleRate, kLowestRate, kHighestRate);
      return text;
    case kAudioBadChannels:
      (void)std::snprintf(text, sizeof text, "%d channels, more than %d", input->channels,
                          kTapeMaxChannels);
      return text;
    default:
      return "cannot be read";
  }
}

bool OpenAudioOutput(AudioOutput* output, const char* name, uint32_t sampleRate, int bits) {
  output->sound = nullptr;
  output->failed = false;
  if (!OpenOutput(&output->file, name)) return false;

  static SF_VIRTUAL_IO io = {OutputLength, OutputSeek, OutputRead, OutputWrite, OutputTell};
  SF_INFO format;
  std::memset(&format, 0, sizeof format);
  format.samplerate = static_cast<int>(sampleRate);
  format.channels = 1;
  format.format = SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
  output->sound = sf_open_virtual(&io, SFM_WRITE, &format, &output->file);
  if (output->sound == nullptr) {
    DiscardOutput(&output->file);
    return false;
  }
  return true;
}

void WriteAudioSamples(AudioOutput* output, const float* samples, size_t count) {
  if (output->failed || count == 0) return;
  sf_count_t done = sf_writef_float(output->sound, samples, static_cast<sf_count_t>(count));
  if (done != static_cast<sf_count_t>(count)) output->failed = true;
}

bool CommitAudioOutput(AudioOutput* output) {
  // Closing writes the final lengths into the WAV header.
  if (sf_close(output->sound) != 0) output->failed = true;
  output->sound = nullptr;
  if (output->failed) {
    DiscardOutput(&output->file);
    return false;
  }
  return CommitOutput(&output->file, false);
}

void DiscardAudioOutput(AudioOutput* output) {
  if (output->sound != nullptr) (void)sf_close(output->sound);
  output->sound = nullptr;
  DiscardOutput(&output->file);
}
