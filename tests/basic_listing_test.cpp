// The listing writer's core, listing into memory: dialects, every lead byte, long lines.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "extractor/basic/listing.h"
#include "tests/support/media.h"

namespace {

void AppendToString(void* context, const char* text, size_t size) {
  static_cast<std::string*>(context)->append(text, size);
}

std::string List(const std::string& program) {
  std::string listing;
  ListBasicProgram(reinterpret_cast<const uint8_t*>(program.data()),
                   static_cast<uint32_t>(program.size()), AppendToString, &listing);
  return listing;
}

BasicDialect Detect(const std::string& program) {
  return DetectBasicDialect(reinterpret_cast<const uint8_t*>(program.data()),
                            static_cast<uint32_t>(program.size()));
}

const std::string kEnd = Bytes({0x00, 0x00});
// A first line that makes a program tape BASIC: 10 REM, ended by 0x0D.
const std::string kTapeFirstLine = Record(10, Bytes({0x80, 0x0D}));

struct ListingCase {
  const char* what;
  std::string program;
  std::string listing;
};

void ExpectListings(const std::vector<ListingCase>& cases) {
  for (const ListingCase& c : cases) EXPECT_EQ(List(c.program), c.listing) << c.what;
}

}  // namespace

TEST(BasicDialectDetection, FromTheFirstLineRecord) {
  struct Case {
    const char* what;
    std::string program;
    BasicDialect dialect;
  };
  const Case cases[] = {
      {"first text byte not 0x80", Record(10, Bytes({0x8F, 0x00})) + kEnd, BasicDialect::Graphics},
      {"0x80 then a statement code", Record(10, Bytes({0x80, 0x88, 0x00})) + kEnd,
       BasicDialect::Disk},
      {"0x80 then a plain byte, record ends in 0x0D", kTapeFirstLine + kEnd, BasicDialect::Tape},
      {"0x80 then a plain byte, record ends in 0x00", Record(10, Bytes({0x80, 0x20, 0x00})) + kEnd,
       BasicDialect::Graphics},
      {"empty program", "", BasicDialect::Graphics},
      {"shorter than the first text byte", Bytes({0x06, 0x00, 0x0A}), BasicDialect::Graphics},
      {"0x80 is the last byte: byte 5 reads as zero", Bytes({0x05, 0x00, 0x0A, 0x00, 0x80}),
       BasicDialect::Graphics},
      // The record claims 7 bytes, the program has 6: byte 6 reads as zero, not 0x0D.
      {"record length past the end", Bytes({0x07, 0x00, 0x0A, 0x00, 0x80, 0x0D}),
       BasicDialect::Graphics},
      {"record length exactly the program", Bytes({0x06, 0x00, 0x0A, 0x00, 0x80, 0x0D}),
       BasicDialect::Tape},
      // Length word 0: there is no last byte of the record, so no tape REM line.
      {"record length 0", Bytes({0x00, 0x00, 0x0A, 0x00, 0x80, 0x20}), BasicDialect::Graphics},
  };
  for (const Case& c : cases) EXPECT_EQ(Detect(c.program), c.dialect) << c.what;
}

