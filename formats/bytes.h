// Little-endian 16-bit numbers, as every MZ-700 medium stores them.
#pragma once

#include <cstdint>

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// A byte taken as a signed 8-bit number (two's complement): 0x80 and above are negative.
inline int SignedByte(uint8_t value) { return value < 0x80 ? value : value - 0x100; }

inline void Put16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value & 0xFF);
  p[1] = static_cast<uint8_t>(value >> 8);
}
