// The token tables of the three BASIC dialects.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "extractor/basic/scratch.h"
#include "extractor/basic/tokens.h"

namespace {

struct TokenCase {
  uint8_t first;
  uint8_t second;  // read only behind a prefix
  const char* spelling;
  int length;
};

void ExpectTokens(BasicDialect dialect, const std::vector<TokenCase>& cases) {
  for (const TokenCase& c : cases) {
    const uint8_t token[2] = {c.first, c.second};
    EXPECT_STREQ(BasicTokenName(dialect, token), c.spelling)
        << std::hex << int{c.first} << ' ' << int{c.second};
    EXPECT_EQ(BasicTokenLength(dialect, c.first), c.length) << std::hex << int{c.first};
  }
}

// Inclusive ranges of unassigned codes.
using Ranges = std::vector<std::pair<int, int>>;

bool InRanges(const Ranges& ranges, int code) {
  for (const auto& [low, high] : ranges) {
    if (code >= low && code <= high) return true;
  }
  return false;
}

char Hex(int digit) { return "0123456789abcdef"[digit]; }

std::string Unassigned(const char* label, int code) {
  return std::string(label) + Hex(code >> 4) + Hex(code & 0xF) + "?";
}

// Every code in `unassigned` answers with the label's text; every other one with a spelling
// of its own, never the scratch text.
void ExpectAssignment(const char* (*lookup)(const uint8_t*), int prefix, const char* label,
                      const Ranges& unassigned) {
  for (int code = 0; code < 256; ++code) {
    if (prefix < 0 && lookup == GraphicsTokenName && code >= 0xFE) continue;  // the prefixes
    uint8_t token[2];
    if (prefix < 0) {
      token[0] = static_cast<uint8_t>(code);
      token[1] = 0x80;
    } else {
      token[0] = static_cast<uint8_t>(prefix);
      token[1] = static_cast<uint8_t>(code);
    }
    const char* spelling = lookup(token);
    if (InRanges(unassigned, code)) {
      EXPECT_EQ(spelling, ScratchText) << std::hex << code;
      EXPECT_EQ(std::string(spelling), Unassigned(label, code));
    } else {
      EXPECT_NE(spelling, ScratchText) << std::hex << prefix << ' ' << code;
      EXPECT_GT(std::string(spelling).size(), 0u);
    }
  }
}

}  // namespace

TEST(BasicTokens, TapeDialect) {
  ExpectTokens(BasicDialect::Tape, {
                                       {0x80, 0x00, "REM", 1},
                                       {0x85, 0x00, "PRINT", 1},
                                       {0x8F, 0x00, "ENT", 1},
                                       {0x96, 0x00, "DEF FN", 1},
                                       {0x9C, 0x00, "USR(", 1},
                                       {0xA6, 0x00, "INP#", 1},
                                       {0xB9, 0x00, " AND", 1},
                                       {0xBB, 0x00, " NOT", 1},
                                       {0xC3, 0x00, "LEN$(", 1},
                                       {0xCF, 0x00, "^", 1},
                                       {0xDB, 0x00, "SQR(", 1},
                                       {0xA8, 0x00, "?comm: a8?", 1},
                                       {0xAB, 0x00, "?comm: ab?", 1},
                                       {0xDC, 0x00, "?comm: dc?", 1},
                                       {0xFE, 0x97, "?comm: fe?", 1},
                                       {0xFF, 0x80, "?comm: ff?", 1},
                                       {0x41, 0x00, "?comm: 41?", 1},
                                   });
}

TEST(BasicTokens, DiskDialect) {
  ExpectTokens(BasicDialect::Disk, {
                                       {0x80, 0x93, "ON ERROR GOTO", 2},
                                       {0x80, 0x80, "REM", 2},
                                       {0x80, 0x88, "PRINT", 2},
                                       {0x80, 0xB6, "COPY/P", 2},
                                       {0x80, 0xC9, "XOPEN", 2},
                                       {0x80, 0x82, "?ext80: 82?", 2},
                                       {0x80, 0x41, "?ext80: 41?", 2},
                                       {0x80, 0x00, "?ext80: 00?", 2},
                                       {0x81, 0x00, "?comm: 81?", 1},
                                       {0x89, 0x00, "=", 1},
                                       {0xA3, 0x00, "LEN(", 1},
                                       {0xAF, 0x00, "STRING$(", 1},
                                       {0xB1, 0x00, "CHARACTER$(", 1},
                                       {0xCB, 0x00, "SQR(", 1},
                                       {0xCC, 0x00, "?comm: cc?", 1},
                                       {0x2A, 0x00, "*", 1},
                                       {0x2B, 0x00, "+", 1},
                                       {0x2D, 0x00, "-", 1},
                                       {0x2F, 0x00, "/", 1},
                                       {0x5E, 0x00, "^", 1},
                                       {0x2C, 0x00, "?comm: 2c?", 1},
                                   });
}

