// The decimal text of BASIC floating-point constants.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "extractor/basic/basicfloat.h"

namespace {

struct FloatCase {
  uint8_t bytes[5];  // exponent, then the mantissa most significant byte first
  const char* text;
};

std::string Format(const uint8_t* bytes) {
  char text[kBasicFloatTextSize];
  char* result = FormatBasicFloat(bytes, text);
  EXPECT_EQ(result, text);
  return text;
}

void ExpectTexts(const FloatCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* b = cases[i].bytes;
    EXPECT_EQ(Format(b), cases[i].text) << std::hex << "bytes " << int{b[0]} << ' ' << int{b[1]}
                                        << ' ' << int{b[2]} << ' ' << int{b[3]} << ' ' << int{b[4]};
  }
}

}  // namespace

TEST(BasicFloat, KnownValues) {
  const FloatCase cases[] = {
      {{0x00, 0x12, 0x34, 0x56, 0x78}, "0"},  // exponent 0 is zero whatever the mantissa
      {{0x80, 0x00, 0x00, 0x00, 0x00}, "0.5"},
      {{0x81, 0x00, 0x00, 0x00, 0x00}, "1"},
      {{0x81, 0x80, 0x00, 0x00, 0x00}, "2"},  // the top mantissa bit is no sign
      {{0x7F, 0x00, 0x00, 0x00, 0x00}, "0.25"},
      {{0x83, 0x70, 0x00, 0x00, 0x00}, "7.5"},
      {{0x84, 0x20, 0x00, 0x00, 0x00}, "10"},
      {{0x90, 0x7F, 0xFF, 0x00, 0x00}, "65535"},
      {{0x9B, 0x6B, 0x79, 0xA2, 0xA0}, "123456789"},
      {{0x7D, 0x4C, 0xCC, 0xCC, 0xCD}, "0.1"},
      {{0x82, 0x49, 0x0F, 0xDA, 0x9E}, "3.1415926"},
      {{0x8E, 0x40, 0xE6, 0xB6, 0x46}, "12345.6780014"},
      {{0x80, 0x7F, 0xFF, 0xFF, 0xD5}, "1"},
      {{0x80, 0x7F, 0xFF, 0xFF, 0x25}, "0.9999999"},
      {{0x79, 0x00, 0x00, 0x00, 0x00}, "0.0039063"},  // 0.00390625: the half rounds up
      {{0x69, 0x00, 0xD9, 0x59, 0x4D}, "0.0000001"},
      {{0x67, 0x2B, 0xCC, 0x77, 0x12}, "0"},
      {{0x60, 0x00, 0x00, 0x00, 0x00}, "0"},  // 2^-32
      {{0x5F, 0x5B, 0xE6, 0xFE, 0xCF}, "0"},  // just above 1e-10
      {{0x5F, 0x5B, 0xE6, 0xFE, 0xCE}, "1E-010"},  // just below 1e-10
      {{0x5F, 0x00, 0x00, 0x00, 0x00}, "5.8207661E-011"},  // 2^-33
      {{0x5D, 0x7F, 0xFF, 0xFF, 0xFF}, "2.910383E-011"},
      {{0x5C, 0x2F, 0xEB, 0xFF, 0x0C}, "1E-011"},
      {{0x01, 0x00, 0x00, 0x00, 0x00}, "2.9387359E-039"},  // the smallest value
      {{0xA2, 0x15, 0x02, 0xF9, 0x00}, "10000000000"},  // exactly 1e10: still fixed
      {{0xA2, 0x15, 0x02, 0xF9, 0x01}, "1E+010"},
      {{0xA8, 0x00, 0x00, 0x00, 0x00}, "5.4975581E+011"},  // 2^39
      {{0xA8, 0x68, 0xD4, 0xA5, 0x00}, "1E+012"},  // 999999995904
      {{0xA9, 0x2E, 0x9F, 0x7B, 0xCC}, "1.5E+012"},
      {{0xA9, 0x11, 0x84, 0xE7, 0x2A}, "1.25E+012"},
      {{0xFF, 0x7F, 0xFF, 0xFF, 0xFF}, "1.7014118E+038"},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "2.5521178E+038"},  // the largest value
  };
  ExpectTexts(cases, std::size(cases));
}

