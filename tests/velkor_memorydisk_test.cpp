// Velkor without a QD or MZT switch: RAM-disk listings and ROM-disk checks.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/media.h"
#include "tests/support/output.h"
#include "tests/support/process.h"

namespace {

const std::string kMagic = Bytes({8, 9, 10, 11, 12, 13, 14, 15});

RunResult Velkor(const TempDir& dir, const std::vector<std::string>& args) {
  RunResult result = RunProgram(VelkorExe(), args, dir.path());
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  return result;
}

std::string Trailer(int ramSize, int dataLength) {
  return "\nSize of RAM:    " + std::to_string(ramSize) + " Bytes.\nLength of data: " +
         std::to_string(dataLength) + " Bytes, Magic number: 08 09 0A 0B 0C 0D 0E 0F.\n";
}

std::string Hex(int value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
  return text;
}

}  // namespace

TEST(VelkorRamDisk, AnEmptyDiskPrintsHeaderAndTrailer) {
  TempDir dir;
  dir.Write("ram.bin", RamDisk(0x4000, 0x0C00, {}));
  RunResult run = Velkor(dir, {"ram.bin"});
  EXPECT_EQ(run.out, kVelkorBanner + "File: ram.bin\nDirectory of RAM:  13kB free.\n" + Trailer(16384, 3072) + "\n");
  EXPECT_EQ(dir.Files().size(), 1u);
}

