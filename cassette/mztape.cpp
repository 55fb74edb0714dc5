// mztape: the command line, decode's report and output files, encode's reading of MZF files.
#include "cassette/mztape.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cassette/audio.h"
#include "cassette/decoder.h"
#include "cassette/encoder.h"
#include "formats/bytes.h"
#include "formats/mzf.h"
#include "formats/names.h"
#include "hostio/infile.h"
#include "hostio/outfile.h"

namespace {

enum ExitStatus {
  kExitSound = 0,
  kExitFailure = 1,  // usage, an unreadable input, an output that cannot be written
  kExitDamaged = 2,
  kExitNoFile = 3
};

constexpr const char kUsage[] =
    "usage: mztape decode [-k] RECORDING...\n"
    "       mztape encode [-o OUT.wav] [-r RATE] [--bits 8|16] [--fast] [--invert] FILE...\n";

constexpr uint32_t kLowestRate = 8000;
constexpr uint32_t kHighestRate = 192000;
constexpr uint32_t kDefaultRate = 44100;

int UsageError(const char* message, const char* detail) {
  if (message != nullptr) (void)std::fprintf(stderr, "mztape: %s%s\n", message, detail);
  (void)std::fputs(kUsage, stderr);
  return kExitFailure;
}

// A time in the recording as m:ss.s, rounded to a tenth of a second.
void FormatTime(uint64_t frames, uint32_t sampleRate, char* text, size_t capacity) {
  uint64_t tenths = (frames * 10 + sampleRate / 2) / sampleRate;
  (void)std::snprintf(text, capacity, "%llu:%02u.%u",
                      static_cast<unsigned long long>(tenths / 600),
                      static_cast<unsigned>(tenths % 600 / 10), static_cast<unsigned>(tenths % 10));
}

// True when `name` exists and is the same file as one of `inputs`.
bool IsInputFile(const char* name, char* const* inputs, int inputCount) {
  struct stat output;
  if (stat(name, &output) != 0 || !S_ISREG(output.st_mode)) return false;
  for (int i = 0; i < inputCount; ++i) {
    struct stat input;
    if (stat(inputs[i], &input) == 0 && input.st_dev == output.st_dev &&
        input.st_ino == output.st_ino) {
      return true;
    }
  }
  return false;
}

// A file's line: position, type and name as Velkor shows them, size, load and exec address.
// `quoted` is the name in double quotes.
void PrintFileColumns(const char* position, uint8_t attribute, const char* quoted, uint16_t size,
                      uint16_t load, uint16_t exec) {
  std::printf("%8s  %-3.3s  %-19s %5u  %04X %04X", position, AttributeName(attribute), quoted,
              size, load, exec);
}

// ---------------------------------------------------------------------------------------------
// decode

// The output names of one run. Open addressing over a fixed table: every name written in the
// run (and every name passed over because it is an input) is kept, with the next number to try
// for a further file of that name.
constexpr int kOutputNameSize = kShownNameSize + 24;  // base, "-NNNNN", ".damaged.mzf"
constexpr uint32_t kNameSlots = 1u << 14;
constexpr uint32_t kNamesAllowed = kNameSlots / 4 * 3;

struct NameSlot {
  bool used;
  uint32_t nextNumber;
  char name[kOutputNameSize];
};

uint32_t HashName(const char* name) {
  uint32_t hash = 2166136261u;
  for (const char* c = name; *c != '\0'; ++c) {
    hash ^= static_cast<unsigned char>(*c);
    hash *= 16777619u;
  }
  return hash;
}

// Everything one file's line shows; kept until the recording's own line is out.
struct FileLine {
  uint64_t startFrame;
  uint8_t attribute;
  char quoted[kQuotedNameSize];
  uint16_t size;
  uint16_t load;
  uint16_t exec;
  TapeBlockRead headerRead;
  TapeBlockRead bodyRead;
  char output[kOutputNameSize];  // empty when nothing was written
};

constexpr int kPendingLines = 256;
constexpr size_t kReadFrames = 4096;

struct DecodeRun {
  bool keepDamaged;
  char** inputs;
  int inputCount;
  bool failed;  // an output could not be written, or a recording not read
  uint32_t namesUsed;
  NameSlot names[kNameSlots];

