// The BASIC listing writer: base.bas, one text line per program line, lines ending in CR LF.
#pragma once

#include <cstddef>
#include <cstdint>

#include "extractor/basic/tokens.h"

// Creates "<baseName>.bas" and writes the listing of the `length` program bytes. Prints
// "ERROR: Cannot write file '%s'!" when the file cannot be written.
void WriteBasicListing(const char* baseName, const uint8_t* program, uint32_t length);

// Receives the listing text in pieces, in order; a line may be split over several pieces.
typedef void (*ListingSink)(void* context, const char* text, size_t size);

// The listing of the `length` program bytes, exactly the bytes of the .bas file, handed to
// `sink`. Bytes at or past `length` read as zero bytes.
void ListBasicProgram(const uint8_t* program, uint32_t length, ListingSink sink, void* context);

// The dialect of a program, told from its first line record.
BasicDialect DetectBasicDialect(const uint8_t* program, uint32_t length);
