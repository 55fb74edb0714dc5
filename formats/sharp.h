// The MZ-700's own character codes turned into printable ASCII.
#pragma once

#include <cstdint>

// One code: below 0x20 a blank, 0x20..0x7E itself, 0x7F..0xC0 through the table, above a blank.
char SharpToAscii(uint8_t code);