TEST(BasicTokens, GraphicsDialect) {
  ExpectTokens(BasicDialect::Graphics, {
                                           {0xFE, 0x97, "CIRCLE", 2},
                                           {0xFE, 0x81, "CSET", 2},
                                           {0xFE, 0xAE, "BOOT", 2},
                                           {0xFE, 0x80, "?ext1: 80?", 2},
                                           {0xFE, 0xAF, "?ext1: af?", 2},
                                           {0xFF, 0x80, "INT", 2},
                                           {0xFF, 0xA0, "CHR$", 2},
                                           {0xFF, 0xC7, "FN", 2},
                                           {0xFF, 0xC8, "?ext2: c8?", 2},
                                           {0xFF, 0x00, "?ext2: 00?", 2},
                                           {0x80, 0x00, "GOTO", 1},
                                           {0x97, 0x00, "REM", 1},
                                           {0xAB, 0x00, "INP@", 1},
                                           {0xE6, 0x00, "TAB", 1},
                                           {0xF9, 0x00, "\\", 1},
                                           {0xEC, 0x00, ".AND", 1},
                                           {0xFA, 0x00, ".MOD", 1},
                                           {0xFD, 0x00, "^", 1},
                                           {0x82, 0x00, "?comm: 82?", 1},
                                           {0x7F, 0x00, "?comm: 7f?", 1},
                                       });
}

// The codes each table leaves unassigned, and nothing else.
TEST(BasicTokens, UnassignedCodesOfEveryTable) {
  ExpectAssignment(TapeTokenName, -1, "?comm: ",
                   {{0x00, 0x7F}, {0xA8, 0xAC}, {0xCC, 0xCE}, {0xDC, 0xFF}});
  ExpectAssignment(DiskTokenName, -1, "?comm: ",
                   {{0x00, 0x29},
                    {0x2C, 0x2C},
                    {0x2E, 0x2E},
                    {0x30, 0x5D},
                    {0x5F, 0x7F},
                    {0x81, 0x82},
                    {0x8C, 0x9D},
                    {0xB0, 0xB0},
                    {0xB3, 0xBF},
                    {0xCC, 0xFF}});
  ExpectAssignment(DiskTokenName, 0x80, "?ext80: ",
                   {{0x00, 0x7F}, {0x82, 0x83}, {0xAD, 0xB2}, {0xB4, 0xB5}, {0xB8, 0xBF},
                    {0xCA, 0xFF}});
  ExpectAssignment(GraphicsTokenName, -1, "?comm: ",
                   {{0x00, 0x7F},
                    {0x82, 0x82},
                    {0x88, 0x88},
                    {0x90, 0x90},
                    {0x92, 0x92},
                    {0x9C, 0x9C},
                    {0xC0, 0xC0},
                    {0xC5, 0xC6},
                    {0xC8, 0xC9},
                    {0xCB, 0xCD},
                    {0xD2, 0xD4},
                    {0xD6, 0xD7},
                    {0xDD, 0xDF},
                    {0xE8, 0xE9}});
  ExpectAssignment(GraphicsTokenName, 0xFE, "?ext1: ",
                   {{0x00, 0x80}, {0x84, 0x89}, {0x8B, 0x8B}, {0x8F, 0x8F}, {0x9F, 0x9F},
                    {0xA1, 0xA1}, {0xA8, 0xAD}, {0xAF, 0xFF}});
  ExpectAssignment(GraphicsTokenName, 0xFF, "?ext2: ",
                   {{0x00, 0x7F}, {0x90, 0x9B}, {0x9E, 0x9F}, {0xA3, 0xA7}, {0xA9, 0xA9},
                    {0xAE, 0xB1}, {0xBE, 0xC3}, {0xC8, 0xFF}});
}

// Only the prefixes are two bytes long.
TEST(BasicTokens, TokenLengths) {
  for (int code = 0x80; code < 0x100; ++code) {
    uint8_t first = static_cast<uint8_t>(code);
    EXPECT_EQ(BasicTokenLength(BasicDialect::Tape, first), 1);
    EXPECT_EQ(BasicTokenLength(BasicDialect::Disk, first), code == 0x80 ? 2 : 1);
    EXPECT_EQ(BasicTokenLength(BasicDialect::Graphics, first), code >= 0xFE ? 2 : 1);
  }
}

// An assigned code leaves the scratch text (which may hold the output name) alone.
TEST(BasicTokens, AssignedLookupKeepsTheScratchText) {
  std::snprintf(ScratchText, kScratchTextSize, "%s", "hello");
  const uint8_t graphics[2] = {0xFE, 0x97};
  const uint8_t tape[1] = {0xB9};
  const uint8_t disk[2] = {0x80, 0x93};
  GraphicsTokenName(graphics);
  TapeTokenName(tape);
  DiskTokenName(disk);
  EXPECT_STREQ(ScratchText, "hello");
}
