// BASIC listings as a user gets them: Velkor unpacks a tape or a QD image and writes
// prog.mzf, prog.btx and the listing prog.bas, its lines ending in CR LF.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/support/media.h"
#include "tests/support/output.h"
#include "tests/support/process.h"

namespace {

const std::string kEnd = Bytes({0x00, 0x00});

std::string TapeOutput(int attribute, const std::string& program, const std::string& extra = "") {
  return VelkorFileBanner("tape.mzt") + "Directory of MZT:\n" +
         VelkorEntryLine(attribute == 5 ? "RB " : "BTX", "PROG", program.size()) + extra +
         "Length of data: " + std::to_string(program.size()) + " Bytes.\n\n";
}

// Runs Velkor on a tape holding PROG and checks everything it prints and writes.
void ExpectTapeListing(const std::string& what, int attribute, const std::string& program,
                       const std::string& listing, const std::string& message = "") {
  SCOPED_TRACE(what);
  TempDir dir;
  const std::string tape = Mzf(attribute, "PROG", program);
  dir.Write("tape.mzt", tape);
  RunResult run = RunProgram(VelkorExe(), {"-t", "tape.mzt"}, dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, TapeOutput(attribute, program, message));
  const std::map<std::string, std::string> expected = {
      {"tape.mzt", tape}, {"prog.mzf", tape}, {"prog.btx", program}, {"prog.bas", listing}};
  std::map<std::string, std::string> files = dir.Files();
  EXPECT_TRUE(files == expected);
  EXPECT_EQ(files["prog.bas"].size(), listing.size());
  EXPECT_TRUE(files["prog.bas"] == listing);
}

// Records of the five bytes 05 00 41 41 0B: the constant that ends each line's text takes the
// next record's length word, so every line runs on through all the records behind it.
std::string RunOnRecords(size_t count) {
  std::string program;
  for (size_t i = 0; i < count; ++i) program += Bytes({0x05, 0x00, 0x41, 0x41, 0x0B});
  return program;
}

// A run-on line with `behind` records behind its own, the last of them `lastLength` bytes long
// and ended by a constant 0. Each record shows as its length word and its line number "AA".
std::string RunOnLine(size_t behind, char lastLength) {
  std::string line = "16705 ";
  if (behind > 0) {
    for (size_t i = 1; i < behind; ++i) line += "5AA ";
    line += std::string(1, lastLength) + "AA ";
  }
  return line + "0\r\n";
}

struct Example {
  const char* what;
  std::string program;
  std::string listing;
};

}  // namespace