TEST(BasicListing, LeadBytesAndTheBlankRule) {
  ExpectListings({
      {"graphics tokens and a constant",
       Record(10, Bytes({0x41, 0xF4, 0x42, 0xF7, 0x0B, 0x01, 0x00, 0x00})) + kEnd,
       "10 A =B + 1\r\n"},
      {"disk statement, plain +",
       Record(10, Bytes({0x80, 0x88, 0x20, 0x41, 0x2B, 0x0B, 0x01, 0x00, 0x00})) + kEnd,
       "10 PRINT A+ 1\r\n"},
      {"tape leading blank of AND",
       kTapeFirstLine + Record(20, Bytes({0x41, 0xB9, 0x42, 0x0D})) + kEnd,
       "10 REM\r\n20 A  ANDB\r\n"},
      {"integer after a minus",
       Record(10, Bytes({0x41, 0xF4, 0x2D, 0x0B, 0x05, 0x00, 0x00})) + kEnd, "10 A =- 5\r\n"},
      {"float after a minus",
       Record(10, Bytes({0x41, 0xF4, 0x2D, 0x15, 0x83, 0x20, 0, 0, 0, 0x00})) + kEnd,
       "10 A =-5\r\n"},
      {"float after a token minus",
       Record(10, Bytes({0x41, 0xF8, 0x15, 0x81, 0, 0, 0, 0, 0x00})) + kEnd, "10 A -1\r\n"},
      {"float after a letter and after a blank",
       Record(10, Bytes({0x41, 0x15, 0x80, 0, 0, 0, 0, 0x20, 0x15, 0x80, 0, 0, 0, 0, 0x00})) + kEnd,
       "10 A 0.5 0.5\r\n"},
      {"hex and decimal",
       Record(10, Bytes({0x11, 0x1F, 0x00, 0x2C, 0x0B, 0xFF, 0xFF, 0x00})) + kEnd,
       "10 $1f, 65535\r\n"},
      {"hex zero and no leading zeros",
       Record(10, Bytes({0x11, 0x00, 0x00, 0x11, 0x00, 0xAB, 0x00})) + kEnd, "10 $0 $ab00\r\n"},
      {"largest line number", Record(0xFFFF, Bytes({0x41, 0x00})) + kEnd, "65535 A\r\n"},
      {"line number 0", Record(0, Bytes({0x00})) + kEnd, "0 \r\n"},
      {"control byte ends the line", Record(10, Bytes({0x41, 0x0C, 0x42, 0x43, 0x00})) + kEnd,
       "10 A?0c?\r\n"},
      {"0x0D skips itself and the next byte",
       Record(10, Bytes({0x41, 0x0D, 0x99, 0x42, 0x00})) + kEnd, "10 AB\r\n"},
      {"graphics DATA",
       Record(10, Bytes({0x94, 0x20, 0x31, 0x2C, 0x32, 0x3A, 0x8F, 0x20, 0x41, 0x00})) + kEnd,
       "10 DATA  1,2: PRINT A\r\n"},
      {"graphics REM copies tokens and quotes as characters",
       Record(10, Bytes({0x41, 0x97, 0x8F, 0x22, 0xA1, 0x00})) + kEnd, "10 A REM \"a\r\n"},
      {"graphics REM with a colon in quotes",
       Record(10, Bytes({0x97, 0x22, 0x41, 0x3A, 0x42, 0x22, 0x00})) + kEnd, "10 REM\"A:B\"\"\r\n"},
      {"graphics prefixes",
       Record(10, Bytes({0xFE, 0x97, 0x20, 0x31, 0x3A, 0xFE, 0x80, 0x41, 0x00})) + kEnd,
       "10 CIRCLE 1: ?ext1: 80?A\r\n"},
      {"graphics function without parenthesis",
       Record(10, Bytes({0x8F, 0xFF, 0x80, 0x28, 0x41, 0x29, 0x00})) + kEnd, "10 PRINT INT(A)\r\n"},
      {"comment after a blank",
       Record(10, Bytes({0x41, 0x20, 0x27, 0x58, 0x8F, 0x22, 0x00})) + kEnd, "10 A  'X \"\r\n"},
      {"string with Sharp codes",
       Record(10, Bytes({0x22, 0x41, 0xA1, 0x05, 0xC0, 0xC1, 0x7F, 0x22, 0x8F, 0x00})) + kEnd,
       "10 \"Aa | _\" PRINT\r\n"},
      {"string without its closing quote", Record(10, Bytes({0x22, 0x41, 0x42, 0x00})) + kEnd,
       "10 \"AB\"\r\n"},
      {"tape REM is decoded like any other text",
       Record(10, Bytes({0x80, 0x20, 0x41, 0x85, 0x22, 0x97, 0x22, 0x0D})) + kEnd,
       "10 REM A PRINT\"g\"\r\n"},
      // A tape line's 0x0D does not end a string: it shows as a blank, and so does the low
      // byte of the next length word; its high byte ends the string and the line.
      {"tape string without its closing quote",
       kTapeFirstLine + Record(20, Bytes({0x22, 0x41, 0x0D})) + Record(30, Bytes({0x42, 0x0D})) +
           kEnd,
       "10 REM\r\n20 \"A  \"\r\n30 B\r\n"},
      {"unassigned codes of each dialect",
       kTapeFirstLine + Record(20, Bytes({0xA8, 0xFE, 0x41, 0x0D})) + kEnd,
       "10 REM\r\n20 ?comm: a8? ?comm: fe?A\r\n"},
      {"disk unassigned second byte", Record(10, Bytes({0x80, 0x82, 0x41, 0x81, 0x00})) + kEnd,
       "10 ?ext80: 82?A ?comm: 81?\r\n"},
  });
}

