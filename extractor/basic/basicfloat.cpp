// The value of a constant is (2^31 + M) x 2^(E - 160): a 33-bit integer times a power of two.
// Its decimal digits are formed exactly in integers; the fixed form needs 64 bits, the
// exponent form a small wide number.
#include "extractor/basic/basicfloat.h"

namespace {

constexpr uint64_t kTenToSeven = 10000000;  // one unit in the seventh decimal
constexpr uint64_t kTenToTen = 10000000000ULL;
constexpr uint64_t kFiveToTen = 9765625;
constexpr int kExponentBias = 160;  // of E, with the mantissa read as a 33-bit integer
constexpr uint32_t kPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                     100000, 1000000, 10000000, 100000000, 1000000000};

// An unsigned number of up to 256 bits, least significant limb first. The exponent form needs
// up to about 2 x 2^33 x 10^47 < 2^190.
struct WideNumber {
  static constexpr unsigned kLimbs = 8;
  uint32_t limb[kLimbs];
};

void SetWide(WideNumber* n, uint64_t value) {
  for (uint32_t& limb : n->limb) limb = 0;
  n->limb[0] = static_cast<uint32_t>(value);
  n->limb[1] = static_cast<uint32_t>(value >> 32);
}

void MultiplyWide(WideNumber* n, uint32_t factor) {
  uint64_t carry = 0;
  for (uint32_t& limb : n->limb) {
    uint64_t product = static_cast<uint64_t>(limb) * factor + carry;
    limb = static_cast<uint32_t>(product);
    carry = product >> 32;
  }
}

// Floor division.
void DivideWide(WideNumber* n, uint32_t divisor) {
  uint64_t remainder = 0;
  for (unsigned i = WideNumber::kLimbs; i-- > 0;) {
    uint64_t part = (remainder << 32) | n->limb[i];
    n->limb[i] = static_cast<uint32_t>(part / divisor);
    remainder = part % divisor;
  }
}

void ShiftWideLeft(WideNumber* n, unsigned bits) {
  unsigned limbs = bits / 32;
  unsigned rest = bits % 32;
  for (unsigned i = WideNumber::kLimbs; i-- > 0;) n->limb[i] = i >= limbs ? n->limb[i - limbs] : 0;
  if (rest == 0) return;
  for (unsigned i = WideNumber::kLimbs - 1; i > 0; --i) {
    n->limb[i] = (n->limb[i] << rest) | (n->limb[i - 1] >> (32 - rest));
  }
  n->limb[0] <<= rest;
}

// Floor division by 2^bits.
void ShiftWideRight(WideNumber* n, unsigned bits) {
  unsigned limbs = bits / 32;
  unsigned rest = bits % 32;
  for (unsigned i = 0; i < WideNumber::kLimbs; ++i) {
    n->limb[i] = i + limbs < WideNumber::kLimbs ? n->limb[i + limbs] : 0;
  }
  if (rest == 0) return;
  for (unsigned i = 0; i + 1 < WideNumber::kLimbs; ++i) {
    n->limb[i] = (n->limb[i] >> rest) | (n->limb[i + 1] << (32 - rest));
  }
  n->limb[WideNumber::kLimbs - 1] >>= rest;
}

// floor(2 x mantissa x 2^binary x 10^decimal): twice the integer part of the scaled value,
// plus one when its fraction is one half or more. The caller keeps the result below 2^64.
uint64_t ScaledHalves(uint64_t mantissa, int binary, int decimal) {
  WideNumber n;
  SetWide(&n, mantissa);
  int shift = binary + 1;
  if (shift > 0) ShiftWideLeft(&n, static_cast<unsigned>(shift));
  for (int k = decimal; k > 0; k -= 9) MultiplyWide(&n, kPowersOfTen[k < 9 ? k : 9]);
  if (shift < 0) ShiftWideRight(&n, static_cast<unsigned>(-shift));
  for (int k = -decimal; k > 0; k -= 9) DivideWide(&n, kPowersOfTen[k < 9 ? k : 9]);
  return (static_cast<uint64_t>(n.limb[1]) << 32) | n.limb[0];
}

bool AboveTenBillion(uint64_t mantissa, int binary) {
  if (binary < 0) return false;  // mantissa < 2^33 < 1e10
  if (binary >= 31) return true;
  return (mantissa << binary) > kTenToTen;
}

