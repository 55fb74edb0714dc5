// The MZ-700's cassette recording: pulses, bytes, blocks and the layout of one file.
//
// Every bit is one pulse, high then low: a long pulse is a 1, a short pulse a 0. The machine
// reads a bit 368 us after a pulse's rising edge; still high there means a long pulse. A byte is a
// long pulse (its start bit) and then its 8 bits, most significant first. A block is followed by its
// check: the number of 1 bits in the block's bytes, as a 16-bit number recorded high byte first.
//
// One file as the machine records it: long gap, long tape mark, 1 long, the 128-byte header and its
// check, 1 long, and, in the conventional form, 256 short, the header and its check again, 1 long.
// Then short gap, short tape mark, 1 long, the body (Size bytes) and its check, 1 long, and again
// 256 short, the body and its check, 1 long. The fast form records each block once, with shorter
// gaps.
#pragma once

#include <cstdint>

// Pulse lengths in microseconds: time high, then time low.
constexpr int kLongHighUs = 464;
constexpr int kLongLowUs = 494;
constexpr int kShortHighUs = 240;
constexpr int kShortLowUs = 264;
constexpr int kLongPulseUs = kLongHighUs + kLongLowUs;     // 958
constexpr int kShortPulseUs = kShortHighUs + kShortLowUs;  // 504
// After a rising edge, the moment at which the machine reads the bit.
constexpr int kBitReadUs = 368;

// Tape marks: this many long pulses, then as many short pulses.
constexpr int kLongMarkPulses = 40;   // before the header
constexpr int kShortMarkPulses = 20;  // before the body
// Short pulses between the two copies of a block.
constexpr int kCopyGapPulses = 256;

// Gaps of short pulses in front of the header (long gap) and of the body (short gap), and whether
// each block is recorded twice.
struct TapeForm {
  int longGapPulses;
  int shortGapPulses;
  bool twoCopies;
};
constexpr TapeForm kConventionalForm = {22000, 11000, true};
constexpr TapeForm kFastForm = {4000, 5000, false};

constexpr int kTapeHeaderSize = 128;  // the MZF header, as it stands
constexpr int kTapeCheckSize = 2;     // a block's check, high byte first
constexpr uint32_t kTapeMaxBody = 0xFFFF;

// A block's check: the number of 1 bits in its bytes, kept to 16 bits.
uint16_t TapeBlockCheck(const uint8_t* data, uint32_t length);
