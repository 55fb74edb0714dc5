// mztape end to end: the built program in a fresh directory; its standard output, standard error,
// exit status and every file it writes, byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace {

std::string Le16(unsigned value) {
  return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

std::string Le32(uint32_t value) { return Le16(value & 0xFFFF) + Le16(value >> 16); }

unsigned Get16(const std::string& bytes, size_t at) {
  return static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8);
}

uint32_t Get32(const std::string& bytes, size_t at) {
  return Get16(bytes, at) | (static_cast<uint32_t>(Get16(bytes, at + 2)) << 16);
}

// An MZF file: the header (name padded with CR, a comment that is not all zero, so that the
// header is seen to be kept as recorded), then the body. `size` overrides the header's Size.
std::string Mzf(uint8_t type, const std::string& name, unsigned load, unsigned exec,
                const std::string& body, int size = -1) {
  std::string header(128, '\0');
  header[0] = static_cast<char>(type);
  for (size_t i = 0; i < 17; ++i) header[1 + i] = i < name.size() ? name[i] : '\r';
  header.replace(18, 2, Le16(size < 0 ? static_cast<unsigned>(body.size()) : size));
  header.replace(20, 2, Le16(load));
  header.replace(22, 2, Le16(exec));
  header[24] = 'C';
  header[127] = static_cast<char>(0xA5);
  return header + body;
}

std::string Body(size_t length, unsigned seed) {
  std::string body(length, '\0');
  for (size_t i = 0; i < length; ++i) body[i] = static_cast<char>((i * seed + i / 7 + seed) & 0xFF);
  return body;
}

// A WAV file of `data` (interleaved samples as stored) with the given format tag.
std::string Wav(uint32_t rate, int channels, int bits, const std::string& data, unsigned tag = 1) {
  unsigned align = static_cast<unsigned>(channels * bits / 8);
  std::string fmt = Le16(tag) + Le16(static_cast<unsigned>(channels)) + Le32(rate) +
                    Le32(rate * align) + Le16(align) + Le16(static_cast<unsigned>(bits));
  std::string chunks = "fmt " + Le32(static_cast<uint32_t>(fmt.size())) + fmt + "data" +
                       Le32(static_cast<uint32_t>(data.size())) + data;
  return "RIFF" + Le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

struct WavFile {
  unsigned tag = 0;
  int channels = 0;
  uint32_t rate = 0;
  int bits = 0;
  std::string data;
};

// The fmt and data chunks of a RIFF WAV file.
WavFile ParseWav(const std::string& bytes) {
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
    throw std::runtime_error("not a RIFF WAVE file");
  }
  if (Get32(bytes, 4) != bytes.size() - 8) throw std::runtime_error("RIFF length wrong");
  WavFile wav;
  bool haveData = false;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    std::string id = bytes.substr(at, 4);
    uint32_t size = Get32(bytes, at + 4);
    if (at + 8 + size > bytes.size()) throw std::runtime_error("chunk beyond the file");
    if (id == "fmt ") {
      wav.tag = Get16(bytes, at + 8);
      wav.channels = static_cast<int>(Get16(bytes, at + 10));
      wav.rate = Get32(bytes, at + 12);
      wav.bits = static_cast<int>(Get16(bytes, at + 22));
    } else if (id == "data") {
      wav.data = bytes.substr(at + 8, size);
      haveData = true;
    }
    at += 8 + size + (size & 1);
  }
  if (wav.tag == 0 || !haveData) throw std::runtime_error("no fmt or data chunk");
  return wav;
}

// The samples of a mono PCM WAV file, centred on 0 (8-bit samples are unsigned).
std::vector<int> Samples(const WavFile& wav) {
  std::vector<int> samples;
  if (wav.bits == 8) {
    for (char c : wav.data) samples.push_back(static_cast<uint8_t>(c) - 128);
  } else {
    for (size_t i = 0; i + 1 < wav.data.size(); i += 2) {
      samples.push_back(static_cast<int16_t>(Get16(wav.data, i)));
    }
  }
  return samples;
}

std::string Samples16(const std::vector<int>& samples) {
  std::string data;
  for (int s : samples) data += Le16(static_cast<uint16_t>(static_cast<int16_t>(s)));
  return data;
}

// ---- the pulse sequence of a recording, from the machine's recording format -----------------

struct Segment {
  int sign;     // +1 high, -1 low, 0 silence
  uint32_t us;  // nominal length
};

struct Layout {
  std::vector<Segment> segments;
  int high = 1;  // -1 for an inverted recording
  size_t Mark() const { return segments.size(); }
  void Silence(uint32_t us) { segments.push_back({0, us}); }
  void Pulse(bool isLong) {
    segments.push_back({high, isLong ? 464u : 240u});
    segments.push_back({-high, isLong ? 494u : 264u});
  }
  void Pulses(bool isLong, int count) {
    for (int i = 0; i < count; ++i) Pulse(isLong);
  }
  void Byte(uint8_t value) {
    Pulse(true);
    for (int bit = 7; bit >= 0; --bit) Pulse(((value >> bit) & 1) != 0);
  }
  // The block, its check (the number of 1 bits, high byte first), 1 long.
  void Block(const std::string& bytes) {
    unsigned ones = 0;
    for (char c : bytes) {
      Byte(static_cast<uint8_t>(c));
      for (int bit = 0; bit < 8; ++bit) ones += (static_cast<uint8_t>(c) >> bit) & 1;
    }
    Byte(static_cast<uint8_t>((ones >> 8) & 0xFF));
    Byte(static_cast<uint8_t>(ones & 0xFF));
    Pulse(true);
  }
};

