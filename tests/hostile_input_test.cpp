// Hostile input: files that no tape, disk or dump should hold, fed to every program in every
// mode. Each run must end cleanly: the expected status and messages, nothing on standard error
// (where the sanitizers report), no hang (RunProgram limits the CPU time), no file written outside
// the working directory or under a name the host cannot take, no partial or temporary file left,
// and an image that a refusing command leaves as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/support/expect.h"
#include "tests/support/media.h"
#include "tests/support/process.h"

namespace {

using Files = std::map<std::string, std::string>;

const std::string kDirectory = "<dir>";  // the input is a directory
const std::string kInput = "hostile.bin";

// --- The inputs -------------------------------------------------------------------------------

// A QD image whose head counts 255 blocks over 128 empty files: a further file would wrap the
// count, and Velkor reads the count as -1.
std::string CountOf255() {
  std::vector<QdFile> files;
  for (int i = 0; i < 128; ++i) files.push_back({1, "E" + std::to_string(i), ""});
  return QdImage(files, 255);
}

// A QD image cut off after 10 data bytes of a file whose header and data block both claim 65520:
// the data, and a second file that the head counts, lie past the end.
std::string SizesPastTheEnd() {
  QdFile file{2, "PAST", "10 PRINT"};
  std::string blocks = QdFileBlocks(file);
  const int claimed = 0xFFF0;
  blocks.replace(7 + 20, 2, Le16(claimed));   // the header's Size
  blocks.replace(74 + 5, 2, Le16(claimed));   // the data block's length
  std::string image = EmptyQdImage().substr(0, 8) + blocks.substr(0, 74 + 7 + 10);
  image[4] = 4;
  return image;
}

// A RAM-disk chain of two entries whose second one's length leads back to the first, 64 KiB on.
std::string LoopingRamDisk() {
  std::string first = RamEntry({.attribute = 1, .name = "FIRST", .data = "1"});
  int second = 16 + static_cast<int>(first.size());
  std::string back = RamEntry({.attribute = 2, .name = "BACK", .data = Bytes({0, 0}),
                               .length = 65536 - (second - 16) - 2});
  return RamHeader() + first + back;
}

// A BASIC program of 64 KiB made of the byte pairs 01 00. Its first record is one byte long, and
// the walk then steps through words of 256 at every odd offset: 257 lines, each ended at once.
std::string LengthWordsOfOne() {
  std::string program;
  for (int i = 0; i < 32767; ++i) program += Bytes({1, 0});
  return Mzf(2, "ONES", program);
}

// Names that together hold every byte value, and names that look like paths.
std::vector<std::string> HostileNames() {
  std::vector<std::string> names;
  std::string all;
  for (int value = 0; value < 256; ++value) {
    if (value != 0x00 && value != 0x0D) all.push_back(static_cast<char>(value));
  }
  for (size_t at = 0; at < all.size(); at += 17) {
    std::string name = all.substr(at, 17);
    names.push_back(name + std::string(17 - name.size(), '\x0D'));
  }
  const char* paths[] = {"..", ".", "/", "../../ESCAPE", "/TMP/X", "A/../../B", "-", "~", "*?:\\|"};
  for (const char* path : paths) names.push_back(Name17(path));
  names.push_back(Name17(std::string("\x00/..", 4)));  // a zero ends the name at once
  names.push_back(Name17(std::string("AB\x00../C", 7)));
  names.push_back(Name17("\x0D" "IGNORED"));
  names.push_back(Name17("\x16\x16\xA5"));
  return names;
}

// A tiny BASIC program, so that every name gets its .btx and .bas too.
const std::string kTinyProgram = Le16(6) + Le16(10) + Bytes({0x8F, 0x00, 0x00, 0x00});

std::string NamesOnTape() {
  std::string tape;
  for (const std::string& name : HostileNames()) tape += Mzf(2, name, kTinyProgram);
  return tape;
}

std::string NamesOnQd() {
  std::vector<QdFile> files;
  for (const std::string& name : HostileNames()) files.push_back({2, name, kTinyProgram});
  return QdImage(files);
}

std::string NamesOnRamDisk() {
  std::string image = RamHeader();
  for (const std::string& name : HostileNames()) image += RamEntry({.attribute = 2, .name = name, .data = kTinyProgram});
  return image + Le16(0);
}

// --- Expectations -----------------------------------------------------------------------------

// One of Velkor's three readings of the input: the memory disk (no switch, -v), the QD image
// (-q, -Q) or the MZT tape (-t, -T).
struct Reading {
  std::string end;    // the last lines of the listing, before the blank line
  int files = 0;      // how many files the run writes
  Files written = {};  // some of them, byte for byte
};

// Drasil's run: the status and everything after the banner, or only its end.
struct Outcome {
  int status;
  std::string out;
  bool whole = true;
  bool writes = false;  // "add": the image is written anew
};

struct Hostile {
  const char* what;
  std::string bytes;  // or kDirectory
  Reading memoryDisk;
  Reading qd;
  Reading mzt;
  Outcome dir;       // Drasil "dir" on the input as the image
  Outcome addImage;  // Drasil "add new.mzf" to the input as the image
  Outcome addMzf;    // Drasil "add" of the input to an empty image
  std::string pandrel;  // Pandrel's lines after its title, "End:" line included
};

std::string Tail(const std::string& text) {
  return text.size() > 300 ? "..." + text.substr(text.size() - 300) : text;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A name that Velkor may write: printable, no path, and one of its three extensions (which a
// temporary file's name never ends in).
bool SaneOutputName(const std::string& name) {
  for (char c : name) {
    if (c < 0x20 || c > 0x7E || c == '/') return false;
  }
  if (name.size() < 4) return false;
  std::string extension = name.substr(name.size() - 4);
  return extension == ".mzf" || extension == ".btx" || extension == ".bas";
}

void Place(const TempDir& dir, const std::string& name, const std::string& bytes) {
  if (bytes == kDirectory) {
    dir.MakeDir(name);
  } else {
    dir.Write(name, bytes);
  }
}

void RunVelkor(const Hostile& h) {
  struct Mode {
    const char* flag;
    const char* heading;
    const Reading* reading;
  };
  const Mode modes[] = {{"", "", &h.memoryDisk},
                        {"-v", "", &h.memoryDisk},
                        {"-q", "Directory of QD:\n", &h.qd},
                        {"-Q", "Directory of QD:                         size load exec\n", &h.qd},
                        {"-t", "Directory of MZT:\n", &h.mzt},
                        {"-T", "Directory of MZT:                         size load exec\n", &h.mzt}};
  for (const Mode& mode : modes) {
    SCOPED_TRACE(std::string("velkor ") + mode.flag);
    // The run works in a directory of its own inside the test's one: nothing may appear beside it.
    TempDir root;
    root.MakeDir("work");
    Place(root, "work/" + kInput, h.bytes);
    std::vector<std::string> args;
    if (*mode.flag != '\0') args.push_back(mode.flag);
    args.push_back(kInput);
    RunResult run = RunProgram(VelkorExe(), args, root.Path("work"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(root.Files(), (Files{{"work", "<dir>"}}));
    Files files = root.FilesIn("work");
    files.erase(kInput);
    if (h.bytes == kDirectory) {
      EXPECT_EQ(run.out, kVelkorBanner + "ERROR: File '" + kInput + "' not found!\n");
      EXPECT_TRUE(files.empty());
      continue;
    }
    const std::string start = kVelkorBanner + "File: " + kInput + "\n" + mode.heading;
    EXPECT_EQ(run.out.substr(0, start.size()), start);
    EXPECT_TRUE(EndsWith(run.out, mode.reading->end + "\n")) << Tail(run.out);
    EXPECT_EQ(run.out.find("ERROR:"), std::string::npos);
    EXPECT_EQ(files.size(), static_cast<size_t>(mode.reading->files));
    for (const auto& [name, bytes] : files) {
      EXPECT_TRUE(SaneOutputName(name)) << "written: " << name;
      EXPECT_NE(bytes, "<dir>") << name;
    }
    for (const auto& [name, bytes] : mode.reading->written) {
      EXPECT_EQ(FirstDifference(files[name], bytes), "") << name;
    }
  }
}

// Drasil with `image` as its image and `args`; `imageName` is where the image stands.
void ExpectDrasil(const std::vector<std::string>& args, const Outcome& outcome,
                  const std::string& imageName, const std::string& image, const std::string& mzf) {
  TempDir dir;
  Place(dir, imageName, image);
  if (args.size() > 1) Place(dir, args[1], mzf);
  Files before = dir.Files();
  RunResult run = RunProgram(DrasilExe(), args, dir.path());
  EXPECT_EQ(run.status, outcome.status);
  EXPECT_EQ(run.err, "");
  if (outcome.whole) {
    EXPECT_EQ(run.out, kDrasilBanner + outcome.out);
  } else {
    EXPECT_EQ(run.out.substr(0, kDrasilBanner.size()), kDrasilBanner);
    EXPECT_TRUE(EndsWith(run.out, outcome.out)) << Tail(run.out);
  }
  Files after = dir.Files();
  if (outcome.writes) {
    // The image anew, everything else as it was.
    EXPECT_EQ(after[imageName].size(), kQdToolImageSize);
    EXPECT_NE(after[imageName], before[imageName]);
    after[imageName] = before[imageName];
  }
  EXPECT_TRUE(after == before);
}

void RunDrasil(const Hostile& h) {
  const std::string mzf = Mzf(1, "NEW", "n");
  {
    SCOPED_TRACE("drasil dir");
    ExpectDrasil({"dir"}, h.dir, "MZ700.qd", h.bytes, "");
  }
  {
    SCOPED_TRACE("drasil add, the input as the image");
    ExpectDrasil({"add", "new.mzf"}, h.addImage, "MZ700.QD", h.bytes, mzf);
  }
  {
    SCOPED_TRACE("drasil add, the input as the MZF file");
    ExpectDrasil({"add", kInput}, h.addMzf, "MZ700.QD", EmptyQdImage(), h.bytes);
  }
}

void RunPandrel(const Hostile& h) {
  SCOPED_TRACE("pandrel");
  TempDir dir;
  Place(dir, kInput, h.bytes);
  RunResult run = RunProgram(PandrelExe(), {"-v", kInput}, dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, kPandrelHead + h.pandrel + "\n");
  Files files = dir.Files();
  EXPECT_EQ(files.size(), 2u);
  EXPECT_GE(files["QDisk.mzq"].size(), kPackerImageSize);
}

std::string Pandrel(const std::string& lines, int end) {
  char line[64];
  std::snprintf(line, sizeof line, "                     End: %06x\n", end);
  return lines + line;
}

std::string RomCheckEnd(int expected, int length) {
  return "Size image - file: " + std::to_string(expected) + ", " + std::to_string(length) +
         " -> different\n";
}

std::string Total(int bytes) { return "Length of data: " + std::to_string(bytes) + " Bytes.\n"; }

// Every input with what each program makes of it.
std::vector<Hostile> HostileInputs() {
  const std::string wrongSize = "ERROR: Wrong file size '" + kInput + "' (Skip).\n";
  const std::string exceeds = "WARNING: The file exceeds the length of the standard image.\n";
  const std::string addInput = "try to add " + kInput + "\n";
  const std::string addNew = "try to add new.mzf\n";
  const std::string notMzf = addInput + "file " + kInput + " is not a MZF file\n";
  const std::string tooBig = addInput + "file " + kInput + " is to big, only 61447 bytes free\n";
  const std::string damagedDir = "error: MZ700.qd is damaged\n";
  const std::string damagedAdd = addNew + "error: MZ700.QD is damaged\n";
  const std::string ramTrailer =
      "\nSize of RAM:    16384 Bytes.\n"
      "Length of data: 3072 Bytes, Magic number: 08 09 0A 0B 0C 0D 0E 0F.\n";
  std::string listOf255 = "DIRECTORY OF QD:\n";
  for (int i = 0; i < 128; ++i) listOf255 += " OBJ  \"E" + std::to_string(i) + "\"\n";
  listOf255 += "Ready\n";
  std::string onesListing = "1 ?01?\r\n";
  for (int i = 0; i < 256; ++i) onesListing += "256 \r\n";
  const std::string ones = LengthWordsOfOne();
  // The names come out as 24 different base names, three files each.
  const int namesFiles = 72;

  return std::vector<Hostile>{
      {"an empty file", "",
       {RomCheckEnd(9, 0)}, {Total(0)}, {Total(0)},
       {6, damagedDir}, {6, damagedAdd}, {0, notMzf},
       Pandrel(wrongSize, 8)},
      {"one byte", "\x16",
       {RomCheckEnd(31, 1)}, {Total(0)}, {Total(0)},
       {6, damagedDir}, {6, damagedAdd}, {0, notMzf},
       Pandrel(wrongSize, 8)},
      {"a directory", kDirectory,
       {}, {}, {},
       {3, "file MZ700.qd not found\n"}, {3, addNew + "file MZ700.QD not found\n"},
       {5, addInput + "file " + kInput + " not found\n"},
       Pandrel("WARNING: File '" + kInput + "' not found!\n", 8)},
      {"sync bytes beyond 256 KiB", Repeat(0x16, 300000),
       {RomCheckEnd(5663, 262144)}, {Total(11 * 5654), 1}, {Total(50 * 5654), 1},
       {6, "DIRECTORY OF QD:\n" + damagedDir}, {6, damagedAdd}, {0, tooBig},
       Pandrel(" 1: '                 '   000008   1616  1616  1616\n", 8 + 84 + 5654)},
      {"an MZF file beyond 256 KiB", MzfHeader(2, "BIG", 0xFFFF, 0, 0) + Counting(300000 - 128),
       {RomCheckEnd(16907, 262144)}, {Total(0), 1}, {Total(326638), 12},
       {6, damagedDir}, {6, damagedAdd}, {0, tooBig},
       Pandrel(exceeds + " 1: 'BIG'                 000008   ffff  0000  0000\n", 8 + 84 + 65535)},
      {"an MZF file of 65536 bytes", Mzf(1, "EXACT", Counting(65536 - 128)),
       {RomCheckEnd(17674, 65536)}, {Total(0), 1}, {Total(65408), 1},
       {6, damagedDir}, {6, damagedAdd}, {0, tooBig},
       Pandrel(" 1: 'EXACT'               000008   ff80  1200  1200\n", 8 + 84 + 65408)},
      {"an MZF file whose length wraps its Size to 0", MzfHeader(5, "WRAP", 0, 0, 0) + Counting(65536),
       {RomCheckEnd(22286, 65664)}, {Total(0), 1}, {Total(98942), 6},
       {6, damagedDir}, {6, damagedAdd}, {0, tooBig},
       Pandrel(" 1: 'WRAP'                000008   0000  0000  0000\n", 8 + 84)},
      {"a QD image counting 255 blocks", CountOf255(),
       {RomCheckEnd(5641, 61455)}, {Total(0)}, {Total(64165), 4},
       {0, listOf255}, {0, addNew + "file new.mzf not added, directory full\n"},
       {.status = 0, .out = addInput, .whole = true, .writes = true},
       Pandrel(" 1: '  u CRC   u @  E0'   000008   0d0d  0d0d  0d0d\n", 8 + 84 + 0x0d0d)},
      {"a QD image whose sizes point past its end", SizesPastTheEnd(),
       {RomCheckEnd(5641, 99)}, {Total(65520), 3}, {Total(0)},
       {0, "DIRECTORY OF QD:\n BTX  \"PAST\"\nReady\n"}, {6, damagedAdd}, {0, notMzf},
       Pandrel(wrongSize, 8)},
      {"a RAM-disk chain looping back", LoopingRamDisk(),
       {ramTrailer, 4}, {Total(0)}, {Total(61166), 1},
       {6, damagedDir}, {6, damagedAdd}, {.status = 0, .out = addInput, .whole = true, .writes = true},
       Pandrel(" 1: '@           '        000008   eeee  01ee  4946\n", 8 + 84 + 0xeeee)},
      {"a BASIC program whose length words are 1", ones,
       {RomCheckEnd(20235, 65662)}, {Total(0), 1},
       {Total(65534), 3, {{"ones.mzf", ones}, {"ones.bas", onesListing}}},
       {6, damagedDir}, {6, damagedAdd}, {0, tooBig},
       Pandrel(exceeds + " 1: 'ONES'                000008   fffe  1200  1200\n", 8 + 84 + 65534)},
      {"names of every byte value on a tape", NamesOnTape(),
       {RomCheckEnd(267, 3808)}, {Total(0), 1}, {Total(224), namesFiles},
       {6, "DIRECTORY OF QD:\n" + damagedDir}, {6, damagedAdd}, {.status = 0, .out = addInput, .whole = true, .writes = true},
       Pandrel(" 1: '                 '   000008   0008  1200  1200\n", 8 + 84 + 8)},
      {"names of every byte value on a QD image", NamesOnQd(),
       {RomCheckEnd(5641, 61455)}, {Total(224), namesFiles}, {Total(69967), 4},
       {.status = 0, .out = "\"\nReady\n", .whole = false}, {.status = 0, .out = addNew, .whole = true, .writes = true}, {.status = 0, .out = addInput, .whole = true, .writes = true},
       Pandrel(" 1: '  u8CRC   u @    '   000008   0403  0605  0807\n", 8 + 84 + 0x0403)},
      {"names of every byte value on a RAM disk", NamesOnRamDisk(),
       {ramTrailer, namesFiles}, {Total(0)}, {Total(61166), 1},
       {6, "DIRECTORY OF QD:\n" + damagedDir}, {6, damagedAdd}, {.status = 0, .out = addInput, .whole = true, .writes = true},
       Pandrel(" 1: '@           '        000008   eeee  02ee  0201\n", 8 + 84 + 0xeeee)},
  };
}

}  // namespace

TEST(HostileInput, VelkorInEveryMode) {
  for (const Hostile& h : HostileInputs()) {
    SCOPED_TRACE(h.what);
    RunVelkor(h);
  }
}

TEST(HostileInput, DrasilDirAndAdd) {
  for (const Hostile& h : HostileInputs()) {
    SCOPED_TRACE(h.what);
    RunDrasil(h);
  }
}

TEST(HostileInput, Pandrel) {
  for (const Hostile& h : HostileInputs()) {
    SCOPED_TRACE(h.what);
    RunPandrel(h);
  }
}
