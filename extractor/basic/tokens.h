// The token tables of the three tokenized MZ BASIC dialects.
//
// Every keyword, operator and built-in function of a stored BASIC line is one byte of 0x80 or
// above, or a prefix byte and a second byte. A lookup takes a pointer to the token's first byte
// and returns its spelling: a constant text, or for a code the dialect does not assign a text
// such as "?comm: a8?" formatted into ScratchText (copy it before the next lookup). The second
// byte is read only when the first is a prefix of the dialect.
#pragma once

#include <cstdint>

enum class BasicDialect {
  Tape,      // MZ-80K / MZ-700 tape BASIC: one byte per token, no prefix
  Disk,      // disk BASIC: statements behind the prefix 0x80
  Graphics,  // MZ-700 BASIC: statements behind 0xFE, functions behind 0xFF
};

const char* TapeTokenName(const uint8_t* token);
const char* DiskTokenName(const uint8_t* token);
const char* GraphicsTokenName(const uint8_t* token);

// The lookup of `dialect`.
const char* BasicTokenName(BasicDialect dialect, const uint8_t* token);

// Bytes a token occupies: 2 for a prefix byte of the dialect (the second byte is consumed
// whatever its value), otherwise 1.
int BasicTokenLength(BasicDialect dialect, uint8_t first);