  // The recording being read.
  const char* recording;
  AudioInput input;
  TapeDecoder* decoder;
  uint64_t framesRead;
  bool finished;
  bool headLinePrinted;
  int pendingCount;
  int sound;
  int damaged;
  FileLine pending[kPendingLines];
  float frames[kReadFrames * kTapeMaxChannels];
};

DecodeRun gDecode;

// The slot that holds `name`, or the empty slot where it would go.
NameSlot* FindName(DecodeRun* run, const char* name) {
  uint32_t index = HashName(name) & (kNameSlots - 1);
  while (run->names[index].used && std::strcmp(run->names[index].name, name) != 0) {
    index = (index + 1) & (kNameSlots - 1);
  }
  return &run->names[index];
}

void ClaimName(DecodeRun* run, NameSlot* slot, const char* name) {
  slot->used = true;
  slot->nextNumber = 2;
  (void)std::snprintf(slot->name, sizeof slot->name, "%s", name);
  ++run->namesUsed;
}

// The output name for a file of base name `base`: base + suffix, or base-2 + suffix and so on
// when the run has written that name already or it is one of the run's inputs. False when the
// run has used up its table of names.
bool ChooseOutputName(DecodeRun* run, const char* base, const char* suffix, char* name) {
  if (run->namesUsed + 2 > kNamesAllowed) return false;
  (void)std::snprintf(name, kOutputNameSize, "%s%s", base, suffix);
  NameSlot* first = FindName(run, name);
  if (!first->used) {
    ClaimName(run, first, name);
    if (!IsInputFile(name, run->inputs, run->inputCount)) return true;
  }
  for (uint32_t number = first->nextNumber;; ++number) {
    if (run->namesUsed + 1 > kNamesAllowed) return false;
    (void)std::snprintf(name, kOutputNameSize, "%s-%u%s", base, number, suffix);
    NameSlot* slot = FindName(run, name);
    if (slot->used) continue;
    ClaimName(run, slot, name);
    if (IsInputFile(name, run->inputs, run->inputCount)) continue;
    first->nextNumber = number + 1;
    return true;
  }
}

// Writes the header as recorded, then the body, under the file's output name.
void WriteTapeFile(DecodeRun* run, FileLine* line, const TapeFileRead* file, const char* suffix) {
  EntryName name;
  TakeEntryName(file->header + 1, &name);
  char base[kShownNameSize];
  MakeBaseName(&name, base);
  char output[kOutputNameSize];
  if (!ChooseOutputName(run, base, suffix, output)) {
    (void)std::fprintf(stderr, "mztape: too many output files in one run; '%s%s' not written\n", base,
                 suffix);
    run->failed = true;
    return;
  }
  // Replacing a file of an earlier session: its new bytes are on the disk before the rename.
  bool replacing = access(output, F_OK) == 0;
  OutputFile out;
  bool written = OpenOutput(&out, output);
  if (written) {
    WriteOutput(&out, file->header, kTapeHeaderSize);
    WriteOutput(&out, file->body, file->bodyLength);
    written = CommitOutput(&out, replacing);
  }
  if (!written) {
    (void)std::fprintf(stderr, "mztape: cannot write '%s'\n", output);
    run->failed = true;
    return;
  }
  (void)std::snprintf(line->output, sizeof line->output, "%s", output);
}

void PrintRecordingLine(DecodeRun* run) {
  const AudioInput* input = &run->input;
  char length[24];
  FormatTime(run->finished ? run->framesRead : input->frames, input->sampleRate, length,
             sizeof length);
  std::printf("%s: %u Hz, %s, %d channel%s, %s; ", run->recording, input->sampleRate,
              AudioEncodingName(input->format), input->channels, input->channels == 1 ? "" : "s",
              length);
  TapeSignal signal;
  GetTapeSignal(run->decoder, &signal);
  if (!signal.found) {
    std::printf("no tape signal\n");
    return;
  }
  std::printf("tape signal on channel %d, polarity %s, speed %.1f %% of nominal\n",
              signal.channel + 1, signal.inverted ? "inverted" : "normal", signal.speed * 100.0);
}

// How a block was read, for the file's line.
void FormatBlockRead(const TapeBlockRead* read, uint32_t sampleRate, char* text, size_t capacity) {
  char at[24];
  FormatTime(read->problemFrame, sampleRate, at, sizeof at);
  switch (read->use) {
    case kBlockFirstCopy:
      (void)std::snprintf(text, capacity, "first copy");
      break;
    case kBlockSecondCopy:
      (void)std::snprintf(text, capacity, "second copy");
      break;
    case kBlockCombined:
      (void)std::snprintf(text, capacity, "copies combined");
      break;
    case kBlockFailed:
      (void)std::snprintf(text, capacity, "failed at %s", at);
      break;
    case kBlockCut:
      (void)std::snprintf(text, capacity, "cut at %s", at);
      break;
    default:
      (void)std::snprintf(text, capacity, "missing");
      break;
  }
}

void PrintFileLine(const DecodeRun* run, const FileLine* line) {
  uint32_t rate = run->input.sampleRate;
  char position[24];
  FormatTime(line->startFrame, rate, position, sizeof position);
  char header[40];
  char body[40];
  FormatBlockRead(&line->headerRead, rate, header, sizeof header);
  FormatBlockRead(&line->bodyRead, rate, body, sizeof body);
  PrintFileColumns(position, line->attribute, line->quoted, line->size, line->load, line->exec);
  std::printf("  %-18s %-18s %s\n", header, body,
              line->output[0] != '\0' ? line->output : "not written");
}

// Prints the recording's line (once) and the files' lines kept so far. The recording's line
// waits for the end, so that it tells what the decoder found of the whole signal; a recording
// of very many files has it printed when the kept lines run out.
void PrintPending(DecodeRun* run) {
  if (!run->headLinePrinted) PrintRecordingLine(run);
  run->headLinePrinted = true;
  for (int i = 0; i < run->pendingCount; ++i) PrintFileLine(run, &run->pending[i]);
  run->pendingCount = 0;
}

void TakeTapeFile(void* context, const TapeFileRead* file) {
  DecodeRun* run = static_cast<DecodeRun*>(context);
  if (run->pendingCount == kPendingLines) PrintPending(run);
  FileLine* line = &run->pending[run->pendingCount++];
  std::memset(line, 0, sizeof *line);
  const CMTHeaderStr* header = reinterpret_cast<const CMTHeaderStr*>(file->header);
  EntryName name;
  TakeEntryName(header->Name, &name);
  line->startFrame = file->startFrame;
  line->attribute = header->Attribute;
  QuoteName(name.shown, '"', line->quoted);
  line->size = Get16(header->Size);
  line->load = Get16(header->LoadAddress);
  line->exec = Get16(header->ExecAddress);
  line->headerRead = file->headerRead;
  line->bodyRead = file->bodyRead;

  bool sound = file->sound && file->bodyLength == line->size;
  if (sound) {
    ++run->sound;
    WriteTapeFile(run, line, file, ".mzf");
  } else {
    ++run->damaged;
    if (run->keepDamaged) WriteTapeFile(run, line, file, ".damaged.mzf");
  }
}

// One recording: its line, a line per file found, the count. Returns the recording's status.
int DecodeRecording(DecodeRun* run, const char* recording) {
  run->recording = recording;
  int opened = OpenAudioInput(&run->input, recording);
  if (opened != kAudioOpened) {
    (void)std::fprintf(stderr, "mztape: %s: %s\n", recording, AudioOpenMessage(opened, &run->input));
    return kExitFailure;
  }
  run->decoder = CreateTapeDecoder(run->input.sampleRate, run->input.channels, TakeTapeFile, run);
  if (run->decoder == nullptr) {
    (void)std::fprintf(stderr, "mztape: %s: out of memory\n", recording);
    CloseAudioInput(&run->input);
    return kExitFailure;
  }
  run->framesRead = 0;
  run->finished = false;
  run->headLinePrinted = false;
  run->pendingCount = 0;
  run->sound = 0;
  run->damaged = 0;

  for (;;) {
    size_t count = ReadAudioFrames(&run->input, run->frames, kReadFrames);
    if (count == 0) break;
    FeedTapeDecoder(run->decoder, run->frames, count);
    run->framesRead += count;
  }
  bool readFailed = AudioReadFailed(&run->input);
  FinishTapeDecoder(run->decoder);
  run->finished = true;
  PrintPending(run);
  std::printf("files: %d sound, %d damaged\n", run->sound, run->damaged);
  DestroyTapeDecoder(run->decoder);
  run->decoder = nullptr;
  CloseAudioInput(&run->input);

  if (readFailed) {
    char at[24];
    FormatTime(run->framesRead, run->input.sampleRate, at, sizeof at);
    (void)std::fprintf(stderr, "mztape: %s: cannot be read beyond %s\n", recording, at);
    return kExitFailure;
  }
  if (run->damaged > 0) return kExitDamaged;
  if (run->sound == 0) return kExitNoFile;
  return kExitSound;
}

// The run's status from its recordings': a failure first, then damage, then an empty recording.
int WorseStatus(int a, int b) {
  static const int kRank[] = {0, 3, 2, 1};  // by status 0, 1, 2, 3
  return kRank[b] > kRank[a] ? b : a;
}

int Decode(int argc, char** argv) {
  DecodeRun* run = &gDecode;
  std::memset(run, 0, sizeof *run);
  int first = 0;
  for (; first < argc && argv[first][0] == '-' && argv[first][1] != '\0'; ++first) {
    if (std::strcmp(argv[first], "--") == 0) {
      ++first;
      break;
    }
    if (std::strcmp(argv[first], "-k") != 0) return UsageError("decode: unknown option ", argv[first]);
    run->keepDamaged = true;
  }
  if (first == argc) return UsageError("decode: no recording given", "");
  run->inputs = argv + first;
  run->inputCount = argc - first;

  int status = kExitSound;
  for (int i = first; i < argc; ++i) {
    status = WorseStatus(status, DecodeRecording(run, argv[i]));
    if (run->failed) status = WorseStatus(status, kExitFailure);
  }
  return status;
}

// ---------------------------------------------------------------------------------------------
// encode

struct EncodeOptions {
  const char* output;
  uint32_t sampleRate;
  int bits;
  bool fast;
  bool invert;
  char** files;
  int fileCount;
};

// What one FILE holds: MZF files back to back, and bytes left out behind the first one.
struct FileContents {
  int fileCount;
  long leftOut;
};

bool ReadHeaderAt(FILE* file, long offset, uint8_t* header) {
  if (std::fseek(file, offset, SEEK_SET) != 0) return false;
  return ReadInput(file, header, kMzfHeaderSize) == static_cast<size_t>(kMzfHeaderSize);
}

// An MZT tape is told from one MZF file with bytes behind its data by its bytes alone: a FILE
// whose bytes are two or more whole MZF files back to back, each after the first beginning with
// a type other than 0 and the last ending exactly at the end of the FILE, is a tape; any other
// FILE is one MZF file, and the bytes behind its Size are left out.
bool ScanFile(const char* name, FileContents* contents, bool warn) {
  FILE* file = OpenInputFile(name);
  if (file == nullptr) {
    (void)std::fprintf(stderr, "mztape: %s: cannot be opened\n", name);
    return false;
  }
  long length = InputFileLength(file);
  uint8_t header[kMzfHeaderSize];
  if (length < kMzfHeaderSize || !ReadHeaderAt(file, 0, header)) {
    (void)std::fprintf(stderr, "mztape: %s: %ld bytes, too short for an MZF header\n", name, length);
    (void)std::fclose(file);
    return false;
  }
  uint16_t size = Get16(header + kMzfSizeAt);
  long end = kMzfHeaderSize + static_cast<long>(size);
  if (length < end) {
    (void)std::fprintf(stderr, "mztape: %s: %ld bytes of data, fewer than the %u of its header's size\n",
                 name, length - kMzfHeaderSize, size);
    (void)std::fclose(file);
    return false;
  }
  contents->fileCount = 1;
  contents->leftOut = length - end;
  int chained = 1;
  long offset = end;
  while (offset + kMzfHeaderSize <= length && ReadHeaderAt(file, offset, header) &&
         header[0] != 0) {
    offset += kMzfHeaderSize + static_cast<long>(Get16(header + kMzfSizeAt));
    ++chained;
  }
  (void)std::fclose(file);
  if (offset == length && chained > 1) {
    contents->fileCount = chained;
    contents->leftOut = 0;
  }
  if (warn && contents->leftOut > 0) {
    (void)std::fprintf(stderr, "mztape: %s: warning: %ld bytes behind the %u of data left out\n", name,
                 contents->leftOut, size);
  }
  return true;
}

struct EncodeRun {
  AudioOutput output;
  TapeEncoder encoder;
  uint8_t header[kMzfHeaderSize];
  uint8_t body[kTapeMaxBody];
};

EncodeRun gEncode;

void SendSamples(void* context, const float* samples, size_t count) {
  WriteAudioSamples(static_cast<AudioOutput*>(context), samples, count);
}

// The first FILE's name, without its folders, with its extension (if any) replaced by .wav: the
// recording goes into the current directory, as every output of these tools does.
bool DefaultOutputName(const char* file, char* name) {
  const char* slash = std::strrchr(file, '/');
  const char* base = slash == nullptr ? file : slash + 1;
  const char* dot = std::strrchr(base, '.');
  size_t keep = dot == nullptr || dot == base ? std::strlen(base) : static_cast<size_t>(dot - base);
  if (keep + 5 > static_cast<size_t>(kPathCapacity)) return false;
  (void)std::snprintf(name, kPathCapacity, "%.*s.wav", static_cast<int>(keep), base);
  return true;
}

// Encodes one FILE's MZF files, as ScanFile found them; the silence before each file is
// already recorded. False when the FILE no longer holds what the scan found.
bool EncodeFile(EncodeRun* run, const EncodeOptions* options, const char* name,
                const FileContents* contents, uint64_t* filesDone) {
  FILE* file = OpenInputFile(name);
  if (file == nullptr) return false;
  const TapeForm& form = options->fast ? kFastForm : kConventionalForm;
  bool ok = true;
  for (int i = 0; i < contents->fileCount && ok; ++i) {
    ok = ReadInput(file, run->header, kMzfHeaderSize) == static_cast<size_t>(kMzfHeaderSize);
    uint16_t size = Get16(run->header + kMzfSizeAt);
    ok = ok && ReadInput(file, run->body, size) == size;
    if (!ok) break;
    if (*filesDone > 0) EncodeSilence(&run->encoder, 1000000);
    uint64_t markUs = run->encoder.elapsedUs +
                      static_cast<uint64_t>(form.longGapPulses) * kShortPulseUs;
    char position[24];
    FormatTime((markUs * options->sampleRate + 500000) / 1000000, options->sampleRate, position,
               sizeof position);
    const CMTHeaderStr* header = reinterpret_cast<const CMTHeaderStr*>(run->header);
    EntryName entry;
    TakeEntryName(header->Name, &entry);
    char quoted[kQuotedNameSize];
    QuoteName(entry.shown, '"', quoted);
    PrintFileColumns(position, header->Attribute, quoted, size, Get16(header->LoadAddress),
                     Get16(header->ExecAddress));
    std::printf("  %s\n", name);
    EncodeTapeFile(&run->encoder, run->header, run->body, size, form);
    ++*filesDone;
  }
  (void)std::fclose(file);
  return ok;
}

int EncodeFiles(const EncodeOptions* options) {
  EncodeRun* run = &gEncode;
  // Every FILE is checked before anything is written.
  for (int i = 0; i < options->fileCount; ++i) {
    FileContents scan;
    if (!ScanFile(options->files[i], &scan, true)) return kExitFailure;
  }
  char defaultName[kPathCapacity];
  const char* output = options->output;
  if (output == nullptr) {
    if (!DefaultOutputName(options->files[0], defaultName)) {
      (void)std::fprintf(stderr, "mztape: %s: name too long\n", options->files[0]);
      return kExitFailure;
    }
    output = defaultName;
  }
  if (IsInputFile(output, options->files, options->fileCount)) {
    (void)std::fprintf(stderr, "mztape: %s is an input file, not replaced\n", output);
    return kExitFailure;
  }
  if (!OpenAudioOutput(&run->output, output, options->sampleRate, options->bits)) {
    (void)std::fprintf(stderr, "mztape: cannot write '%s'\n", output);
    return kExitFailure;
  }

  StartTapeEncoder(&run->encoder, options->sampleRate, options->invert, SendSamples, &run->output);
  EncodeSilence(&run->encoder, 500000);
  uint64_t filesDone = 0;
  for (int i = 0; i < options->fileCount; ++i) {
    FileContents scan;
    // Scanned again just before it is read: a FILE that changed meanwhile is caught.
    bool ok = ScanFile(options->files[i], &scan, false) &&
              EncodeFile(run, options, options->files[i], &scan, &filesDone);
    if (!ok) {
      (void)std::fprintf(stderr, "mztape: %s changed while being read; '%s' not written\n",
                   options->files[i], output);
      DiscardAudioOutput(&run->output);
      return kExitFailure;
    }
  }
  EncodeSilence(&run->encoder, 500000);
  FinishTapeEncoder(&run->encoder);
  if (!CommitAudioOutput(&run->output)) {
    (void)std::fprintf(stderr, "mztape: cannot write '%s'\n", output);
    return kExitFailure;
  }
  char length[24];
  FormatTime(run->encoder.samplesDone, options->sampleRate, length, sizeof length);
  std::printf("%s: %u Hz, %d-bit, 1 channel, %s; %s form, polarity %s\n", output,
              options->sampleRate, options->bits, length, options->fast ? "fast" : "conventional",
              options->invert ? "inverted" : "normal");
  return kExitSound;
}

// A decimal number from `low` to `high`; false for anything else.
bool ParseNumber(const char* text, uint32_t low, uint32_t high, uint32_t* value) {
  uint32_t number = 0;
  if (*text == '\0') return false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9' || number > high) return false;
    number = number * 10 + static_cast<uint32_t>(*c - '0');
  }
  if (number < low || number > high) return false;
  *value = number;
  return true;
}

