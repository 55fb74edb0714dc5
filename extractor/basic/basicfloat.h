// The five-byte floating-point constants of MZ BASIC program text, spelled in decimal.
#pragma once

#include <cstdint>

// Room the formatter needs in its text buffer.
constexpr int kBasicFloatTextSize = 20;

// Writes the value of the five bytes after a 0x15 lead byte (exponent with bias 128, then a
// 32-bit mantissa, most significant byte first, below an implicit leading one half) into `text`
// (at least kBasicFloatTextSize bytes): "%9.7f" from 1e-10 to 1e10, "%13.7E" with a three-digit
// exponent outside, exact halves rounded up, trailing zeros of the decimals dropped. Returns
// `text`.
char* FormatBasicFloat(const uint8_t* bytes, char* text);

// The decimal digits of `value`, without leading zeros, written from `text` on (no end zero).
// Returns the position behind the last digit.
char* WriteDecimalDigits(uint64_t value, char* text);

// The lower-case hexadecimal digits of `value`, at least `minDigits` of them (leading zeros fill
// up to that), written from `text` on (no end zero). Returns the position behind the last digit.
char* WriteHexDigits(uint32_t value, int minDigits, char* text);