// Where the blocks of one file begin in the layout (segment indexes).
struct FileMarks {
  size_t header[2];
  size_t body[2];
};

// Half a second of silence, the files one second apart, half a second after the last.
Layout ExpectedLayout(const std::vector<std::string>& mzfs, bool fast, bool invert,
                      std::vector<FileMarks>* marks = nullptr) {
  Layout layout;
  layout.high = invert ? -1 : 1;
  layout.Silence(500000);
  for (size_t i = 0; i < mzfs.size(); ++i) {
    if (i > 0) layout.Silence(1000000);
    std::string header = mzfs[i].substr(0, 128);
    std::string body = mzfs[i].substr(128, Get16(header, 18));
    FileMarks at = {};
    layout.Pulses(false, fast ? 4000 : 22000);
    layout.Pulses(true, 40);
    layout.Pulses(false, 40);
    layout.Pulse(true);
    at.header[0] = layout.Mark();
    layout.Block(header);
    if (!fast) {
      layout.Pulses(false, 256);
      at.header[1] = layout.Mark();
      layout.Block(header);
    }
    layout.Pulses(false, fast ? 5000 : 11000);
    layout.Pulses(true, 20);
    layout.Pulses(false, 20);
    layout.Pulse(true);
    at.body[0] = layout.Mark();
    layout.Block(body);
    if (!fast) {
      layout.Pulses(false, 256);
      at.body[1] = layout.Mark();
      layout.Block(body);
    }
    if (marks != nullptr) marks->push_back(at);
  }
  layout.Silence(500000);
  return layout;
}

// The nominal sample at which segment `index` begins.
double SegmentStart(const Layout& layout, size_t index, uint32_t rate) {
  uint64_t us = 0;
  for (size_t i = 0; i < index; ++i) us += layout.segments[i].us;
  return static_cast<double>(us) * rate / 1e6;
}

// ---- running mztape -----------------------------------------------------------------------

// The decoder measures the speed of a recording to a few tenths of a per cent; a clean recording of
// the encoder shows "speed 100.0 %" here when the figure printed lies within 1 % of nominal.
std::string NominalSpeed(std::string out) {
  const std::string key = "speed ";
  for (size_t at = out.find(key); at != std::string::npos; at = out.find(key, at + 1)) {
    size_t end = out.find(" %", at);
    if (end == std::string::npos) break;
    double speed = std::atof(out.substr(at + key.size(), end - at - key.size()).c_str());
    if (std::fabs(speed - 100.0) <= 1.0) out.replace(at + key.size(), end - at - key.size(), "100.0");
  }
  return out;
}

RunResult Mztape(const TempDir& dir, const std::vector<std::string>& args) {
  RunResult r = RunProgram(MztapeExe(), args, dir.path());
  r.out = NominalSpeed(r.out);
  return r;
}

const char kUsage[] =
    "usage: mztape decode [-k] RECORDING...\n"
    "       mztape encode [-o OUT.wav] [-r RATE] [--bits 8|16] [--fast] [--invert] FILE...\n";

std::string Without(std::map<std::string, std::string> files, const std::vector<std::string>& names) {
  std::string left;
  for (const std::string& name : names) files.erase(name);
  for (const auto& file : files) left += file.first + " ";
  return left;
}

// ---- the command line -----------------------------------------------------------------------

TEST(MztapeCommandLine, UsageErrorsPrintTheUsageAndWriteNothing) {
  struct Case {
    std::vector<std::string> args;
    std::string message;  // the line before the usage, "" for none
  };
  const std::vector<Case> cases = {
      {{}, ""},
      {{"play", "a.mzf"}, "mztape: unknown command play\n"},
      {{"decode"}, "mztape: decode: no recording given\n"},
      {{"decode", "-k"}, "mztape: decode: no recording given\n"},
      {{"decode", "-x", "a.wav"}, "mztape: decode: unknown option -x\n"},
      {{"encode"}, "mztape: encode: no file given\n"},
      {{"encode", "--fast", "--invert"}, "mztape: encode: no file given\n"},
      {{"encode", "-o"}, "mztape: encode: a value must follow -o\n"},
      {{"encode", "--loud", "a.mzf"}, "mztape: encode: unknown option --loud\n"},
      {{"encode", "-r", "7999", "a.mzf"},
       "mztape: encode: -r takes a sample rate from 8000 to 192000 Hz, not 7999\n"},
      {{"encode", "-r", "192001", "a.mzf"},
       "mztape: encode: -r takes a sample rate from 8000 to 192000 Hz, not 192001\n"},
      {{"encode", "-r", "44.1k", "a.mzf"},
       "mztape: encode: -r takes a sample rate from 8000 to 192000 Hz, not 44.1k\n"},
      {{"encode", "--bits", "12", "a.mzf"}, "mztape: encode: --bits takes 8 or 16, not 12\n"},
      {{"encode", "--bits", "", "a.mzf"}, "mztape: encode: --bits takes 8 or 16, not \n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("a.mzf", Mzf(1, "A", 0x1200, 0x1200, "xyz"));
    dir.Write("a.wav", "not audio");
    RunResult r = Mztape(dir, c.args);
    std::string shown = c.args.empty() ? "(none)" : c.args[0] + " ...";
    EXPECT_EQ(r.status, 1) << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(r.err, c.message + kUsage) << shown;
    EXPECT_EQ(dir.Files().size(), 2u) << shown << ": " << Without(dir.Files(), {"a.mzf", "a.wav"});
  }
  TempDir dir;
  RunResult help = Mztape(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, kUsage);
  EXPECT_EQ(help.err, "");
}

TEST(MztapeDecode, InputsThatCannotBeReadAreNamedWithTheReason) {
  TempDir dir;
  dir.MakeDir("folder");
  dir.Write("text.wav", "RIFF? no, just some text\n");
  dir.Write("empty.wav", "");
  dir.Write("mpeg4.wav", Wav(44100, 1, 16, std::string(200, '\0'), 0x1234));
  dir.Write("broken.wav", Wav(44100, 1, 16, std::string(200, '\0')).substr(0, 30));
  dir.Write("slow.wav", Wav(4000, 1, 16, std::string(200, '\0')));
  dir.Write("nine.wav", Wav(44100, 9, 16, std::string(180, '\0')));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"gone.wav", "no such file"},
      {"folder", "Is a directory"},
      {"text.wav", "not an audio file"},
      {"empty.wav", "not an audio file"},
      {"mpeg4.wav", "unsupported audio encoding (WAV format 0x1234)"},
      {"broken.wav", "damaged audio file: Error in WAV file. No 'data' chunk marker."},
      {"slow.wav", "sample rate of 4000 Hz outside 8000 to 192000 Hz"},
      {"nine.wav", "9 channels, more than 8"},
  };
  auto before = dir.Files();
  for (const auto& c : cases) {
    RunResult r = Mztape(dir, {"decode", c.first});
    EXPECT_EQ(r.status, 1) << c.first;
    EXPECT_EQ(r.out, "") << c.first;
    EXPECT_EQ(r.err, "mztape: " + c.first + ": " + c.second + "\n");
  }
  EXPECT_EQ(dir.Files(), before);
}

