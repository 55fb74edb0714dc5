// The QD image: one side of a Quick Disk as a byte image.
//
// A head block carrying the block count, then the files, each as a header block and a data block,
// then an alternating fill up to a fixed end. Every block starts with a zero byte, the sync pair
// 0x16 0x16 and the mark 0xA5, and ends with the three letters "CRC" where a real disk carries a
// check value. The QD tool and the packer lay out their images through these functions, and
// every reader finds its way through them by the offsets below.
#pragma once

#include <cstdint>

#include "formats/mzf.h"

// The QD tool's image: 61455 bytes (0xF00F), offsets 0 to 61454.
constexpr int kQdImageSize = 61455;
constexpr int kQdLastByte = kQdImageSize - 1;
// The packer's image is at least 61471 bytes (0xF01F) long.
constexpr int kQdPackerImageSize = 61471;

constexpr int kQdHeadMark = 3;      // the head block's mark; its payload is the block count
constexpr int kQdBlockCount = kQdHeadMark + 1;  // the block count, two blocks per file
constexpr int kQdHeadSize = 8;      // the head block, "CRC" included
constexpr int kQdFirstFile = kQdHeadSize;  // the first file's header block
constexpr int kQdFillStart = 12;    // 0x55 0xAA ... from here
constexpr int kQdFillEnd = 61450;   // ... to here, ending with 0x55
constexpr int kQdClosingCheck = 61451;  // "CRC" of the empty image

constexpr uint8_t kQdSync = 0x16;
constexpr uint8_t kQdMark = 0xA5;
constexpr uint8_t kQdHeaderBlockType = 0x00;
constexpr uint8_t kQdDataBlockType = 0x05;

constexpr int kQdBlockStartSize = 7;  // zero byte, sync pair, mark, type, 16-bit length
constexpr int kQdCheckSize = 3;       // "CRC"
constexpr int kQdHeaderSize = 64;
constexpr int kQdHeaderBlockSize = kQdBlockStartSize + kQdHeaderSize + kQdCheckSize;  // 74
// From a header block's zero byte to its file's data, and the bytes a file takes besides its data.
constexpr int kQdDataOffset = kQdHeaderBlockSize + kQdBlockStartSize;  // 81
constexpr int kQdFileOverhead = kQdDataOffset + kQdCheckSize;          // 84

// The file header inside a header block; 16-bit fields low byte first.
struct QDHeaderStr {
  uint8_t Attribute;
  uint8_t Name[kNameLength];
  uint8_t Unknown[2];  // no program reads it
  uint8_t Size[2];
  uint8_t LoadAddress[2];
  uint8_t ExecAddress[2];
  uint8_t Comment[38];
};
static_assert(sizeof(QDHeaderStr) == kQdHeaderSize, "QDHeaderStr must be packed");

// The QD header inside a header block, counted from the block's zero byte.
constexpr int kQdHeaderAt = kQdBlockStartSize;

// A file block seen from its mark byte M: type at M+1, 16-bit length at M+2 and M+3, payload
// from M+4, "CRC" behind the payload, and the next block's zero byte after that.
constexpr int kQdMarkToType = 1;
constexpr int kQdMarkToLength = 2;
constexpr int kQdMarkToPayload = 4;

struct QdBlock {
  uint8_t type;
  uint16_t length;   // payload bytes
  uint32_t payload;  // offset of the payload in the image
};

// The block whose mark is at `mark`; the caller has made sure that mark + 3 lies in the image.
QdBlock ReadQdBlock(const uint8_t* image, uint32_t mark);

// Where the block after `block` begins: behind its payload and "CRC". Not cut to 16 bits, so a
// walk can tell when it would run past 64 KiB.
inline uint32_t QdBlockEnd(const QdBlock& block) {
  return block.payload + block.length + kQdCheckSize;
}

// The QD header inside the header block whose zero byte is at `block`.
inline const QDHeaderStr* QdHeaderIn(const uint8_t* block) {
  return reinterpret_cast<const QDHeaderStr*>(block + kQdHeaderAt);
}

// Lays out the empty image in offsets 0 to 61453: head, framing of the first header block, fill
// and the closing "CRC". Offset 61454 and anything behind it are left to the writer.
void LayOutEmptyQdImage(uint8_t* image);

// Zero byte, sync pair, mark, block type and 16-bit length: the 7 bytes that open a file block.
void PutQdBlockStart(uint8_t* at, uint8_t type, uint16_t length);

// The "CRC" placeholder behind a block's payload.
void PutQdCheck(uint8_t* at);

// Lays out one file at `at`: its whole header block and the opening of its data block for
// `length` bytes. Returns where the data goes; the caller puts it there and closes the block
// with PutQdCheck behind it. The file then takes length + 84 bytes.
uint8_t* PutQdFileBlocks(uint8_t* at, const QDHeaderStr* header, uint16_t length);

// Size, load and exec address and the first 38 comment bytes, taken from an MZF header.
void CopyQdHeaderNumbers(QDHeaderStr* header, const CMTHeaderStr* mzf);

// Counts one more stored file in the image's block count (8 bits, two per file).
void CountQdFile(uint8_t* image);

// Stores one file at offset `at` of the image: its header block, the data block for `length`
// bytes closed by its "CRC", and the count in the head. Returns where the data goes; the caller
// puts the bytes there (what it does not fill keeps what the image held). The next file goes
// to at + length + 84.
uint8_t* StoreQdFile(uint8_t* image, uint32_t at, const QDHeaderStr* header, uint16_t length);