// mantissa x 2^binary < 10^-10, that is mantissa x 5^10 < 2^(-binary - 10).
bool BelowTenBillionth(uint64_t mantissa, int binary) {
  int power = -binary - 10;
  if (power <= 0) return false;
  if (power >= 63) return true;  // mantissa x 5^10 < 2^57
  return mantissa * kFiveToTen < (uint64_t{1} << power);
}

// The seven decimals of `fraction` (below 10^7) after a point, without trailing zeros; nothing
// at all, not even the point, when they are all zero.
char* WriteDecimals(uint64_t fraction, char* text) {
  if (fraction == 0) return text;
  int count = 7;
  while (fraction % 10 == 0) {
    fraction /= 10;
    --count;
  }
  *text++ = '.';
  for (int i = count - 1; i >= 0; --i) {
    text[i] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  return text + count;
}

// "%9.7f": the value rounded half up to seven decimals, fits 64 bits up to 1e10 x 1e7.
char* WriteFixed(uint64_t mantissa, int binary, char* text) {
  uint64_t scaled = mantissa * kTenToSeven;  // < 2^56
  uint64_t units;
  if (binary >= 0) {
    units = scaled << binary;
  } else if (-binary >= 64) {
    units = 0;  // scaled < 2^56, far below one half of 2^64
  } else {
    int shift = -binary;
    units = (scaled + (uint64_t{1} << (shift - 1))) >> shift;
  }
  text = WriteDecimalDigits(units / kTenToSeven, text);
  return WriteDecimals(units % kTenToSeven, text);
}

// floor(log10(2^power)) or one less; the caller corrects it. 78913 / 2^18 is just below log10(2).
int EstimateDecimalExponent(int power) {
  int64_t product = static_cast<int64_t>(power) * 78913;
  return static_cast<int>(product >= 0 ? product / 262144 : -((-product + 262143) / 262144));
}

// "%13.7E": one digit, seven decimals rounded half up, a three-digit exponent.
char* WriteExponent(uint64_t mantissa, int binary, char* text) {
  int bitLength = mantissa >> 32 != 0 ? 33 : 32;
  int exponent = EstimateDecimalExponent(binary + bitLength - 1);
  uint64_t halves;
  for (;;) {
    halves = ScaledHalves(mantissa, binary, 7 - exponent);
    if (halves < 2 * kTenToSeven) {
      --exponent;
    } else if (halves >= 20 * kTenToSeven) {
      ++exponent;
    } else {
      break;
    }
  }
  uint64_t digits = halves / 2 + (halves & 1);
  if (digits == 10 * kTenToSeven) {  // 9.99999995 and up carry into a new leading digit
    digits = kTenToSeven;
    ++exponent;
  }
  *text++ = static_cast<char>('0' + digits / kTenToSeven);
  text = WriteDecimals(digits % kTenToSeven, text);
  *text++ = 'E';
  *text++ = exponent < 0 ? '-' : '+';
  int magnitude = exponent < 0 ? -exponent : exponent;
  *text++ = static_cast<char>('0' + magnitude / 100);
  *text++ = static_cast<char>('0' + magnitude / 10 % 10);
  *text++ = static_cast<char>('0' + magnitude % 10);
  return text;
}

}  // namespace

char* FormatBasicFloat(const uint8_t* bytes, char* text) {
  char* end = text;
  if (bytes[0] == 0) {
    *end++ = '0';  // E = 0 is zero, whatever the mantissa
  } else {
    uint64_t mantissa = (uint64_t{1} << 31) + ((static_cast<uint64_t>(bytes[1]) << 24) |
                                               (static_cast<uint64_t>(bytes[2]) << 16) |
                                               (static_cast<uint64_t>(bytes[3]) << 8) | bytes[4]);
    int binary = bytes[0] - kExponentBias;
    if (AboveTenBillion(mantissa, binary) || BelowTenBillionth(mantissa, binary)) {
      end = WriteExponent(mantissa, binary, end);
    } else {
      end = WriteFixed(mantissa, binary, end);
    }
  }
  *end = '\0';
  return text;
}

char* WriteDecimalDigits(uint64_t value, char* text) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) *text++ = digits[--count];
  return text;
}

char* WriteHexDigits(uint32_t value, int minDigits, char* text) {
  static const char kHexDigits[] = "0123456789abcdef";
  char digits[8];
  int count = 0;
  do {
    digits[count++] = kHexDigits[value & 0x0F];
    value >>= 4;
  } while (value != 0 || count < minDigits);
  while (count > 0) *text++ = digits[--count];
  return text;
}