TEST(MztapeDecode, ARecordingWithoutAnyFile) {
  TempDir dir;
  dir.Write("quiet.wav", Wav(22050, 1, 16, std::string(22050 * 2 * 3 / 2, '\0')));
  dir.Write("hiss.wav", Wav(8000, 2, 8, Body(16000 * 2, 77)));
  RunResult r = Mztape(dir, {"decode", "quiet.wav", "hiss.wav"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out,
            "quiet.wav: 22050 Hz, 16-bit, 1 channel, 0:01.5; no tape signal\n"
            "files: 0 sound, 0 damaged\n"
            "hiss.wav: 8000 Hz, 8-bit, 2 channels, 0:02.0; no tape signal\n"
            "files: 0 sound, 0 damaged\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(dir.Files().size(), 2u);
}

// ---- encode ---------------------------------------------------------------------------------

TEST(MztapeEncode, RefusesAFileShorterThanItsSizeAndWritesNothing) {
  TempDir dir;
  dir.Write("good.mzf", Mzf(1, "GOOD", 0x1200, 0x1200, Body(20, 3)));
  dir.Write("short.mzf", Mzf(1, "SHORT", 0x1200, 0x1200, Body(20, 3), 21));
  dir.Write("tiny.mzf", std::string(127, '\x01'));
  dir.Write("old.wav", "an older recording");
  auto before = dir.Files();
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"encode", "good.mzf", "short.mzf"},
       "mztape: short.mzf: 20 bytes of data, fewer than the 21 of its header's size\n"},
      {{"encode", "-o", "old.wav", "tiny.mzf", "good.mzf"},
       "mztape: tiny.mzf: 127 bytes, too short for an MZF header\n"},
      {{"encode", "-o", "old.wav", "good.mzf", "gone.mzf"}, "mztape: gone.mzf: cannot be opened\n"},
      {{"encode", "-o", "good.mzf", "good.mzf"}, "mztape: good.mzf is an input file, not replaced\n"},
      {{"encode", "-o", "x.wav", "good.mzf", "x.wav"}, "mztape: x.wav: cannot be opened\n"},
  };
  for (const Case& c : cases) {
    RunResult r = Mztape(dir, c.args);
    EXPECT_EQ(r.status, 1) << c.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(dir.Files(), before) << c.err;
  }
}

