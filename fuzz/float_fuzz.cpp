// The decimal text of five-byte BASIC constants, checked against the value it stands for: the
// form chosen by the range, the characters, the length, and a rounding error of at most half a
// unit in the last printed digit.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "extractor/basic/basicfloat.h"

namespace {

// The value (2^31 + M) x 2^(E - 160); a double holds it exactly.
double ValueOf(const uint8_t* bytes) {
  if (bytes[0] == 0) return 0.0;
  uint32_t mantissa = static_cast<uint32_t>(bytes[1]) << 24 | static_cast<uint32_t>(bytes[2]) << 16 |
                      static_cast<uint32_t>(bytes[3]) << 8 | bytes[4];
  return std::ldexp(2147483648.0 + mantissa, bytes[0] - 160);
}

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  char text[kBasicFloatTextSize + 8];
  std::memset(text, 0x7A, sizeof text);
  FormatBasicFloat(data, text);
  for (size_t i = kBasicFloatTextSize; i < sizeof text; ++i) Require(text[i] == 0x7A);  // stays inside
  size_t length = std::strlen(text);
  Require(length >= 1 && length <= 16);
  for (size_t i = 0; i < length; ++i) Require(std::strchr("0123456789.E+-", text[i]) != nullptr);

  double value = ValueOf(data);
  const char* exponent = std::strchr(text, 'E');
  bool exponentForm = value > 1e10 || value < 1e-10;
  if (data[0] == 0) {
    Require(std::strcmp(text, "0") == 0);
    return 0;
  }
  Require((exponent != nullptr) == exponentForm);
  double shown = std::strtod(text, nullptr);
  double allowed;
  if (exponentForm) {
    // d.ddddddd E sdd d: three exponent digits, no trailing zeros, no bare point.
    Require(exponent[1] == '+' || exponent[1] == '-');
    Require(std::strlen(exponent) == 5);
    Require(text[0] >= '1' && text[0] <= '9');
    Require(exponent[-1] != '0' && exponent[-1] != '.');
    int decimalExponent = std::atoi(exponent + 1);
    allowed = 0.5 * std::pow(10.0, decimalExponent - 7);
  } else {
    const char* point = std::strchr(text, '.');
    if (point != nullptr) Require(text[length - 1] != '0' && text[length - 1] != '.' && length - (point - text) <= 8);
    allowed = 0.5e-7;
  }
  Require(std::fabs(shown - value) <= allowed * (1 + 1e-9) + std::fabs(value) * 1e-15);
  return 0;
}