// Each pair: the neighbouring patterns just below and just above a point where rounding
// carries, or where the text changes form.
TEST(BasicFloat, RoundingCarriesAndNeighbours) {
  const FloatCase cases[] = {
      // Fixed form: nothing left after seven decimals, or a first nonzero seventh decimal.
      {{0x68, 0x56, 0xBF, 0x94, 0xD5}, "0"},  // 4.9999999988e-8
      {{0x68, 0x56, 0xBF, 0x94, 0xD6}, "0.0000001"},  // 5.0000000001e-8
      {{0x6C, 0x7F, 0x03, 0x80, 0xBE}, "0.0000009"},  // 9.4999999999956e-7
      {{0x6C, 0x7F, 0x03, 0x80, 0xBF}, "0.000001"},  // 9.5000000022e-7: carry, zeros dropped
      // Fixed form: a carry into the integer part, and into a new integer digit.
      {{0x80, 0x7F, 0xFF, 0xFF, 0x29}, "0.9999999"},  // 0.99999994994
      {{0x80, 0x7F, 0xFF, 0xFF, 0x2A}, "1"},  // 0.99999995017
      {{0x83, 0xBF, 0xFF, 0xFF, 0xE5}, "9.9999999"},  // 9.9999999497
      {{0x83, 0xBF, 0xFF, 0xFF, 0xE6}, "10"},  // 9.9999999516
      {{0x91, 0x43, 0x4F, 0xFF, 0xFF}, "99999.9999695"},
      {{0x91, 0x43, 0x50, 0x00, 0x00}, "100000"},
      // Fixed form: the seventh decimal rounded up or down.
      {{0x81, 0x1E, 0x06, 0x51, 0xBE}, "1.2345678"},  // 1.23456784990
      {{0x80, 0xBC, 0x0C, 0xA3, 0x7D}, "1.2345679"},  // 1.23456785013
      // Fixed form: exact halves round up (511/256 and 12345 + 1/256).
      {{0x81, 0x7F, 0x80, 0x00, 0x00}, "1.9960938"},
      {{0x8E, 0x40, 0xE4, 0x04, 0x00}, "12345.0039063"},
      // Exponent form: a carry into a new leading digit and the next exponent.
      {{0xA8, 0x68, 0xD4, 0xA4, 0xFC}, "9.9999999E+011"},  // 999999994880
      {{0xA8, 0x68, 0xD4, 0xA4, 0xFD}, "1E+012"},  // 999999995136
      {{0x5C, 0x2F, 0xEB, 0xFE, 0xFD}, "9.9999999E-012"},
      {{0x5B, 0xDF, 0xD7, 0xFD, 0xFB}, "1E-011"},
      {{0x5F, 0x5B, 0xE6, 0xFE, 0xBC}, "9.9999999E-011"},
      {{0x5F, 0x5B, 0xE6, 0xFE, 0xBD}, "1E-010"},
      {{0x02, 0x59, 0xC7, 0xDC, 0xDB}, "9.9999999E-039"},
      {{0x02, 0x59, 0xC7, 0xDC, 0xDC}, "1E-038"},
      {{0xFF, 0x16, 0x76, 0x99, 0x44}, "9.9999999E+037"},
      {{0xFE, 0xAC, 0xED, 0x32, 0x89}, "1E+038"},
      // Exponent form: the seventh decimal rounded up or down.
      {{0xC3, 0x56, 0x29, 0xD3, 0x7B}, "1.2345678E+020"},
      {{0xC3, 0x56, 0x29, 0xD3, 0x7C}, "1.2345679E+020"},
      // Exponent form: 10000000500 is an exact half and rounds up; 4 less rounds down.
      {{0xA2, 0x15, 0x02, 0xF9, 0x7C}, "1E+010"},
      {{0xA2, 0x15, 0x02, 0xF9, 0x7D}, "1.0000001E+010"},
  };
  ExpectTexts(cases, std::size(cases));
}

// Exactly 1e11 = 2^11 x 5^11 and other powers of ten that the form can hold: the decimal
// exponent must come out exact at the boundary.
TEST(BasicFloat, PowersOfTenAboveTheFixedRange) {
  const FloatCase cases[] = {
      {{0xA5, 0x3A, 0x43, 0xB7, 0x40}, "1E+011"},
      {{0xA8, 0x68, 0xD4, 0xA5, 0x10}, "1E+012"},
      {{0xAB, 0x11, 0x84, 0xE7, 0x2A}, "5E+012"},
  };
  ExpectTexts(cases, std::size(cases));
}

TEST(BasicFloat, NeverWritesPastTwentyBytes) {
  char text[kBasicFloatTextSize + 8];
  for (int e = 0; e < 256; ++e) {
    for (uint8_t m : {uint8_t{0x00}, uint8_t{0x7F}, uint8_t{0xFF}}) {
      const uint8_t bytes[5] = {static_cast<uint8_t>(e), m, m, m, m};
      std::memset(text, '#', sizeof text);
      FormatBasicFloat(bytes, text);
      size_t length = std::strlen(text);
      EXPECT_LE(length, 16u) << e;
      for (size_t i = kBasicFloatTextSize; i < sizeof text; ++i) EXPECT_EQ(text[i], '#') << e;
      EXPECT_EQ(std::string(text).find_first_not_of("0123456789.E+-"), std::string::npos) << text;
    }
  }
}