// An MZT tape is recorded as its files one by one; an MZF file with bytes behind its Size as the
// file alone, with a warning.
TEST(MztapeEncode, TapesAndTrailingBytes) {
  TempDir dir;
  std::string one = Mzf(1, "ONE", 0x1200, 0x1234, Body(30, 5));
  std::string two = Mzf(2, "TWO", 0x4806, 0, Body(12, 9));
  std::string empty = Mzf(1, "EMPTY", 0x2000, 0x2000, "");
  dir.Write("one.mzf", one);
  dir.Write("two.mzf", two);
  dir.Write("empty.mzf", empty);
  dir.Write("tape.mzt", one + two + empty);
  dir.Write("padded.mzf", one + std::string(200, '\0'));  // a zero type starts no further file
  dir.Write("tail.mzf", one + two.substr(0, 139));        // the second file is cut short

  RunResult separate = Mztape(dir, {"encode", "--fast", "-o", "separate.wav", "one.mzf", "two.mzf",
                                    "empty.mzf"});
  EXPECT_EQ(separate.status, 0);
  EXPECT_EQ(separate.err, "");
  RunResult tape = Mztape(dir, {"encode", "--fast", "tape.mzt"});
  EXPECT_EQ(tape.status, 0);
  EXPECT_EQ(tape.err, "");
  EXPECT_EQ(tape.out,
            "  0:02.5  OBJ  \"ONE\"                  30  1200 1234  tape.mzt\n"
            "  0:09.0  BTX  \"TWO\"                  12  4806 0000  tape.mzt\n"
            "  0:15.4  OBJ  \"EMPTY\"                 0  2000 2000  tape.mzt\n"
            "tape.wav: 44100 Hz, 16-bit, 1 channel, 0:19.2; fast form, polarity normal\n");
  EXPECT_EQ(dir.Read("tape.wav"), dir.Read("separate.wav"));

  RunResult alone = Mztape(dir, {"encode", "--fast", "-o", "alone.wav", "one.mzf"});
  ASSERT_EQ(alone.status, 0);
  for (const char* name : {"padded.mzf", "tail.mzf"}) {
    RunResult r = Mztape(dir, {"encode", "--fast", "-o", "cut.wav", name});
    EXPECT_EQ(r.status, 0) << name;
    long extra = static_cast<long>(dir.Read(name).size() - one.size());
    EXPECT_EQ(r.err, "mztape: " + std::string(name) + ": warning: " + std::to_string(extra) +
                         " bytes behind the 30 of data left out\n");
    EXPECT_EQ(dir.Read("cut.wav"), dir.Read("alone.wav")) << name;
  }
}

TEST(MztapeEncode, TheRecordingIsNamedAfterTheFirstFile) {
  TempDir dir;
  dir.MakeDir("sub.dir");
  std::string mzf = Mzf(1, "X", 0x1200, 0x1200, Body(4, 1));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"game.mzf", "game.wav"},
      {"sub.dir/x.y.MZF", "x.y.wav"},
      {"sub.dir/plain", "plain.wav"},
      {".hidden", ".hidden.wav"},
      {"tape.wav.mzt", "tape.wav.wav"},
  };
  for (const auto& c : cases) {
    dir.Write(c.first, mzf);
    RunResult r = Mztape(dir, {"encode", "--fast", c.first, c.first});
    EXPECT_EQ(r.status, 0) << c.first;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(dir.Exists(c.second)) << c.second;
    EXPECT_NE(r.out.find("\n" + c.second + ": 44100 Hz, 16-bit, 1 channel, "), std::string::npos)
        << r.out;
  }
  // An existing recording is replaced.
  dir.Write("game.wav", "old");
  RunResult again = Mztape(dir, {"encode", "--fast", "-r", "8000", "--bits", "8", "game.mzf"});
  EXPECT_EQ(again.status, 0);
  WavFile wav = ParseWav(dir.Read("game.wav"));
  EXPECT_EQ(wav.rate, 8000u);
  EXPECT_EQ(wav.bits, 8);
}

// Every pulse of the recording, against the machine's format: each run of equal samples within
// one sample of its nominal length, and every edge within half a sample of its nominal time, so
// that no error adds up.
TEST(MztapeEncode, TheRecordingHoldsExactlyThePulseSequence) {
  struct Case {
    uint32_t rate;
    int bits;
    bool fast;
    bool invert;
    int files;
  };
  const std::vector<Case> cases = {
      {44100, 16, false, false, 1}, {22050, 8, false, true, 1}, {44100, 8, true, true, 2},
      {22050, 16, true, false, 2},  {44100, 16, true, false, 1}, {22050, 8, true, false, 1},
  };
  const std::vector<std::string> mzfs = {Mzf(1, "PULSES", 0x1200, 0x1200, Body(24, 7)),
                                         Mzf(5, "SECOND", 0x6BCF, 0, Body(3, 250))};
  for (const Case& c : cases) {
    TempDir dir;
    std::vector<std::string> args = {"encode", "-r", std::to_string(c.rate), "--bits",
                                     std::to_string(c.bits), "-o", "out.wav"};
    if (c.fast) args.push_back("--fast");
    if (c.invert) args.push_back("--invert");
    std::vector<std::string> used(mzfs.begin(), mzfs.begin() + c.files);
    for (int i = 0; i < c.files; ++i) {
      dir.Write("f" + std::to_string(i) + ".mzf", used[i]);
      args.push_back("f" + std::to_string(i) + ".mzf");
    }
    std::string label = std::to_string(c.rate) + " Hz " + std::to_string(c.bits) + " bits" +
                        (c.fast ? " fast" : " conventional") + (c.invert ? " inverted" : "");
    RunResult r = Mztape(dir, args);
    ASSERT_EQ(r.status, 0) << label << r.err;
    WavFile wav = ParseWav(dir.Read("out.wav"));
    EXPECT_EQ(wav.tag, 1u) << label;
    EXPECT_EQ(wav.channels, 1) << label;
    EXPECT_EQ(wav.rate, c.rate) << label;
    EXPECT_EQ(wav.bits, c.bits) << label;
    std::vector<int> samples = Samples(wav);
    Layout layout = ExpectedLayout(used, c.fast, c.invert);

    size_t at = 0;
    int height = 0;
    uint64_t nominalUs = 0;
    size_t bad = 0;
    for (size_t i = 0; i < layout.segments.size() && bad < 5; ++i) {
      const Segment& segment = layout.segments[i];
      if (at >= samples.size()) {
        ADD_FAILURE() << label << ": the recording ends at segment " << i;
        break;
      }
      int level = samples[at];
      size_t end = at;
      while (end < samples.size() && samples[end] == level) ++end;
      if (segment.sign != 0 && height == 0) height = std::abs(level);
      bool levelRight = segment.sign == 0 ? level == 0 : level == segment.sign * height;
      double nominal = static_cast<double>(segment.us) * c.rate / 1e6;
      nominalUs += segment.us;
      double edge = static_cast<double>(nominalUs) * c.rate / 1e6;
      bool lengthRight = std::fabs(static_cast<double>(end - at) - nominal) <= 1.0;
      bool edgeRight = std::fabs(static_cast<double>(end) - edge) <= 0.5 + 1e-9;
      if (!levelRight || !lengthRight || !edgeRight) {
        ++bad;
        ADD_FAILURE() << label << ": segment " << i << " of " << layout.segments.size()
                      << ": level " << level << " for " << end - at << " samples from " << at
                      << ", nominal " << segment.sign << " for " << nominal << " ending at " << edge;
      }
      at = end;
    }
    EXPECT_EQ(at, samples.size()) << label;
    EXPECT_GT(height, 0) << label;
  }
}

