// The MZF tape header and the file type codes.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kMzfHeaderSize = 128;
constexpr int kNameLength = 17;
constexpr uint8_t kNameEnd = 0x0D;  // CR ends a name shorter than 17 bytes

// The 128-byte header in front of every MZF file; 16-bit fields low byte first.
struct CMTHeaderStr {
  uint8_t Attribute;
  uint8_t Name[kNameLength];
  uint8_t Size[2];
  uint8_t LoadAddress[2];
  uint8_t ExecAddress[2];
  uint8_t Comment[104];
};
static_assert(sizeof(CMTHeaderStr) == kMzfHeaderSize, "CMTHeaderStr must be packed");

// Where the data length lies in a header held as bytes.
constexpr size_t kMzfSizeAt = offsetof(CMTHeaderStr, Size);

// BASIC programs carry file type 2 (BTX) or 5 (RB).
inline bool IsBasicAttribute(uint8_t attribute) { return attribute == 2 || attribute == 5; }

// The extractor's three-character type name; print it with "%.3s". Codes of 15 and above give
// an empty text.
const char* AttributeName(uint8_t attribute);

// Fills a new MZF header as the extractor writes it: all zero, the name bytes with every zero
// byte turned into CR, the three numbers, an empty comment.
void BuildMzfHeader(CMTHeaderStr* header, uint8_t attribute, const uint8_t* name, uint16_t size,
                    uint16_t load, uint16_t exec);