TEST(VelkorRamDisk, FreeSizeIsASignedDivisionTruncatingTowardZero) {
  struct Case {
    int ramSize, dataLength;
    const char* shown;
  };
  const Case cases[] = {
      {0x4000, 0x0C00, " 13"}, {0xFFFF, 0, " 63"}, {0x0400, 0x1000, " -3"},
      {1024, 2047, "  0"},     {0, 0xFFFF, "-63"}, {0, 0, "  0"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("ram.bin", RamDisk(c.ramSize, c.dataLength, {}));
    RunResult run = Velkor(dir, {"ram.bin"});
    EXPECT_NE(run.out.find(std::string("Directory of RAM: ") + c.shown + "kB free.\n"), std::string::npos)
        << run.out;
  }
}

TEST(VelkorRamDisk, ListsAndExtractsEveryEntryWithColumnsInModesOneAndTwo) {
  std::string code = "\x01\x02\x03";
  std::string basic = Bytes({0, 0});  // an empty BASIC program
  std::string image = RamDisk(0x8000, 0x0100, {{1, "CODE", code, 0xD000, 0xD002}, {5, "Basic", basic, 0x6BCF, 0}});
  for (const char* sw : {"-v", "-V"}) {
    TempDir dir;
    dir.Write("ram.bin", image);
    RunResult run = Velkor(dir, {sw, "ram.bin"});
    EXPECT_EQ(run.out, kVelkorBanner +
                           "File: ram.bin\n"
                           "Directory of RAM:  31kB free.            size load exec\n"
                           " OBJ  \"CODE\"            :`     3 Bytes   0003 D000 D002\n"
                           " RB   \"Basic\"           :`     2 Bytes   0002 6BCF 0000\n" +
                           Trailer(0x8000, 0x100) + "\n");
    std::map<std::string, std::string> files = dir.Files();
    EXPECT_EQ(files["code.mzf"], Written(1, "CODE", code, 0xD000, 0xD002));
    EXPECT_EQ(files["basic.mzf"], Written(5, "Basic", basic, 0x6BCF, 0));
    EXPECT_EQ(files["basic.btx"], basic);
  }
  TempDir plain;
  plain.Write("ram.bin", image);
  RunResult run = Velkor(plain, {"ram.bin"});
  EXPECT_NE(run.out.find("Directory of RAM:  31kB free.\n OBJ  \"CODE\"            :`     3 Bytes\n"),
            std::string::npos);
}

TEST(VelkorRamDisk, AChainWithoutItsZeroEndsAtTheEndOfTheFile) {
  for (int cut : {0, 1}) {  // the file ends after the last entry, or one byte into a length word
    TempDir dir;
    std::string image = RamDisk(0x4000, 0x0C00, {{1, "ONE", "a"}, {1, "TWO", "bc"}}, false);
    if (cut == 1) image += "\x05";
    dir.Write("ram.bin", image);
    RunResult run = Velkor(dir, {"ram.bin"});
    EXPECT_EQ(run.out, kVelkorBanner +
                           "File: ram.bin\n"
                           "Directory of RAM:  13kB free.\n"
                           " OBJ  \"ONE\"             :`     1 Bytes\n"
                           " OBJ  \"TWO\"             :`     2 Bytes\n" +
                           Trailer(0x4000, 0x0C00) + "\n");
    EXPECT_EQ(dir.Read("two.mzf"), Written(1, "TWO", "bc", 0x1200, 0x1200));
  }
}

TEST(VelkorRamDisk, AnEntryCutShortReadsItsMissingBytesAsZero) {
  TempDir dir;
  // Only the length word, 3 bytes, the attribute and "AB" of the name are there.
  std::string image = Le16(0x4000) + Le16(0) + Repeat(0, 4) + kMagic + Le16(100) + Repeat(0xEE, 3) +
                      Bytes({1}) + "AB";
  dir.Write("ram.bin", image);
  RunResult run = Velkor(dir, {"-v", "ram.bin"});
  EXPECT_EQ(run.out, kVelkorBanner +
                         "File: ram.bin\n"
                         "Directory of RAM:  16kB free.            size load exec\n"
                         " OBJ  \"AB\"              :`     0 Bytes   0000 0000 0000\n" +
                         Trailer(0x4000, 0) + "\n");
  EXPECT_EQ(dir.Read("ab.mzf"), MzfHeader(1, "AB", 0, 0, 0));
}

TEST(VelkorRamDisk, AChainThatLoopsOntoItselfStopsAtTheCapacity) {
  TempDir dir;
  // The entry's length word says 65534: the next entry is the same one, 64 KiB on.
  std::string entry = RamEntry({1, "LOOP", "x"});
  entry.replace(0, 2, Le16(65534));
  dir.Write("ram.bin", Le16(0x4000) + Le16(0) + Repeat(0, 4) + kMagic + entry);
  RunResult run = Velkor(dir, {"ram.bin"});
  size_t lines = 0;
  for (size_t at = run.out.find("\"LOOP\""); at != std::string::npos; at = run.out.find("\"LOOP\"", at + 1)) ++lines;
  EXPECT_EQ(lines, 50u);
  EXPECT_NE(run.out.find(Trailer(0x4000, 0)), std::string::npos);
}

TEST(VelkorRamDisk, TheCapacityCountsEntriesOfEarlierInputs) {
  TempDir dir;
  std::vector<QdFile> qdFiles;
  for (int i = 0; i < 10; ++i) qdFiles.push_back({1, "Q" + std::to_string(i), "q"});
  std::vector<RamFile> ramFiles;
  for (int i = 0; i < 45; ++i) ramFiles.push_back({1, "R" + std::to_string(i), "r"});
  dir.Write("disk.qd", QdImage(qdFiles));
  dir.Write("ram.bin", RamDisk(0x4000, 0, ramFiles));
  // The same image read twice in mode 0 after nothing else lists 45 and then 5 entries.
  RunResult twice = Velkor(dir, {"ram.bin", "ram.bin"});
  EXPECT_NE(twice.out.find("\"R44\""), std::string::npos);
  size_t second = twice.out.find("File: ram.bin", twice.out.find("File: ram.bin") + 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_NE(twice.out.find("\"R4\"", second), std::string::npos);
  EXPECT_EQ(twice.out.find("\"R5\"", second), std::string::npos);
  // The mode stays the one of the first argument, so the QD image itself counts only when read
  // as one; read as a memory disk it is a ROM disk and lists nothing.
  RunResult mixed = Velkor(dir, {"disk.qd", "ram.bin"});
  EXPECT_NE(mixed.out.find("RomDisk size:"), std::string::npos);
  EXPECT_NE(mixed.out.find("\"R44\""), std::string::npos);
}

TEST(VelkorRomDisk, ReportsBothChecks) {
  std::string program = "\x01\x03\x07\xFF";  // 1 + 2 + 3 + 8 = 14 bits
  std::string good = RomDisk(program, 0x1200, 0x1234);
  struct Case {
    std::string name;
    std::string image;
    std::string expected;
  };
  std::string badSum = good;
  badSum[6] = 0x0F;  // stored 000F, computed 000E; the head check then counts one bit more
  badSum[8] = static_cast<char>(Bits(badSum.substr(0, 8)));
  std::string badHead = good;
  badHead[8] = 0x05;
  std::string signedHead = good;
  signedHead[8] = static_cast<char>(0x80);
  int head = Bits(good.substr(0, 8));
  const std::string headText = Hex(head, 2);
  const std::string headBad = "bad (" + Hex(head, 4) + ")";
  const std::string top = "RomDisk size: 0004 - 4 Bytes\n        load: 1200\n        exec: 1234\n";
  const Case cases[] = {
      {"good", good, top + "   check sum: 000E - ok\n  check head:   " + headText + " - ok\n\nSize image - file: 13, 13 -> ok\n"},
      {"bad sum", badSum,
       top + "   check sum: 000F - bad (000E)\n  check head:   " +
           Hex(Bits(badSum.substr(0, 8)), 2) +
           " - ok\n\nSize image - file: 13, 13 -> ok\n"},
      {"bad head", badHead, top + "   check sum: 000E - ok\n  check head:   05 - " + headBad + "\n\nSize image - file: 13, 13 -> ok\n"},
      {"signed head", signedHead,
       top + "   check sum: 000E - ok\n  check head:   FFFFFF80 - " + headBad + "\n\nSize image - file: 13, 13 -> ok\n"},
      {"one byte long", good + "!", top + "   check sum: 000E - ok\n  check head:   " + headText + " - ok\n\nSize image - file: 13, 14 -> different\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("rom.bin", c.image);
    RunResult run = Velkor(dir, {"rom.bin"});
    EXPECT_EQ(run.out, kVelkorBanner + "File: rom.bin\n" + c.expected + "\n") << c.name;
    EXPECT_EQ(dir.Files().size(), 1u) << c.name;  // nothing extracted
  }
}

TEST(VelkorRomDisk, AFileUnderSixteenBytesReadsTheMissingHeaderBytesAsZero) {
  TempDir dir;
  dir.Write("a.bin", Bytes({0x34, 0x12, 0x00, 0x80, 0x01, 0x00, 0x00, 0x00, 0x7F, 1, 2, 3, 4, 5, 6, 7}));
  dir.Write("b.bin", Bytes({0x02, 0x00, 0x00}));
  RunResult run = Velkor(dir, {"a.bin", "b.bin"});
  // b.bin: size 2, load 0000, exec 0000, stored sums 0. The head is counted over the buffer,
  // which still holds a.bin's bytes from offset 3 on; the program bytes are a.bin's 1 and 2.
  int head = Bits(Bytes({0x02, 0x00, 0x00, 0x80, 0x01, 0x00, 0x00, 0x00}));
  const std::string expected =
      "File: b.bin\n"
      "RomDisk size: 0002 - 2 Bytes\n"
      "        load: 0000\n"
      "        exec: 0000\n"
      "   check sum: 0000 - bad (0002)\n"
      "  check head:   00 - bad (" + Hex(head, 4) + ")\n"
      "\n"
      "Size image - file: 11, 3 -> different\n\n";
  EXPECT_NE(run.out.find(expected), std::string::npos) << run.out;
}

TEST(VelkorRomDisk, AShortImageIsCheckedOverTheStaleBufferOfALongerFile) {
  TempDir dir;
  std::string longer = Repeat(0x0F, 300);  // fills the buffer with 4-bit bytes
  std::string rom = RomDisk("\x01\x01", 0, 0);
  rom.replace(0, 2, Le16(100));  // claims 100 program bytes, holds 2
  dir.Write("long.bin", longer);
  dir.Write("rom.bin", rom);
  RunResult fresh = Velkor(dir, {"rom.bin"});
  RunResult after = Velkor(dir, {"long.bin", "rom.bin"});
  // Fresh: the 98 missing bytes are 0xFF (8 bits each); after the longer file, 0x0F (4 bits).
  EXPECT_NE(fresh.out.find("   check sum: 0002 - bad (" + Hex(2 + 98 * 8, 4) + ")"),
            std::string::npos) << fresh.out;
  EXPECT_NE(after.out.find("   check sum: 0002 - bad (" + Hex(2 + 98 * 4, 4) + ")"),
            std::string::npos) << after.out;
}

TEST(VelkorRomDisk, ALargeFileIsCappedAt256KiB) {
  TempDir dir;
  std::string image = RomDisk("", 0, 0) + Repeat(0, 300000);
  dir.Write("big.bin", image);
  RunResult run = Velkor(dir, {"big.bin"});
  EXPECT_NE(run.out.find("Size image - file: 9, 262144 -> different\n"), std::string::npos) << run.out;
}