// ---- encode, then decode --------------------------------------------------------------------

// The recording's line for a clean recording of the encoder.
std::string CleanLine(const std::string& name, uint32_t rate, const std::string& encoding,
                      const std::string& length) {
  return name + ": " + std::to_string(rate) + " Hz, " + encoding + ", 1 channel, " + length +
         "; tape signal on channel 1, polarity normal, speed 100.0 % of nominal\n";
}

// A file's line of decode, in its fixed columns.
std::string FileLine(const std::string& position, const std::string& type, const std::string& name,
                     unsigned size, unsigned load, unsigned exec, const std::string& header,
                     const std::string& body, const std::string& output) {
  char line[256];
  std::snprintf(line, sizeof line, "%8s  %-3s  %-19s %5u  %04X %04X  %-18s %-18s %s\n",
                position.c_str(), type.c_str(), ("\"" + name + "\"").c_str(), size, load, exec,
                header.c_str(), body.c_str(), output.c_str());
  return line;
}

TEST(MztapeRoundTrip, EveryFileComesBackUnderItsNameSecondOnesNumbered) {
  TempDir dir;
  std::string game = Mzf(1, "GAME", 0x1200, 0x1200, Body(300, 3));
  std::string game2 = Mzf(2, "game", 0x4806, 0, Body(50, 11));  // the same base name
  std::string odd = Mzf(5, "Hi/<*\"x\"> Z", 0x6BCF, 0x0000, Body(7, 13));
  std::string empty = Mzf(0x14, "NOTHING", 0, 0, "");
  std::string full = Mzf(1, "SEVENTEEN CHARS!!", 0x1200, 0x1200, Body(1, 1));
  full[128 - 1] = 'z';
  dir.Write("game.mzf", game);  // the user's own file: replaced atomically
  dir.Write("in.mzt", game + game2 + odd + empty + full);
  RunResult e = Mztape(dir, {"encode", "--fast", "-r", "22050", "-o", "tape.wav", "in.mzt"});
  ASSERT_EQ(e.status, 0) << e.err;
  dir.Write("game.mzf", "an older game.mzf");

  RunResult d = Mztape(dir, {"decode", "tape.wav"});
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.err, "");
  EXPECT_EQ(d.out,
            CleanLine("tape.wav", 22050, "16-bit", "0:34.0") +
                FileLine("0:02.5", "OBJ", "GAME", 300, 0x1200, 0x1200, "first copy", "first copy",
                         "game.mzf") +
                FileLine("0:10.9", "BTX", "game", 50, 0x4806, 0, "first copy", "first copy",
                         "game-2.mzf") +
                FileLine("0:17.5", "RB ", "Hi/<*\"x\"> Z", 7, 0x6BCF, 0, "first copy", "first copy",
                         "hi--=,x,-_z.mzf") +
                FileLine("0:23.9", "", "NOTHING", 0, 0, 0, "first copy", "first copy",
                         "nothing.mzf") +
                FileLine("0:30.2", "OBJ", "SEVENTEEN CHARS!!", 1, 0x1200, 0x1200, "first copy",
                         "first copy", "seventeen_chars!!.mzf") +
                "files: 5 sound, 0 damaged\n");
  auto files = dir.Files();
  EXPECT_EQ(files.size(), 7u) << Without(files, {"game.mzf", "game-2.mzf", "hi--=,x,-_z.mzf",
                                                 "nothing.mzf", "seventeen_chars!!.mzf", "in.mzt",
                                                 "tape.wav"});
  EXPECT_EQ(files["game.mzf"], game);
  EXPECT_EQ(files["game-2.mzf"], game2);
  EXPECT_EQ(files["hi--=,x,-_z.mzf"], odd);
  EXPECT_EQ(files["nothing.mzf"], empty);
  EXPECT_EQ(files["seventeen_chars!!.mzf"], full);

  // A second run writes game.mzf again (over the first run's) but never one file over another
  // of the same run.
  RunResult twice = Mztape(dir, {"decode", "tape.wav", "tape.wav"});
  EXPECT_EQ(twice.status, 0);
  EXPECT_NE(twice.out.find("first copy         game-4.mzf\n"), std::string::npos) << twice.out;
  EXPECT_EQ(dir.Read("game-3.mzf"), game);
  EXPECT_EQ(dir.Read("game-4.mzf"), game2);
}

