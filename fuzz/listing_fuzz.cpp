// The BASIC listing writer, in memory, on fuzzed program bytes behind a first line that fixes
// the dialect (LISTING_DIALECT 0 tape, 1 disk, 2 graphics). Checks that the listing holds only
// printable characters and CR LF line ends, and that it stops soon after kListingLimit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "extractor/basic/listing.h"

namespace {

// First line records that the dialect detection reads as tape (a REM line ending in 0x0D),
// disk (the statement prefix 0x80 and a statement code) and graphics (anything else).
const uint8_t kTapeLine[] = {0x08, 0x00, 0x0A, 0x00, 0x80, 0x20, 0x58, 0x0D};
const uint8_t kDiskLine[] = {0x0D, 0x00, 0x0A, 0x00, 0x80, 0x88, 0x20, 0x41, 0x2B, 0x0B, 0x01, 0x00, 0x00};
const uint8_t kGraphicsLine[] = {0x0C, 0x00, 0x0A, 0x00, 0x41, 0xF4, 0x42, 0xF7, 0x0B, 0x01, 0x00, 0x00};

constexpr size_t kMaxProgram = 65535;
uint8_t gProgram[kMaxProgram];

struct Check {
  char last;
  size_t size;
};

// No line of a 64 KiB program lists longer than twelve characters a byte.
constexpr size_t kLongestLine = 12 * 65536;

void CheckText(void* context, const char* text, size_t size) {
  Check* check = static_cast<Check*>(context);
  check->size += size;
  for (size_t i = 0; i < size; ++i) {
    char c = text[i];
    // Plain characters 0x20..0x7F go into the listing as they stand (0x7F included).
    bool printable = c >= 0x20 && c <= 0x7F;
    if (c == '\n' && check->last != '\r') std::abort();       // every line ends in CR LF
    if (check->last == '\r' && c != '\n') std::abort();       // and CR appears nowhere else
    if (!printable && c != '\r' && c != '\n') std::abort();
    check->last = c;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* first = LISTING_DIALECT == 0 ? kTapeLine : LISTING_DIALECT == 1 ? kDiskLine : kGraphicsLine;
  size_t firstSize = LISTING_DIALECT == 0 ? sizeof kTapeLine : LISTING_DIALECT == 1 ? sizeof kDiskLine
                                                                                     : sizeof kGraphicsLine;
  if (size > kMaxProgram - firstSize) size = kMaxProgram - firstSize;
  std::memcpy(gProgram, first, firstSize);
  if (size > 0) std::memcpy(gProgram + firstSize, data, size);
  uint32_t length = static_cast<uint32_t>(firstSize + size);
  if (DetectBasicDialect(gProgram, length) != static_cast<BasicDialect>(LISTING_DIALECT)) std::abort();
  Check check = {'\n', 0};
  ListingExtent extent = ListBasicProgram(gProgram, length, CheckText, &check);
  if (check.last != '\n') std::abort();  // the listing ends with a whole line
  if (extent.kept != check.size || check.size > kListingLimit + kLongestLine) std::abort();
  return 0;
}