int Encode(int argc, char** argv) {
  EncodeOptions options = {nullptr, kDefaultRate, 16, false, false, nullptr, 0};
  int i = 0;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
    const char* option = argv[i];
    if (std::strcmp(option, "--") == 0) {
      ++i;
      break;
    }
    if (std::strcmp(option, "--fast") == 0) {
      options.fast = true;
    } else if (std::strcmp(option, "--invert") == 0) {
      options.invert = true;
    } else if (std::strcmp(option, "-o") == 0 || std::strcmp(option, "-r") == 0 ||
               std::strcmp(option, "--bits") == 0) {
      if (i + 1 == argc) return UsageError("encode: a value must follow ", option);
      const char* value = argv[++i];
      uint32_t number = 0;
      if (option[1] == 'o') {
        options.output = value;
      } else if (option[1] == 'r') {
        if (!ParseNumber(value, kLowestRate, kHighestRate, &number)) {
          return UsageError("encode: -r takes a sample rate from 8000 to 192000 Hz, not ", value);
        }
        options.sampleRate = number;
      } else {
        if (!ParseNumber(value, 8, 16, &number) || (number != 8 && number != 16)) {
          return UsageError("encode: --bits takes 8 or 16, not ", value);
        }
        options.bits = static_cast<int>(number);
      }
    } else {
      return UsageError("encode: unknown option ", option);
    }
  }
  if (i == argc) return UsageError("encode: no file given", "");
  options.files = argv + i;
  options.fileCount = argc - i;
  return EncodeFiles(&options);
}

}  // namespace

int MztapeMain(int argc, char** argv) {
  if (argc < 2) return UsageError(nullptr, "");
  const char* command = argv[1];
  if (std::strcmp(command, "decode") == 0) return Decode(argc - 2, argv + 2);
  if (std::strcmp(command, "encode") == 0) return Encode(argc - 2, argv + 2);
  if (std::strcmp(command, "-h") == 0 || std::strcmp(command, "--help") == 0) {
    (void)std::fputs(kUsage, stdout);
    return kExitSound;
  }
  return UsageError("unknown command ", command);
}