// Integer and float samples, 8 to 32 bits, and a tape on the second of two channels.
TEST(MztapeRoundTrip, EncodingsAndChannels) {
  TempDir dir;
  std::string mzf = Mzf(1, "WIDE", 0x1200, 0x1200, Body(40, 17));
  dir.Write("wide.mzf", mzf);
  RunResult e = Mztape(dir, {"encode", "--fast", "-r", "22050", "wide.mzf"});
  ASSERT_EQ(e.status, 0);
  std::vector<int> samples = Samples(ParseWav(dir.Read("wide.wav")));
  std::string s24, f32, stereo, u8;
  uint32_t noise = 1;
  for (int s : samples) {
    int32_t wide = s * 256 + (s > 0 ? 77 : 0);
    s24 += std::string{static_cast<char>(wide & 0xFF), static_cast<char>((wide >> 8) & 0xFF),
                       static_cast<char>((wide >> 16) & 0xFF)};
    float f = static_cast<float>(s) / 32768.0f;
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    f32 += Le32(bits);
    noise = noise * 1103515245u + 12345u;
    stereo += Le16(static_cast<uint16_t>(static_cast<int16_t>((noise >> 16) % 2001) - 1000)) +
              Le16(static_cast<uint16_t>(static_cast<int16_t>(s)));
    u8 += static_cast<char>(128 + s / 256);
  }
  dir.Write("s24.wav", Wav(22050, 1, 24, s24));
  dir.Write("f32.wav", Wav(22050, 1, 32, f32, 3));
  dir.Write("stereo.wav", Wav(22050, 2, 16, stereo));
  dir.Write("u8.wav", Wav(22050, 1, 8, u8));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"s24.wav", "24-bit, 1 channel"},
      {"f32.wav", "32-bit float, 1 channel"},
      {"stereo.wav", "16-bit, 2 channels"},
      {"u8.wav", "8-bit, 1 channel"},
  };
  for (const auto& c : cases) {
    RunResult d = Mztape(dir, {"decode", c.first});
    EXPECT_EQ(d.status, 0) << c.first << d.out;
    std::string channel = c.first == "stereo.wav" ? "2" : "1";
    EXPECT_EQ(d.out, c.first + ": 22050 Hz, " + c.second + ", 0:06.6; tape signal on channel " +
                         channel + ", polarity normal, speed 100.0 % of nominal\n" +
                         FileLine("0:02.5", "OBJ", "WIDE", 40, 0x1200, 0x1200, "first copy",
                                  "first copy", "wide.mzf") +
                         "files: 1 sound, 0 damaged\n");
    EXPECT_EQ(dir.Read("wide.mzf"), mzf) << c.first;
  }
}

// A recording that is named like the files on it is never replaced by them; they are numbered
// past it. (The machine's own form, each block twice.)
TEST(MztapeRoundTrip, AnInputIsNeverReplaced) {
  TempDir dir;
  std::string data = Mzf(1, "DATA", 0x1200, 0x1200, Body(10, 5));
  std::string other = Mzf(1, "Data", 0x1300, 0x1300, Body(3, 6));
  dir.Write("data.src", data);
  dir.Write("other.src", other);
  RunResult e = Mztape(dir, {"encode", "-r", "22050", "-o", "data.mzf", "data.src", "other.src"});
  ASSERT_EQ(e.status, 0) << e.err;
  std::string recording = dir.Read("data.mzf");
  RunResult d = Mztape(dir, {"decode", "data.mzf"});
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.err, "");
  EXPECT_EQ(d.out, CleanLine("data.mzf", 22050, "16-bit", "0:38.9") +
                       FileLine("0:11.6", "OBJ", "DATA", 10, 0x1200, 0x1200, "first copy",
                                "first copy", "data-2.mzf") +
                       FileLine("0:31.1", "OBJ", "Data", 3, 0x1300, 0x1300, "first copy",
                                "first copy", "data-3.mzf") +
                       "files: 2 sound, 0 damaged\n");
  EXPECT_EQ(dir.Read("data.mzf"), recording);
  EXPECT_EQ(dir.Read("data-2.mzf"), data);
  EXPECT_EQ(dir.Read("data-3.mzf"), other);
  EXPECT_EQ(dir.Files().size(), 5u);
}

// ---- damaged recordings ---------------------------------------------------------------------

// A recording of `mzfs` in the conventional form at 22050 Hz, 16 bits, with the samples of
// every range [from, to) (in segments of the layout) silenced.
struct Damage {
  size_t from;
  size_t to;
};

std::vector<int> Damaged(const TempDir& dir, const std::vector<std::string>& mzfs, bool fast,
                         std::vector<FileMarks>* marks, Layout* layout) {
  std::vector<std::string> args = {"encode", "-r", "22050", "-o", "clean.wav"};
  if (fast) args.push_back("--fast");
  for (size_t i = 0; i < mzfs.size(); ++i) {
    dir.Write("in" + std::to_string(i) + ".mzf", mzfs[i]);
    args.push_back("in" + std::to_string(i) + ".mzf");
  }
  RunResult e = RunProgram(MztapeExe(), args, dir.path());
  if (e.status != 0) throw std::runtime_error("encode failed: " + e.err);
  *layout = ExpectedLayout(mzfs, fast, false, marks);
  return Samples(ParseWav(dir.Read("clean.wav")));
}

