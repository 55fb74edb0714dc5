#include "cassette/recording.h"

#include <bit>

uint16_t TapeBlockCheck(const uint8_t* data, uint32_t length) {
  uint32_t ones = 0;
  for (uint32_t i = 0; i < length; ++i) ones += static_cast<uint32_t>(std::popcount(data[i]));
  return static_cast<uint16_t>(ones & 0xFFFF);
}