TEST(BasicListing, RecordsAndTheirEnds) {
  ExpectListings({
      {"tape lines end at the next length word's high byte",
       Record(10, Bytes({0x80, 0x20, 0x58, 0x0D})) + Record(20, Bytes({0x85, 0x20, 0x41, 0x0D})) +
           kEnd,
       "10 REM X\r\n20 PRINT A\r\n"},
      {"a next record of 256 bytes or more shows its high byte",
       Record(10, Bytes({0x80, 0x20, 0x58, 0x0D})) +
           Record(20, Bytes({0x85, 0x20, 0x41}) + Repeat('B', 253) + Bytes({0x0D})) + kEnd,
       "10 REM X?01?\r\n20 PRINT AB" + Repeat('B', 252) + "\r\n"},
      {"a prefix before the zero byte consumes it",
       Record(10, Bytes({0x41, 0xFE, 0x00})) + Record(20, Bytes({0x42, 0x43, 0x44, 0x00})) + kEnd,
       "10 A ?ext1: 00??08?\r\n20 BCD\r\n"},
      {"no end marker: the walk stops at the program's end",
       Record(10, Bytes({0x41, 0x00})) + Record(20, Bytes({0x42, 0x00})), "10 A\r\n20 B\r\n"},
      {"a line without its zero byte stops at the program's end",
       Le16(10) + Le16(10) + Bytes({0x41, 0x42, 0x43}), "10 ABC\r\n"},
      {"a string at the end is closed", Le16(10) + Le16(10) + Bytes({0x22, 0x41}), "10 \"A\"\r\n"},
      {"a float cut off: its missing bytes read as zero",
       Le16(10) + Le16(10) + Bytes({0x41, 0x15, 0x83}), "10 A 4\r\n"},
      {"a prefix as the last byte", Le16(10) + Le16(10) + Bytes({0x41, 0xFF}),
       "10 A ?ext2: 00?\r\n"},
      {"a 0x0B constant cut off", Le16(10) + Le16(10) + Bytes({0x0B, 0x07}), "10 7\r\n"},
      {"the line number cut off", Bytes({0x05, 0x00, 0x2A}), "42 \r\n"},
      {"empty program", "", ""},
      {"first length word 0", kEnd + Record(10, Bytes({0x41, 0x00})), ""},
      {"one byte, nonzero", Bytes({0x01}), "0 \r\n"},
  });
}