void Silence(std::vector<int>* samples, const Layout& layout, size_t from, size_t to) {
  size_t a = static_cast<size_t>(SegmentStart(layout, from, 22050));
  size_t b = static_cast<size_t>(SegmentStart(layout, to, 22050));
  for (size_t i = a; i < b && i < samples->size(); ++i) (*samples)[i] = 0;
}

// The time of segment `index`, as the decoder shows it.
std::string TimeOf(const Layout& layout, size_t index) {
  double seconds = SegmentStart(layout, index, 22050) / 22050;
  char text[32];
  int tenths = static_cast<int>(std::lround(seconds * 10));
  std::snprintf(text, sizeof text, "%d:%02d.%d", tenths / 600, tenths % 600 / 10, tenths % 10);
  return text;
}

TEST(MztapeDamaged, AFailedFirstCopyIsReadFromTheSecond) {
  TempDir dir;
  std::string mzf = Mzf(1, "COPIES", 0x1200, 0x1200, Body(40, 21));
  std::vector<FileMarks> marks;
  Layout layout;
  std::vector<int> samples = Damaged(dir, {mzf}, false, &marks, &layout);
  // 30 pulses of the header's first copy and of the body's first copy go silent.
  Silence(&samples, layout, marks[0].header[0] + 200, marks[0].header[0] + 260);
  Silence(&samples, layout, marks[0].body[0] + 300, marks[0].body[0] + 360);
  dir.Write("tape.wav", Wav(22050, 1, 16, Samples16(samples)));
  RunResult d = Mztape(dir, {"decode", "tape.wav"});
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.err, "");
  EXPECT_EQ(d.out, CleanLine("tape.wav", 22050, "16-bit", "0:19.9") +
                       FileLine("0:11.6", "OBJ", "COPIES", 40, 0x1200, 0x1200, "second copy",
                                "second copy", "copies.mzf") +
                       "files: 1 sound, 0 damaged\n");
  EXPECT_EQ(dir.Read("copies.mzf"), mzf);
}

TEST(MztapeDamaged, BothCopiesFailedOrCutShort) {
  TempDir dir;
  std::string lost = Mzf(1, "LOST", 0x1200, 0x1200, Body(40, 23));
  std::string cut = Mzf(2, "CUT", 0x4806, 0, Body(60, 29));
  std::vector<FileMarks> marks;
  Layout layout;
  std::vector<int> samples = Damaged(dir, {lost, cut}, false, &marks, &layout);
  // The same byte of the body silenced in both copies; the second file ends in its body.
  Silence(&samples, layout, marks[0].body[0] + 300, marks[0].body[0] + 340);
  Silence(&samples, layout, marks[0].body[1] + 300, marks[0].body[1] + 340);
  size_t end = static_cast<size_t>(SegmentStart(layout, marks[1].body[0] + 18 * 30, 22050));
  samples.resize(end);
  dir.Write("tape.wav", Wav(22050, 1, 16, Samples16(samples)));

  for (bool keep : {false, true}) {
    std::vector<std::string> args = {"decode"};
    if (keep) args.push_back("-k");
    args.push_back("tape.wav");
    RunResult d = Mztape(dir, args);
    EXPECT_EQ(d.status, 2);
    EXPECT_EQ(d.err, "");
    std::string failedAt = "failed at ";
    size_t failed = d.out.find(failedAt);
    ASSERT_NE(failed, std::string::npos) << d.out;
    // The failure is reported within the silenced stretch of the first copy or the second.
    std::string at = d.out.substr(failed + failedAt.size(), 6);
    EXPECT_TRUE(at == TimeOf(layout, marks[0].body[0] + 300) || at == TimeOf(layout, marks[0].body[0] + 340) ||
                at == TimeOf(layout, marks[0].body[1] + 300) || at == TimeOf(layout, marks[0].body[1] + 340))
        << at;
    std::string cutAt = TimeOf(layout, marks[1].body[0] + 18 * 30);
    std::string expected =
        CleanLine("tape.wav", 22050, "16-bit", cutAt) +
        FileLine("0:11.6", "OBJ", "LOST", 40, 0x1200, 0x1200, "first copy", "failed at " + at,
                 keep ? "lost.damaged.mzf" : "not written") +
        FileLine("0:31.5", "BTX", "CUT", 60, 0x4806, 0, "first copy", "cut at " + cutAt,
                 keep ? "cut.damaged.mzf" : "not written") +
        "files: 0 sound, 2 damaged\n";
    EXPECT_EQ(d.out, expected);
    auto files = dir.Files();
    EXPECT_EQ(files.size(), keep ? 6u : 4u);
    if (keep) {
      // The best bytes: the header as recorded, then what the decoder has of the body.
      std::string kept = files["lost.damaged.mzf"];
      EXPECT_EQ(kept.substr(0, 128), lost.substr(0, 128));
      EXPECT_LE(kept.size(), lost.size());
      std::string partial = files["cut.damaged.mzf"];
      EXPECT_GE(partial.size(), 128u + 28);
      EXPECT_LE(partial.size(), 128u + 30);
      EXPECT_EQ(partial, cut.substr(0, partial.size()));
    }
  }
  // With a recording of no file, and one that cannot be read: damage outranks the empty one,
  // the unreadable outranks both.
  dir.Write("quiet.wav", Wav(22050, 1, 16, std::string(2000, '\0')));
  EXPECT_EQ(Mztape(dir, {"decode", "quiet.wav", "tape.wav"}).status, 2);
  EXPECT_EQ(Mztape(dir, {"decode", "tape.wav", "quiet.wav"}).status, 2);
  EXPECT_EQ(Mztape(dir, {"decode", "gone.wav", "tape.wav", "quiet.wav"}).status, 1);
}

}  // namespace

