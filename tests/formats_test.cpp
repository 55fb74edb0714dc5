// The shared records, type names and the Sharp character conversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "formats/mzf.h"
#include "formats/names.h"
#include "formats/sharp.h"

TEST(SharpConversion, MapsEveryCodeRange) {
  struct Case {
    int code;
    char expected;
  };
  const Case cases[] = {
      {0x00, ' '}, {0x0D, ' '}, {0x1F, ' '}, {0x20, ' '}, {0x41, 'A'}, {0x7E, '~'},
      {0x7F, '_'}, {0x80, '}'}, {0x81, ' '}, {0x8B, '^'}, {0x93, '`'}, {0x9A, 'b'},
      {0xA1, 'a'}, {0xBD, 'y'}, {0xBE, '{'}, {0xBF, ' '}, {0xC0, '|'}, {0xC1, ' '},
      {0xFF, ' '},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SharpToAscii(static_cast<uint8_t>(c.code)), c.expected) << "code " << c.code;
  }
}

TEST(SharpConversion, TableMatchesTheLowerCaseLetters) {
  // The letters the MZ-700 keeps at 0x92..0xBD, each with its code.
  const std::string table = "_}          ^    _ e`~ tgh bxdrpcqazwsui  kfv   jn  m   ol    y{ |";
  ASSERT_EQ(table.size(), 66u);
  for (int code = 0x7F; code <= 0xC0; ++code) {
    EXPECT_EQ(SharpToAscii(static_cast<uint8_t>(code)), table[code - 0x7F]) << "code " << code;
  }
}

TEST(AttributeNames, ThreeCharactersPerCodeAndNothingFromFifteenOn) {
  const char* expected[] = {"   ", "OBJ", "BTX", "BSD", "BRD", "RB ", "ASC", "LIB",
                            "PTX", "PSD", "SYS", "GR ", "LOG", "PIC", "???"};
  for (int code = 0; code < 15; ++code) {
    EXPECT_EQ(std::string(AttributeName(static_cast<uint8_t>(code)), 3), expected[code]);
  }
  for (int code : {15, 16, 200, 255}) EXPECT_STREQ(AttributeName(static_cast<uint8_t>(code)), "");
}

TEST(NameRule, EndsAtTheFirstCrOrZero) {
  uint8_t name[20];
  EntryName taken;
  std::memcpy(name, "ABC\rDEF\0GHIJKLMNOPQR", 20);
  TakeEntryName(name, &taken);
  EXPECT_EQ(taken.length, 3);
  EXPECT_EQ(taken.field[3], '\r');
  EXPECT_EQ(taken.field[7], '\r');  // behind the name, a zero byte is CR in a new header
  EXPECT_EQ(name[3], '\r');         // the record itself is left as it is

  std::memcpy(name, "AB\0D\rFGHIJKLMNOPQR", 18);
  TakeEntryName(name, &taken);
  EXPECT_EQ(taken.length, 2);
  EXPECT_EQ(taken.field[4], '\r');

  std::memcpy(name, "ABCDEFGHIJKLMNOPQ\r\r", 19);  // 17 characters: nothing inside ends it
  TakeEntryName(name, &taken);
  EXPECT_EQ(taken.length, 17);
  EXPECT_EQ(name[17], '\r');
}

TEST(MzfHeader, ZerosInTheNameBecomeCrAndTheCommentStaysZero) {
  uint8_t name[17] = {'A', 'B', 'C', 0, 0x0D, 0x0D, 'X'};
  CMTHeaderStr header;
  std::memset(&header, 0x77, sizeof header);
  BuildMzfHeader(&header, 5, name, 0x1234, 0x5678, 0x9ABC);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&header);
  EXPECT_EQ(bytes[0], 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 1), 17),
            std::string("ABC\r\r\rX\r\r\r\r\r\r\r\r\r\r"));
  EXPECT_EQ(bytes[18], 0x34);
  EXPECT_EQ(bytes[19], 0x12);
  EXPECT_EQ(bytes[20], 0x78);
  EXPECT_EQ(bytes[21], 0x56);
  EXPECT_EQ(bytes[22], 0xBC);
  EXPECT_EQ(bytes[23], 0x9A);
  for (int i = 24; i < 128; ++i) EXPECT_EQ(bytes[i], 0) << i;
}

TEST(NameRule, ShownAndBaseNamesOfAnEntry) {
  struct Case {
    std::string field;  // the 17-byte name field, CR fill added
    std::string shown;
    std::string base;
  };
  const Case cases[] = {
      {"HELLO WORLD", "HELLO WORLD", "hello_world"},
      {"A*B/C<D>E", "A*B/C<D>E", "a=b-c-d-e"},
      {"SAY \"HI\"", "SAY \"HI\"", "say_,hi,"},
      {"\r", "", ""},
      {"AB\x7F\x92\xC1Z", "AB_e Z", "ab_e_z"},  // Sharp codes are converted before the mapping
      {"X:Y?\\|", "X:Y?\\|", "x:y?\\|"},
      {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMNOPQ", "abcdefghijklmnopq"},
  };
  for (const Case& c : cases) {
    std::string field = c.field + std::string(17 - std::min<size_t>(17, c.field.size()), '\r');
    EntryName name;
    TakeEntryName(reinterpret_cast<const uint8_t*>(field.data()), &name);
    EXPECT_EQ(name.length, static_cast<int>(c.shown.size())) << c.field;
    EXPECT_EQ(name.shown, c.shown) << c.field;
    char base[kShownNameSize];
    MakeBaseName(&name, base);
    EXPECT_EQ(std::string(base), c.base) << c.field;
    char quoted[kQuotedNameSize];
    QuoteName(name.shown, '"', quoted);
    EXPECT_EQ(std::string(quoted), "\"" + c.shown + "\"") << c.field;
  }
}

TEST(NameRule, LengthStopsAtCrOrTheLimit) {
  const uint8_t name[] = {'A', 0, 'B', '\r', 'C'};
  EXPECT_EQ(NameLength(name, 5), 3);  // a zero byte does not end a name here
  EXPECT_EQ(NameLength(name, 2), 2);
  EXPECT_EQ(NameLength(name, 0), 0);
}