// Lines far longer than any buffer are written whole.
TEST(BasicListing, LongLinesAreWrittenWhole) {
  // A 64 KiB line of unassigned codes: 11 characters per byte.
  std::string program = Le16(65535) + Le16(10) + Repeat(0xE8, 65535 - 4 - 1) + Bytes({0x00});
  ASSERT_EQ(program.size(), 65535u);
  std::string expected = "10 ?comm: e8?";
  for (size_t i = 1; i < 65535 - 4 - 1; ++i) expected += " ?comm: e8?";
  std::string listing = List(program);
  EXPECT_EQ(listing.size(), expected.size() + 2);
  EXPECT_TRUE(listing == expected + "\r\n");

  // A string and a comment of many thousand characters.
  std::string longString = Record(10, Bytes({0x22}) + Repeat(0xA1, 9000) + Bytes({0x22, 0x27}) +
                                          Repeat(0x41, 9000) + Bytes({0x00})) +
                           kEnd;
  EXPECT_TRUE(List(longString) ==
              "10 \"" + Repeat('a', 9000) + "\" '" + Repeat('A', 9000) + "\r\n");
}

namespace {

struct CountedListing {
  size_t size = 0;
  std::string tail;  // the last bytes, to see that the listing ends with a whole line
};

void CountListing(void* context, const char* text, size_t size) {
  auto* counted = static_cast<CountedListing*>(context);
  counted->size += size;
  counted->tail.append(text, size);
  if (counted->tail.size() > 64) counted->tail.erase(0, counted->tail.size() - 64);
}

std::string RepeatRecord(const std::string& record, size_t totalSize) {
  std::string program;
  while (program.size() + record.size() <= totalSize) program += record;
  return program;
}

}  // namespace

// Crafted 64 KiB programs whose lines each run on through the rest of the program would list
// as hundreds of megabytes; the listing stops at the first line end past 1 MiB, so both time and
// memory stay in proportion to what is written.
TEST(BasicListing, RunOnProgramsStopPastOneMebibyte) {
  const size_t kLimit = 1048576;
  const size_t kLongestLine = 12 * 65536;  // no line of a 64 KiB program is longer
  struct Case {
    const char* what;
    std::string program;
  };
  const Case cases[] = {
      // The constant takes the next record's length word: 13107 lines of up to 52 KiB.
      {"constants", RepeatRecord(Bytes({0x05, 0x00, 0x41, 0x41, 0x0B}), 65535)},
      // The same with an unassigned code in each record: eleven characters a byte.
      {"unassigned codes", RepeatRecord(Bytes({0x06, 0x00, 0x41, 0x41, 0xE8, 0x0B}), 65535)},
      // Skipped pairs and one plain character a record: thirteen bytes read for each one written.
      {"skipped pairs",
       RepeatRecord(Bytes({0x0D, 0x00, 0x0D, 0x00, 0x0D, 0x00, 0x0D, 0x00, 0x0D, 0x00, 0x0D, 0x00,
                           0x41}),
                    65535)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CountedListing counted;
    auto start = std::chrono::steady_clock::now();
    ListingExtent extent =
        ListBasicProgram(reinterpret_cast<const uint8_t*>(c.program.data()),
                         static_cast<uint32_t>(c.program.size()), CountListing, &counted);
    EXPECT_TRUE(extent.cut);
    EXPECT_EQ(extent.kept, counted.size);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(counted.size, kLimit);
    EXPECT_LE(counted.size, kLimit + kLongestLine);
    EXPECT_EQ(counted.tail.substr(counted.tail.size() - 2), "\r\n");
    EXPECT_LT(seconds, 5.0);
  }
}

// The caller learns how much was kept and whether anything was left out.
TEST(BasicListing, TellsWhatItKept) {
  std::string listing;
  const std::string program = Record(10, Bytes({0x41, 0x00})) + kEnd;
  ListingExtent extent = ListBasicProgram(reinterpret_cast<const uint8_t*>(program.data()),
                                          static_cast<uint32_t>(program.size()), AppendToString,
                                          &listing);
  EXPECT_EQ(listing, "10 A\r\n");
  EXPECT_EQ(extent.kept, 6u);
  EXPECT_FALSE(extent.cut);
  extent = ListBasicProgram(nullptr, 0, AppendToString, &listing);
  EXPECT_EQ(extent.kept, 0u);
  EXPECT_FALSE(extent.cut);
}
