// The BASIC listing writer: the text of base.bas, one line per program line, lines ending in
// CR LF. It produces bytes only; the extractor writes them into the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "extractor/basic/tokens.h"

// A listing stops at the end of the first line that takes it past this many bytes, when another
// line would follow. Intact records list as at most about eleven characters a program byte, far
// below it; only damaged or crafted records, whose lines run on through the records behind them,
// reach it.
constexpr uint32_t kListingLimit = 1048576;

// Receives the listing text in pieces, in order; a line may be split over several pieces.
typedef void (*ListingSink)(void* context, const char* text, size_t size);

struct ListingExtent {
  uint32_t kept;  // bytes handed to the sink
  bool cut;       // the listing stopped at kListingLimit with lines left
};

// The listing of the `length` program bytes, exactly the bytes of the .bas file, handed to
// `sink`. Bytes at or past `length` read as zero bytes.
ListingExtent ListBasicProgram(const uint8_t* program, uint32_t length, ListingSink sink,
                               void* context);

// The dialect of a program, told from its first line record.
BasicDialect DetectBasicDialect(const uint8_t* program, uint32_t length);
