#include "formats/names.h"

#include <cstring>

#include "formats/sharp.h"

namespace {

// The end of a name among its first `limit` bytes: its CR, or with `zeroEnds` also a zero byte.
int FindNameEnd(const uint8_t* name, int limit, bool zeroEnds) {
  for (int i = 0; i < limit; ++i) {
    if (name[i] == kNameEnd || (zeroEnds && name[i] == 0)) return i;
  }
  return limit;
}

// One character of a base name; 0 for a character that ends the name there.
char BaseNameCharacter(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  if (c == ' ') return '_';
  if (c < 0x20 || c >= 0x80) return 0;  // a byte the host might not take
  if (c == '*') return '=';
  if (c == '/' || c == '>' || c == '<') return '-';
  if (c == '"') return ',';
  if (c == 0x7F) return SharpToAscii(0x7F);
  return static_cast<char>(c);
}

}  // namespace

int NameLength(const uint8_t* name, int limit) { return FindNameEnd(name, limit, false); }

void ShowName(const uint8_t* name, int length, char* shown) {
  for (int i = 0; i < length; ++i) shown[i] = SharpToAscii(name[i]);
  shown[length] = '\0';
}

void QuoteName(const char* shown, char quote, char* quoted) {
  size_t length = std::strlen(shown);
  if (length > static_cast<size_t>(kNameLength)) length = kNameLength;
  quoted[0] = quote;
  std::memcpy(quoted + 1, shown, length);
  quoted[length + 1] = quote;
  quoted[length + 2] = '\0';
}

void TakeEntryName(const uint8_t* field17, EntryName* name) {
  name->length = FindNameEnd(field17, kNameLength, true);
  ShowName(field17, name->length, name->shown);
  for (int i = 0; i < kNameLength; ++i) {
    uint8_t c = i < name->length ? static_cast<uint8_t>(name->shown[i]) : field17[i];
    name->field[i] = c == 0 ? kNameEnd : c;
  }
}

void MakeBaseName(const EntryName* name, char* base) {
  int length = 0;
  while (length < name->length) {
    char c = BaseNameCharacter(static_cast<unsigned char>(name->shown[length]));
    if (c == 0) break;
    base[length++] = c;
  }
  base[length] = '\0';
}