TEST(BasicListingRun, DocumentedExamples) {
  const std::vector<Example> examples = {
      {"graphics: blanks before tokens and constants",
       Record(10, Bytes({0x41, 0xF4, 0x42, 0xF7, 0x0B, 0x01, 0x00, 0x00})) + kEnd,
       "10 A =B + 1\r\n"},
      {"disk: a plain + gets no blank, the constant does",
       Record(10, Bytes({0x80, 0x88, 0x20, 0x41, 0x2B, 0x0B, 0x01, 0x00, 0x00})) + kEnd,
       "10 PRINT A+ 1\r\n"},
      {"tape: lines end at the next length word's high byte",
       Record(10, Bytes({0x80, 0x20, 0x58, 0x0D})) + Record(20, Bytes({0x85, 0x20, 0x41, 0x0D})) +
           kEnd,
       "10 REM X\r\n20 PRINT A\r\n"},
      {"tape: a next record of 0x0105 bytes shows its high byte",
       Record(10, Bytes({0x80, 0x20, 0x58, 0x0D})) +
           Record(20, Bytes({0x85, 0x20, 0x41}) + Repeat('B', 253) + Bytes({0x0D})) + kEnd,
       "10 REM X?01?\r\n20 PRINT A" + Repeat('B', 253) + "\r\n"},
      {"tape: the inserted blank and AND's own",
       Record(10, Bytes({0x80, 0x0D})) + Record(20, Bytes({0x41, 0xB9, 0x42, 0x0D})) + kEnd,
       "10 REM\r\n20 A  ANDB\r\n"},
      {"graphics: a constant after a minus sign",
       Record(10, Bytes({0x41, 0xF4, 0x2D, 0x0B, 0x05, 0x00, 0x00})) +
           Record(20, Bytes({0x41, 0xF4, 0x2D, 0x15, 0x83, 0x20, 0x00, 0x00, 0x00, 0x00})) + kEnd,
       "10 A =- 5\r\n20 A =-5\r\n"},
      {"hexadecimal and decimal constants",
       Record(10, Bytes({0x11, 0x1F, 0x00, 0x3A, 0x0B, 0xFF, 0xFF, 0x00})) + kEnd,
       "10 $1f: 65535\r\n"},
      {"the largest line number", Record(0xFFFF, Bytes({0x00})) + kEnd, "65535 \r\n"},
      {"a control byte ends the line",
       Record(10, Bytes({0x41, 0x0C, 0x42, 0x43, 0x00})) + Record(20, Bytes({0x44, 0x00})) + kEnd,
       "10 A?0c?\r\n20 D\r\n"},
      {"graphics DATA: one blank added and the stored one",
       Record(10, Bytes({0x94, 0x20, 0x31, 0x2C, 0x32, 0x3A, 0x8F, 0x20, 0x41, 0x00})) + kEnd,
       "10 DATA  1,2: PRINT A\r\n"},
      {"graphics REM and DATA: a colon in quotes ends the copied text",
       Record(10, Bytes({0x97, 0x20, 0x22, 0x41, 0x3A, 0x42, 0x22, 0x00})) +
           Record(20, Bytes({0x94, 0x22, 0x3A, 0x22, 0x00})) + kEnd,
       "10 REM \"A:B\"\"\r\n20 DATA \":\"\"\r\n"},
      {"graphics prefixes",
       Record(10, Bytes({0xFE, 0x97, 0x20, 0x31, 0x3A, 0xFE, 0x80, 0x41, 0x00})) + kEnd,
       "10 CIRCLE 1: ?ext1: 80?A\r\n"},
      {"a comment after a blank", Record(10, Bytes({0x41, 0x20, 0x27, 0x58, 0x00})) + kEnd,
       "10 A  'X\r\n"},
      {"a prefix before the zero byte consumes it",
       Record(10, Bytes({0x41, 0xFE, 0x00})) + Record(20, Bytes({0x42, 0x43, 0x44, 0x00})) + kEnd,
       "10 A ?ext1: 00??08?\r\n20 BCD\r\n"},
      {"strings in Sharp codes, one without its closing quote",
       Record(10, Bytes({0x8F, 0x22, 0x48, 0x92, 0xB8, 0xB8, 0xB7, 0x05, 0x22, 0x3B, 0x22, 0x41,
                         0x00})) +
           kEnd,
       "10 PRINT\"Hello \";\"A\"\r\n"},
      {"a floating constant",
       Record(10, Bytes({0x41, 0xF4, 0x15, 0x82, 0x49, 0x0F, 0xDA, 0x9E, 0x00})) + kEnd,
       "10 A = 3.1415926\r\n"},
  };
  for (const Example& example : examples)
    ExpectTapeListing(example.what, 2, example.program, example.listing);
}

TEST(BasicListingRun, EmptyProgramsGiveEmptyListings) {
  ExpectTapeListing("length 0", 2, "", "");
  ExpectTapeListing("first length word 0", 5, kEnd + Record(10, Bytes({0x41, 0x00})), "");
}

// Bytes past the program's end read as zero: the line ends there and nothing else is read.
TEST(BasicListingRun, LineRunningPastTheProgramsEnd) {
  ExpectTapeListing(
      "line without its end", 2,
      Record(10, Bytes({0x41, 0x00})) + Le16(40) + Le16(20) + Bytes({0x42, 0x22, 0x43}),
      "10 A\r\n20 B\"C\"\r\n");
  ExpectTapeListing("prefix as the last byte", 5, Le16(40) + Le16(10) + Bytes({0x8F, 0xFF}),
                    "10 PRINT ?ext2: 00?\r\n");
}

// One line of 65535 bytes: statements, integer and floating constants.
TEST(BasicListingRun, SixtyFourKilobyteSingleLine) {
  const std::string unit =
      Bytes({0x8F, 0x20, 0x0B, 0x01, 0x00, 0xF7, 0x15, 0x82, 0x49, 0x0F, 0xDA, 0x9E, 0x3A});
  const size_t units = (65535 - 4 - 1) / unit.size();
  std::string text;
  std::string listing = "10";
  for (size_t i = 0; i < units; ++i) {
    text += unit;
    listing += " PRINT 1 + 3.1415926:";
  }
  const size_t fill = 65535 - 4 - 1 - text.size();
  text += Repeat('A', fill) + Bytes({0x00});
  listing += Repeat('A', fill) + "\r\n";
  const std::string program = Le16(65535) + Le16(10) + text;
  ASSERT_EQ(program.size(), 65535u);
  ExpectTapeListing("64 KiB line", 5, program, listing);
}

