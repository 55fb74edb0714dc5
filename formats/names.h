// File names on MZ media: 17 bytes of Sharp codes in a record's name field, ended by CR when
// shorter. Every program takes, shows and maps names through these functions.
#pragma once

#include <cstdint>

#include "formats/mzf.h"

// Room for a shown name or a base name (17 characters and the ending zero), and for a quoted
// one (two quotes more).
constexpr int kShownNameSize = kNameLength + 1;
constexpr int kQuotedNameSize = kNameLength + 3;

// Bytes of the name before its CR, looking at no more than `limit` bytes (`limit` when no CR
// is among them).
int NameLength(const uint8_t* name, int limit);

// The name of a directory entry, taken once from the record and handed to both the entry line
// and the extraction.
struct EntryName {
  int length;                    // characters before the name's end
  char shown[kShownNameSize];    // the name in printable ASCII, zero-terminated
  uint8_t field[kNameLength];    // the name field for a new MZF header: the shown characters,
                                 // CR at the end, then the record's bytes behind the name with
                                 // every zero byte turned into CR
};

// A directory entry's name ends at its first CR or zero byte among the 17 bytes of `field17`;
// the record itself is left as it is.
void TakeEntryName(const uint8_t* field17, EntryName* name);

// The first `length` bytes of a name in printable ASCII, zero-terminated (`shown` holds
// length + 1).
void ShowName(const uint8_t* name, int length, char* shown);

// A shown name between two `quote` characters, zero-terminated (`quoted` holds
// kQuotedNameSize).
void QuoteName(const char* shown, char quote, char* quoted);

// The host file name made from an entry's name, without extension: upper-case letters turned
// into lower case, a blank into '_', '*' into '=', '/', '<' and '>' into '-', a double quote
// into ','; the first byte below 0x20 or of 0x80 and above ends it. `base` holds
// kShownNameSize.
void MakeBaseName(const EntryName* name, char* base);
