// The BASIC listing writer: base.bas, one text line per program line, lines ending in CR LF.
#pragma once

#include <cstdint>

// Creates "<baseName>.bas" and writes the listing of the `length` program bytes. Prints
// "ERROR: Cannot write file '%s'!" when the file cannot be written.
void WriteBasicListing(const char* baseName, const uint8_t* program, uint32_t length);