// A listing stops at the end of the first line that takes it past 1 MiB, when another line would
// follow; it keeps what was written and says so once it is written.
TEST(BasicListingRun, ListingIsCutPastOneMebibyte) {
  const size_t kLimit = 1048576;
  // 721 run-on records and a closing one of eight bytes list as 722 lines of 9 + 4n bytes,
  // n = 0 ... 721: 1047622 bytes. A line of 954 bytes brings the listing to exactly 1 MiB.
  std::string runOn = RunOnRecords(721) + Bytes({0x08, 0x00, 0x41, 0x41, 0x0B, 0x00, 0x00, 0x00});
  std::string runOnListing;
  for (size_t behind = 722; behind-- > 0;) runOnListing += RunOnLine(behind, '8');
  ASSERT_EQ(runOnListing.size(), 1047622u);
  const std::string exact = runOn + Record(20, Repeat('A', 949) + Bytes({0x00}));
  const std::string exactListing = runOnListing + "20 " + Repeat('A', 949) + "\r\n";
  ASSERT_EQ(exactListing.size(), kLimit);
  const std::string line30 = Record(30, Bytes({0x42, 0x00}));
  const std::string line40 = Record(40, Bytes({0x43, 0x00}));

  ExpectTapeListing("exactly 1 MiB", 2, exact + kEnd, exactListing);
  ExpectTapeListing("past 1 MiB with the last line: nothing cut", 2, exact + line30 + kEnd,
                    exactListing + "30 B\r\n");
  ExpectTapeListing("past 1 MiB with a line to follow", 2, exact + line30 + line40 + kEnd,
                    exactListing + "30 B\r\n",
                    "ERROR: Listing 'prog.bas' cut at 1048582 bytes!\n");

  // 13107 run-on records fill 64 KiB; uncut they would list as about 340 MB.
  std::string issue;
  for (size_t behind = 13107; behind-- > 13107 - 21;) issue += RunOnLine(behind, '5');
  ASSERT_EQ(issue.size(), 1100253u);
  ExpectTapeListing("64 KiB of run-on records", 2, RunOnRecords(13107), issue,
                    "ERROR: Listing 'prog.bas' cut at 1100253 bytes!\n");
}

// A QD image carries MZ-700 BASIC (attribute 5); the listing is the same.
TEST(BasicListingRun, FromAQdImage) {
  const std::string program =
      Record(10, Bytes({0xFE, 0x90, 0x0B, 0x07, 0x00, 0x00})) +
      Record(20, Bytes({0x8F, 0xFF, 0x80, 0x28, 0xFF, 0x88, 0x28, 0x0B, 0x01, 0x00, 0x29, 0xFC,
                        0x0B, 0x0A, 0x00, 0x29, 0x00})) +
      kEnd;
  TempDir dir;
  const std::string image = QdImage({QdFile{5, "PROG", program}});
  dir.Write("disk.qd", image);
  RunResult run = RunProgram(VelkorExe(), {"-q", "disk.qd"}, dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, VelkorFileBanner("disk.qd") + "Directory of QD:\n" +
                         VelkorEntryLine("RB ", "PROG", program.size()) +
                         "Length of data: " + std::to_string(program.size()) + " Bytes.\n\n");
  const std::map<std::string, std::string> expected = {
      {"disk.qd", image},
      {"prog.mzf", Mzf(5, "PROG", program)},
      {"prog.btx", program},
      {"prog.bas", "10 COLOR 7\r\n20 PRINT INT( RND( 1) * 10)\r\n"}};
  EXPECT_EQ(dir.Files(), expected);
}

// A directory where the listing should go: reported, left alone, nothing else left behind; a
// listing that would have been cut is reported as that alone.
TEST(BasicListingRun, ListingThatCannotBeWritten) {
  for (const std::string& program : {Record(10, Bytes({0x8F, 0x00})) + kEnd, RunOnRecords(13107)}) {
    TempDir dir;
    const std::string tape = Mzf(2, "PROG", program);
    dir.Write("tape.mzt", tape);
    dir.MakeDir("prog.bas");
    RunResult run = RunProgram(VelkorExe(), {"-t", "tape.mzt"}, dir.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, TapeOutput(2, program, "ERROR: Cannot write file 'prog.bas'!\n"));
    const std::map<std::string, std::string> expected = {
        {"tape.mzt", tape}, {"prog.mzf", tape}, {"prog.btx", program}, {"prog.bas", "<dir>"}};
    EXPECT_EQ(dir.Files(), expected);
  }
}

// A listing that fails part-way (here the file size limit): reported, and neither a partial
// listing nor a temporary file is left.
TEST(BasicListingRun, ListingThatFailsPartWay) {
  const std::string program = Record(10, Repeat(0xE8, 300) + Bytes({0x00})) + kEnd;
  TempDir dir;
  const std::string tape = Mzf(2, "PROG", program);
  dir.Write("tape.mzt", tape);
  RunOptions options;
  options.fileSizeLimit = 1000;  // room for the tape, prog.mzf and prog.btx, not the listing
  RunResult run = RunProgram(VelkorExe(), {"-t", "tape.mzt"}, dir.path(), options);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, TapeOutput(2, program, "ERROR: Cannot write file 'prog.bas'!\n"));
  const std::map<std::string, std::string> expected = {
      {"tape.mzt", tape}, {"prog.mzf", tape}, {"prog.btx", program}};
  EXPECT_EQ(dir.Files(), expected);
}