namespace {

// ---- failed writes --------------------------------------------------------------------------

// A write that fails part-way (here the file size limit) leaves the old file as it was and no
// partial file behind.
TEST(MztapeFailedWrite, EncodeLeavesTheOldRecording) {
  TempDir dir;
  dir.Write("game.mzf", Mzf(1, "GAME", 0x1200, 0x1200, Body(100, 3)));
  dir.Write("game.wav", "the old recording");
  auto before = dir.Files();
  RunOptions limit;
  limit.fileSizeLimit = 20000;
  RunResult r = RunProgram(MztapeExe(), {"encode", "--fast", "game.mzf"}, dir.path(), limit);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mztape: cannot write 'game.wav'\n");
  EXPECT_EQ(dir.Files(), before);
}

TEST(MztapeFailedWrite, DecodeLeavesTheOldFileAndSaysSo) {
  TempDir dir;
  std::string game = Mzf(1, "GAME", 0x1200, 0x1200, Body(300, 3));
  dir.Write("game.src", game);
  ASSERT_EQ(Mztape(dir, {"encode", "--fast", "-r", "22050", "-o", "tape.wav", "game.src"}).status, 0);
  dir.Write("game.mzf", "the old game.mzf");
  auto before = dir.Files();
  RunOptions limit;
  limit.fileSizeLimit = 200;
  RunResult r = RunProgram(MztapeExe(), {"decode", "tape.wav"}, dir.path(), limit);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mztape: cannot write 'game.mzf'\n");
  EXPECT_EQ(NominalSpeed(r.out),
            CleanLine("tape.wav", 22050, "16-bit", "0:08.4") +
                FileLine("0:02.5", "OBJ", "GAME", 300, 0x1200, 0x1200, "first copy", "first copy",
                         "not written") +
                "files: 1 sound, 0 damaged\n");
  EXPECT_EQ(dir.Files(), before);
}

}  // namespace

namespace {

// ---- hostile input --------------------------------------------------------------------------

// Recordings that no tape gives: each run ends cleanly, nothing on standard error (where the
// sanitizers report), nothing written as sound that was not recorded.
TEST(MztapeHostileInput, DecodeEndsCleanly) {
  TempDir dir;
  std::string noise = Body(40000, 97);
  std::string floats;
  const uint32_t kOddFloats[] = {0x7FC00000u, 0x7F800000u, 0xFF800000u, 0x7F7FFFFFu, 0x00000001u,
                                 0xC0000000u, 0x3F800000u, 0xBF800000u};
  for (int i = 0; i < 4000; ++i) floats += Le32(kOddFloats[(i / 3) % 8]);
  std::string lying = Wav(44100, 1, 16, noise);
  lying.replace(40, 4, Le32(0x7FFFFFF0u));  // a data chunk far longer than the file
  std::string square;  // pulses of every length from 1 to 200 samples
  for (int length = 1; length <= 200; ++length) {
    for (int repeat = 0; repeat < 3; ++repeat) {
      square += std::string(static_cast<size_t>(length), static_cast<char>(0xF0));
      square += std::string(static_cast<size_t>(length), static_cast<char>(0x10));
    }
  }
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"noise8.wav", Wav(8000, 1, 8, noise)},
      {"noise192k.wav", Wav(192000, 1, 16, noise)},
      {"eight.wav", Wav(8000, 8, 16, noise)},
      {"floats.wav", Wav(11025, 2, 32, floats, 3)},
      {"lying.wav", lying},
      {"square.wav", Wav(22050, 1, 8, square)},
  };
  for (const auto& c : cases) {
    dir.Write(c.first, c.second);
    RunResult r = Mztape(dir, {"decode", "-k", c.first});
    EXPECT_TRUE(r.status == 0 || r.status == 2 || r.status == 3) << c.first << ": " << r.status;
    EXPECT_EQ(r.err, "") << c.first;
    EXPECT_EQ(r.out.rfind(c.first + ": ", 0), 0u) << c.first << ": " << r.out;
  }
}

TEST(MztapeHostileInput, EncodeEndsCleanly) {
  TempDir dir;
  std::string biggest = Mzf(1, std::string(17, '\xFF'), 0xFFFF, 0xFFFF, std::string(65535, '\xFF'));
  std::string zeros(128 * 5, '\0');  // five headers of size 0 and type 0: one file, bytes left out
  dir.Write("biggest.mzf", biggest);
  dir.Write("zeros.mzf", zeros);
  RunResult big = Mztape(dir, {"encode", "--fast", "-r", "8000", "--bits", "8", "biggest.mzf"});
  EXPECT_EQ(big.status, 0);
  EXPECT_EQ(big.err, "");
  RunResult z = Mztape(dir, {"encode", "--fast", "-r", "8000", "zeros.mzf"});
  EXPECT_EQ(z.status, 0);
  EXPECT_EQ(z.err, "mztape: zeros.mzf: warning: 512 bytes behind the 0 of data left out\n");
  RunResult d = Mztape(dir, {"decode", "zeros.wav"});
  EXPECT_EQ(d.status, 0) << d.out;
  EXPECT_EQ(dir.Read(".mzf"), zeros.substr(0, 128));  // an empty name: Velkor's ".mzf" too
}

}  // namespace
