// Velkor end to end: switches, the QD and MZT directories, the files it writes.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/media.h"
#include "tests/support/output.h"
#include "tests/support/process.h"

namespace {

using Files = std::map<std::string, std::string>;


RunResult Velkor(const TempDir& dir, const std::vector<std::string>& args) {
  RunResult result = RunProgram(VelkorExe(), args, dir.path());
  EXPECT_EQ(result.err, "");
  return result;
}

std::string Data(size_t size, int seed) {
  std::string data;
  for (size_t i = 0; i < size; ++i) data.push_back(static_cast<char>((i * 7 + seed) & 0xFF));
  return data;
}

}  // namespace

TEST(VelkorCommandLine, NoArgumentsPrintsOnlyTheBanner) {
  TempDir dir;
  RunResult run = Velkor(dir, {});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kVelkorBanner);
  EXPECT_TRUE(dir.Files().empty());
}

TEST(VelkorCommandLine, ASingleArgumentIsAlwaysAFileName) {
  TempDir dir;
  RunResult run = Velkor(dir, {"-q"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kVelkorBanner + "ERROR: File '-q' not found!\n");
}

TEST(VelkorCommandLine, AnUnknownSwitchIsAFileNameAndLeavesModeZero) {
  TempDir dir;
  // A ROM-disk image of size 0 with its checks right: the image is read in mode 0.
  dir.Write("rom.bin", Bytes({0, 0, 0x00, 0x12, 0x34, 0x12, 0, 0, 7}));  // head bits: 2+3+2 = 7
  RunResult run = Velkor(dir, {"-x", "rom.bin"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kVelkorBanner + "ERROR: File '-x' not found!\n" +
                         "File: rom.bin\n"
                         "RomDisk size: 0000 - 0 Bytes\n"
                         "        load: 1200\n"
                         "        exec: 1234\n"
                         "   check sum: 0000 - ok\n"
                         "  check head:   07 - ok\n"
                         "\n"
                         "Size image - file: 9, 9 -> ok\n"
                         "\n");
}

TEST(VelkorCommandLine, MissingFilesAndDirectoriesAreReportedAndSkipped) {
  TempDir dir;
  dir.Write("empty.qd", EmptyQdImage());
  dir.MakeDir("folder");
  RunResult run = Velkor(dir, {"-q", "missing.qd", "empty.qd", "folder", "empty.qd"});
  EXPECT_EQ(run.status, 0);
  const std::string listing = "File: empty.qd\nDirectory of QD:\nLength of data: 0 Bytes.\n\n";
  EXPECT_EQ(run.out, kVelkorBanner + "ERROR: File 'missing.qd' not found!\n" + listing +
                         "ERROR: File 'folder' not found!\n" + listing);
  EXPECT_EQ(dir.Files().size(), 2u);  // nothing written
}

TEST(VelkorQd, ListsAndExtractsEveryFileOfAnImage) {
  TempDir dir;
  std::string code = Data(300, 1);
  std::string basic = Data(5, 2);
  dir.Write("disk.qd", QdImage({{1, "HELLO", code, 0x1200, 0x1234}, {2, "PROG", basic, 0x6BCF, 0}}));
  RunResult run = Velkor(dir, {"-q", "disk.qd"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kVelkorBanner +
                         "File: disk.qd\n"
                         "Directory of QD:\n"
                         " OBJ  \"HELLO\"           :`   300 Bytes\n"
                         " BTX  \"PROG\"            :`     5 Bytes\n"
                         "Length of data: 305 Bytes.\n"
                         "\n");
  Files files = dir.Files();
  EXPECT_EQ(files["hello.mzf"], Written(1, "HELLO", code, 0x1200, 0x1234));
  EXPECT_EQ(files["prog.mzf"], Written(2, "PROG", basic, 0x6BCF, 0));
  EXPECT_EQ(files["prog.btx"], basic);
  EXPECT_EQ(files.count("hello.btx"), 0u);
}

TEST(VelkorQd, ColumnsShowSizeLoadAndExec) {
  TempDir dir;
  dir.Write("disk.qd", QdImage({{1, "A", Data(0x1A, 0), 0xC000, 0xC0DE}}));
  RunResult run = Velkor(dir, {"-Q", "disk.qd"});
  EXPECT_EQ(run.out, kVelkorBanner +
                         "File: disk.qd\n"
                         "Directory of QD:                         size load exec\n"
                         " OBJ  \"A\"               :`    26 Bytes   001A C000 C0DE\n"
                         "Length of data: 26 Bytes.\n"
                         "\n");
}

TEST(VelkorQd, TheBlockCountDecidesHowManyFilesAreRead) {
  // Three files ending at an odd offset, where the fill reads 0xAA 0x55 at the name.
  std::vector<QdFile> files = {{1, "ONE", Data(10, 1)}, {1, "TWO", Data(20, 2)}, {1, "THREE", Data(31, 3)}};
  struct Case {
    int blocks;
    std::vector<std::string> listed;
    std::vector<std::string> extracted;
    int total;
  };
  const Case cases[] = {
      {4, {"ONE", "TWO"}, {"one.mzf", "two.mzf"}, 30},  // further headers are ignored
      {3, {"ONE", "TWO"}, {"one.mzf"}, 10},             // an odd count lists the last one only
      {1, {"ONE"}, {}, 0},
      {0, {}, {}, 0},
      {0x80, {}, {}, 0},  // a negative count
      {0xFE, {}, {}, 0},
      {8, {"ONE", "TWO", "THREE"}, {"one.mzf", "three.mzf", "two.mzf"}, 61},  // stops at the fill
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("disk.qd", QdImage(files, c.blocks));
    RunResult run = Velkor(dir, {"-q", "disk.qd"});
    std::string expected = kVelkorBanner + "File: disk.qd\nDirectory of QD:\n";
    for (const std::string& name : c.listed) {
      int size = name == "ONE" ? 10 : name == "TWO" ? 20 : 31;
      std::string quoted = "\"" + name + "\"";
      char line[80];
      std::snprintf(line, sizeof line, " OBJ  %-18s:` %5d Bytes\n", quoted.c_str(), size);
      expected += line;
    }
    expected += "Length of data: " + std::to_string(c.total) + " Bytes.\n\n";
    EXPECT_EQ(run.out, expected) << "count " << c.blocks;
    Files written = dir.Files();
    written.erase("disk.qd");
    std::vector<std::string> names;
    for (const auto& entry : written) names.push_back(entry.first);
    EXPECT_EQ(names, c.extracted) << "count " << c.blocks;
  }
}

TEST(VelkorQd, FillAtAnEvenOffsetReadsAsOneMoreEntry) {
  // Behind files that end at an even offset the fill reads 0x55 0xAA at the name: the stop
  // test does not see it, and a count that is too large takes the fill for a file.
  TempDir dir;
  dir.Write("disk.qd", QdImage({{1, "ONE", Data(10, 1)}}, 4));
  RunResult run = Velkor(dir, {"-q", "disk.qd"});
  EXPECT_EQ(run.out, kVelkorBanner +
                         "File: disk.qd\n"
                         "Directory of QD:\n"
                         " OBJ  \"ONE\"             :`    10 Bytes\n"
                         "   \"UfUfUfUfUfUfUfUfU\":` 21930 Bytes\n"
                         "Length of data: 21940 Bytes.\n\n");
  EXPECT_EQ(dir.Read("ufufufufufufufufu.mzf").size(), 128u + 21930u);
}

TEST(VelkorQd, AHeadShorterThanEightBytesCountsNoBlocks) {
  for (const std::string& image : {std::string(), Bytes({0x00, 0x16, 0x16, 0xA5})}) {
    TempDir dir;
    dir.Write("short.qd", image);
    RunResult run = Velkor(dir, {"-q", "short.qd"});
    EXPECT_EQ(run.out, kVelkorBanner + "File: short.qd\nDirectory of QD:\nLength of data: 0 Bytes.\n\n");
  }
}

TEST(VelkorQd, AnEntryOfSizeZeroGivesAHeaderOnlyFile) {
  TempDir dir;
  dir.Write("disk.qd", QdImage({{2, "NIL", ""}, {1, "NEXT", "xyz"}}));
  RunResult run = Velkor(dir, {"-q", "disk.qd"});
  EXPECT_EQ(run.out, kVelkorBanner +
                         "File: disk.qd\n"
                         "Directory of QD:\n"
                         " BTX  \"NIL\"             :`     0 Bytes\n"
                         " OBJ  \"NEXT\"            :`     3 Bytes\n"
                         "Length of data: 3 Bytes.\n\n");
  Files files = dir.Files();
  EXPECT_EQ(files["nil.mzf"], MzfHeader(2, "NIL", 0, 0x1200, 0x1200));
  EXPECT_EQ(files["nil.btx"], "");
  EXPECT_EQ(files["next.mzf"], Written(1, "NEXT", "xyz", 0x1200, 0x1200));
}

TEST(VelkorQd, OffsetsWrapAt64KiB) {
  // A packer image can run past 65535. The file behind a 65000-byte one ends beyond 65536, so
  // the next header is read at the wrapped offset 40, inside the first file's header block,
  // where the first file's comment holds a made-up entry.
  std::string comment = Repeat(0, 38);
  comment[6] = 1;                                            // attribute, image offset 47
  comment.replace(7, 17, Name17("WRAPPED"));                 // name, 48..64
  comment.replace(26, 6, Le16(2) + Le16(0x2000) + Le16(0x2001));  // size, load, exec, 67..72
  std::string big = Data(65000, 5);
  std::string after = Data(400, 6);
  std::string image = EmptyQdImage();
  image.resize(65600, '\xFF');
  QdFile first{1, "BIG", big};
  first.comment = comment;
  std::string stored = QdFileBlocks(first) + QdFileBlocks({1, "AFTER", after});
  image.replace(8, stored.size(), stored);
  image[4] = 6;
  TempDir dir;
  dir.Write("big.qd", image);
  RunResult run = Velkor(dir, {"-Q", "big.qd"});
  EXPECT_EQ(run.out, kVelkorBanner +
                         "File: big.qd\n"
                         "Directory of QD:                         size load exec\n"
                         " OBJ  \"BIG\"             :` 65000 Bytes   FDE8 1200 1200\n"
                         " OBJ  \"AFTER\"           :`   400 Bytes   0190 1200 1200\n"
                         " OBJ  \"WRAPPED\"         :`     2 Bytes   0002 2000 2001\n"
                         "Length of data: 65402 Bytes.\n\n");
  EXPECT_EQ(dir.Read("big.mzf"), Written(1, "BIG", big, 0x1200, 0x1200));
  EXPECT_EQ(dir.Read("after.mzf"), Written(1, "AFTER", after, 0x1200, 0x1200));
  // Its data comes from offset 40 + 81, the first file's data byte 32.
  EXPECT_EQ(dir.Read("wrapped.mzf"), Written(1, "WRAPPED", big.substr(32, 2), 0x2000, 0x2001));
}

TEST(VelkorNames, SeventeenCharactersAndSharpLowerCase) {
  TempDir dir;
  // "Hello" in Sharp codes: H, then e l l o at 0x92, 0xB8, 0xB8, 0xB7.
  std::string sharpHello = Bytes({'H', 0x92, 0xB8, 0xB8, 0xB7});
  QdFile seventeen{1, "ABCDEFGHIJKLMNOPQ", "1", 0x1234, 0x5678};
  dir.Write("disk.qd", QdImage({seventeen, {6, sharpHello, "2"}}));
  RunResult run = Velkor(dir, {"-Q", "disk.qd"});
  EXPECT_EQ(run.out, kVelkorBanner +
                         "File: disk.qd\n"
                         "Directory of QD:                         size load exec\n"
                         " OBJ  \"ABCDEFGHIJKLMNOPQ\":`     1 Bytes   0001 1234 5678\n"
                         " ASC  \"Hello\"           :`     1 Bytes   0001 1200 1200\n"
                         "Length of data: 2 Bytes.\n\n");
  Files files = dir.Files();
  EXPECT_EQ(files["abcdefghijklmnopq.mzf"], Written(1, "ABCDEFGHIJKLMNOPQ", "1", 0x1234, 0x5678));
  // The new header carries the readable name.
  EXPECT_EQ(files["hello.mzf"], Written(6, "Hello", "2", 0x1200, 0x1200));
}

TEST(VelkorNames, BaseNamesMapAwkwardCharacters) {
  struct Case {
    std::string name;  // stored name
    std::string base;  // file name without extension
  };
  const Case cases[] = {
      {"HELLO WORLD", "hello_world"},
      {"A*B/C<D>E", "a=b-c-d-e"},
      {"SAY \"HI\"", "say_,hi,"},
      {"\rREST", ""},                    // ends at once: the files are named by extensions only
      {"C:WHY?\\|", "c:why?\\|"},        // colons, question marks, backslashes, bars stay
      {Bytes({'A', 0x7F, 'B'}), "a_b"},  // 0x7F shows as an underscore
      {Bytes({'X', 0x01, 'Y'}), "x_y"},  // control codes show as blanks
      {Bytes({'X', 0x00, 'Y'}), "x"},    // a zero byte ends the name
      {Bytes({'M', 0xC5, 'Z'}), "m_z"},  // unknown codes show as blanks
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("disk.qd", QdImage({{1, c.name, "d"}}));
    RunResult run = Velkor(dir, {"-q", "disk.qd"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(dir.Exists(c.base + ".mzf")) << c.base << "\n" << run.out;
    EXPECT_EQ(dir.Files().size(), 2u) << c.base;
  }
}

TEST(VelkorNames, TheNewHeaderKeepsTheRecordBytesBehindTheNameEnd) {
  TempDir dir;
  // A name ended by a zero byte keeps the raw bytes after it; every zero becomes CR.
  std::string name = Bytes({'A', 0xA1, 0x00, 0x92, 0x00, 'Q'}) + Repeat(0, 11);
  dir.Write("disk.qd", QdImage({{1, name, "z"}}));
  Velkor(dir, {"-q", "disk.qd"});
  std::string expectedName = Bytes({'A', 'a', 0x0D, 0x92, 0x0D, 'Q'}) + Repeat(0x0D, 11);
  EXPECT_EQ(dir.Read("aa.mzf"), Written(1, expectedName, "z", 0x1200, 0x1200));
}

TEST(VelkorNames, TypeNamesAboveFourteenPrintNothing) {
  TempDir dir;
  dir.Write("disk.qd", QdImage({{14, "Q", ""}, {15, "R", ""}, {255, "S", ""}}));
  RunResult run = Velkor(dir, {"-q", "disk.qd"});
  EXPECT_EQ(run.out, kVelkorBanner +
                         "File: disk.qd\n"
                         "Directory of QD:\n"
                         " ???  \"Q\"               :`     0 Bytes\n"
                         "   \"R\"               :`     0 Bytes\n"
                         "   \"S\"               :`     0 Bytes\n"
                         "Length of data: 0 Bytes.\n\n");
}

TEST(VelkorMzt, ListsEveryFileUpToAShortTrailingPiece) {
  TempDir dir;
  std::string a = Data(100, 1);
  std::string b = Data(3, 2);
  dir.Write("tape.mzt", Mzf(1, "FIRST", a, 0x1200, 0x1300) + Mzf(5, "Second", b, 0x6BCF, 0) +
                            Repeat(0x33, 72));
  RunResult run = Velkor(dir, {"-T", "tape.mzt"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kVelkorBanner +
                         "File: tape.mzt\n"
                         "Directory of MZT:                         size load exec\n"
                         " OBJ  \"FIRST\"           :`   100 Bytes    0064 1200 1300\n"
                         " RB   \"Second\"          :`     3 Bytes    0003 6BCF 0000\n"
                         "Length of data: 103 Bytes.\n\n");
  Files files = dir.Files();
  EXPECT_EQ(files.size(), 5u);
  EXPECT_EQ(files["first.mzf"], Written(1, "FIRST", a, 0x1200, 0x1300));
  EXPECT_EQ(files["second.mzf"], Written(5, "Second", b, 0x6BCF, 0));
  EXPECT_EQ(files["second.btx"], b);
  // Bytes 02 09 10: a record 0x0902 bytes long numbered 16, whose text lies past the end.
  EXPECT_EQ(files["second.bas"], "16 \r\n");
}

TEST(VelkorMzt, AShortFileKeepsTheBufferBytesThatDidNotCome) {
  TempDir dir;
  // The first tape fills the buffer with its data; the second tape's only file claims 8 bytes
  // but holds 3, so the last 5 are those of the first tape.
  dir.Write("one.mzt", Mzf(1, "LONG", "ABCDEFGH"));
  dir.Write("two.mzt", MzfHeader(1, "SHORT", 8, 0x1200, 0x1200) + "xyz");
  dir.Write("three.mzt", MzfHeader(1, "FRESH", 4, 0x1200, 0x1200) + "q");
  RunResult run = Velkor(dir, {"-t", "one.mzt", "two.mzt"});
  EXPECT_EQ(dir.Read("short.mzf"), Written(1, "SHORT", "xyzDEFGH", 0x1200, 0x1200));
  TempDir fresh;
  fresh.Write("three.mzt", MzfHeader(1, "FRESH", 4, 0x1200, 0x1200) + "q");
  Velkor(fresh, {"-t", "three.mzt"});
  EXPECT_EQ(fresh.Read("fresh.mzf"), Written(1, "FRESH", "q\xFF\xFF\xFF", 0x1200, 0x1200));
}

TEST(VelkorCapacity, FiftyEntriesInAllOverEveryInput) {
  TempDir dir;
  std::string tape;
  for (int i = 0; i < 30; ++i) tape += Mzf(1, "T" + std::to_string(i), Data(2, i));
  std::vector<QdFile> files;
  for (int i = 0; i < 30; ++i) files.push_back({1, "Q" + std::to_string(i), Data(3, i)});
  dir.Write("tape.mzt", tape);
  dir.Write("disk.qd", QdImage(files));
  // The tape holds 30 entries, the first image shows the other 20, the last one none.
  RunResult mzt = Velkor(dir, {"-t", "tape.mzt", "tape.mzt"});
  EXPECT_NE(mzt.out.find("Length of data: 60 Bytes.\n\nFile: tape.mzt\nDirectory of MZT:\n"
                         " OBJ  \"T0\"              :`     2 Bytes\n"),
            std::string::npos);
  EXPECT_NE(mzt.out.find(" OBJ  \"T19\"             :`     2 Bytes\nLength of data: 40 Bytes.\n"),
            std::string::npos);
  EXPECT_EQ(mzt.out.find("\"T20\"", mzt.out.find("File: tape.mzt", 20)), std::string::npos);

  TempDir qd;
  qd.Write("tape.mzt", tape);
  qd.Write("disk.qd", QdImage(files));
  RunResult mixed = Velkor(qd, {"-q", "disk.qd", "disk.qd"});
  std::string expected = kVelkorBanner + "File: disk.qd\nDirectory of QD:\n";
  for (int i = 0; i < 30; ++i) {
    char line[80];
    std::snprintf(line, sizeof line, " OBJ  %-18s:`     3 Bytes\n", ("\"Q" + std::to_string(i) + "\"").c_str());
    expected += line;
  }
  expected += "Length of data: 90 Bytes.\n\nFile: disk.qd\nDirectory of QD:\n";
  for (int i = 0; i < 20; ++i) {
    char line[80];
    std::snprintf(line, sizeof line, " OBJ  %-18s:`     3 Bytes\n", ("\"Q" + std::to_string(i) + "\"").c_str());
    expected += line;
  }
  expected += "Length of data: 60 Bytes.\n\n";
  EXPECT_EQ(mixed.out, expected);
}

TEST(VelkorCapacity, SixtyFilesOfOneImageListTheFirstFifty) {
  TempDir dir;
  std::vector<QdFile> files;
  for (int i = 0; i < 60; ++i) files.push_back({1, "F" + std::to_string(i), Data(1, i)});
  dir.Write("disk.qd", QdImage(files));
  dir.Write("second.qd", QdImage({{1, "LATE", "x"}}));
  RunResult run = Velkor(dir, {"-q", "disk.qd", "second.qd"});
  EXPECT_NE(run.out.find("\"F49\""), std::string::npos);
  EXPECT_EQ(run.out.find("\"F50\""), std::string::npos);
  EXPECT_NE(run.out.find("Length of data: 50 Bytes.\n\nFile: second.qd\nDirectory of QD:\n"
                         "Length of data: 0 Bytes.\n\n"),
            std::string::npos);
  EXPECT_EQ(dir.Files().size(), 2u + 50u);
}

TEST(VelkorOutput, LaterEntriesOfTheSameNameReplaceEarlierOnes) {
  TempDir dir;
  dir.Write("tape.mzt", Mzf(1, "SAME", "old") + Mzf(1, "SAME", "newer"));
  Velkor(dir, {"-t", "tape.mzt"});
  EXPECT_EQ(dir.Read("same.mzf"), Written(1, "SAME", "newer", 0x1200, 0x1200));
}

TEST(VelkorOutput, AFileThatCannotBeWrittenIsReportedAndTheRunGoesOn) {
  TempDir dir;
  dir.Write("tape.mzt", Mzf(2, "BLOCKED", "ab") + Mzf(1, "FINE", "cd"));
  dir.MakeDir("blocked.mzf");
  RunResult run = Velkor(dir, {"-t", "tape.mzt"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kVelkorBanner +
                         "File: tape.mzt\n"
                         "Directory of MZT:\n"
                         " BTX  \"BLOCKED\"         :`     2 Bytes\n"
                         "ERROR: Cannot write file 'blocked.mzf'!\n"
                         " OBJ  \"FINE\"            :`     2 Bytes\n"
                         "Length of data: 4 Bytes.\n\n");
  Files files = dir.Files();
  EXPECT_EQ(files["blocked.mzf"], "<dir>");
  EXPECT_EQ(files["blocked.btx"], "ab");
  EXPECT_EQ(files["fine.mzf"], Written(1, "FINE", "cd", 0x1200, 0x1200));
}

TEST(VelkorOutput, AWriteCutShortLeavesNoPartialFile) {
  TempDir dir;
  std::string big = Data(5000, 3);
  dir.Write("tape.mzt", Mzf(1, "BIG", big) + Mzf(1, "SMALL", "ab"));
  RunOptions limit;
  limit.fileSizeLimit = 4096;
  RunResult run = RunProgram(VelkorExe(), {"-t", "tape.mzt"}, dir.path(), limit);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("ERROR: Cannot write file 'big.mzf'!\n"), std::string::npos);
  Files files = dir.Files();
  EXPECT_EQ(files.size(), 2u);  // the tape and small.mzf, nothing else
  EXPECT_EQ(files["small.mzf"], Written(1, "SMALL", "ab", 0x1200, 0x1200));
}

TEST(VelkorOutput, AnOutputNeverReplacesAnInputFile) {
  TempDir dir;
  // The tape is named like its own entry's output; with a comment that must survive.
  std::string tape = Mzf(2, "HELLO", "10 PRINT", 0x1200, 0x1200, "keep this comment");
  dir.Write("hello.mzf", tape);
  RunResult run = Velkor(dir, {"-t", "hello.mzf"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kVelkorBanner +
                         "File: hello.mzf\n"
                         "Directory of MZT:\n"
                         " BTX  \"HELLO\"           :`     8 Bytes\n"
                         "ERROR: File 'hello.mzf' is an input file, not replaced!\n"
                         "Length of data: 8 Bytes.\n\n");
  Files files = dir.Files();
  EXPECT_EQ(files["hello.mzf"], tape);
  EXPECT_EQ(files["hello.btx"], "10 PRINT");
}
