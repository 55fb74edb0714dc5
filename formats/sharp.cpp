#include "formats/sharp.h"

namespace {
// Codes 0x7F to 0xC0: lower-case letters and a few signs, the rest shown as blanks.
const char kSharpTable[] = "_}          ^    _ e`~ tgh bxdrpcqazwsui  kfv   jn  m   ol    y{ |";
static_assert(sizeof kSharpTable == 66 + 1, "the table covers 0x7F to 0xC0");
}  // namespace

char SharpToAscii(uint8_t code) {
  if (code < 0x20) return ' ';
  if (code <= 0x7E) return static_cast<char>(code);
  if (code <= 0xC0) return kSharpTable[code - 0x7F];
  return ' ';
}
