// The BASIC listing writer: the text of base.bas, one line per program line, lines ending in
// CR LF. It produces bytes only; the extractor writes them into the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "extractor/basic/tokens.h"

// Receives the listing text in pieces, in order; a line may be split over several pieces.
typedef void (*ListingSink)(void* context, const char* text, size_t size);

// The listing of the `length` program bytes, exactly the bytes of the .bas file, handed to
// `sink`. Bytes at or past `length` read as zero bytes.
void ListBasicProgram(const uint8_t* program, uint32_t length, ListingSink sink, void* context);

// The dialect of a program, told from its first line record.
BasicDialect DetectBasicDialect(const uint8_t* program, uint32_t length);
