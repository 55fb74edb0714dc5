#include "formats/qd.h"

#include <cstring>

#include "formats/bytes.h"

namespace {
// The head block (mark at 3, its payload the block count) and the opening of the first header
// block, which an empty image carries too.
const uint8_t kQdHead[kQdFillStart] = {0x00, kQdSync, kQdSync, kQdMark, 0x00, 'C', 'R', 'C',
                                       0x00, kQdSync, kQdSync, kQdMark};
}  // namespace

void LayOutEmptyQdImage(uint8_t* image) {
  std::memcpy(image, kQdHead, sizeof kQdHead);
  // The fill alternates 0x55 and 0xAA from 0x55 on; neither is a sync byte, so a search for
  // the sync pair never stops inside untouched fill.
  uint8_t fill = 0xAA;
  for (int offset = kQdFillStart; offset <= kQdFillEnd; ++offset) {
    fill = static_cast<uint8_t>(~fill);
    image[offset] = fill;
  }
  PutQdCheck(image + kQdClosingCheck);
}

void PutQdBlockStart(uint8_t* at, uint8_t type, uint16_t length) {
  at[0] = 0x00;
  at[1] = kQdSync;
  at[2] = kQdSync;
  at[3] = kQdMark;
  at[4] = type;
  Put16(at + 5, length);
}

void PutQdCheck(uint8_t* at) {
  at[0] = 'C';
  at[1] = 'R';
  at[2] = 'C';
}

uint8_t* PutQdFileBlocks(uint8_t* at, const QDHeaderStr* header, uint16_t length) {
  PutQdBlockStart(at, kQdHeaderBlockType, kQdHeaderSize);
  std::memcpy(at + kQdBlockStartSize, header, kQdHeaderSize);
  PutQdCheck(at + kQdBlockStartSize + kQdHeaderSize);
  PutQdBlockStart(at + kQdHeaderBlockSize, kQdDataBlockType, length);
  return at + kQdDataOffset;
}

void CopyQdHeaderNumbers(QDHeaderStr* header, const CMTHeaderStr* mzf) {
  std::memcpy(header->Size, mzf->Size, 2);
  std::memcpy(header->LoadAddress, mzf->LoadAddress, 2);
  std::memcpy(header->ExecAddress, mzf->ExecAddress, 2);
  std::memcpy(header->Comment, mzf->Comment, sizeof header->Comment);
}

void CountQdFile(uint8_t* image) {
  image[kQdBlockCount] = static_cast<uint8_t>(image[kQdBlockCount] + 2);
}

QdBlock ReadQdBlock(const uint8_t* image, uint32_t mark) {
  QdBlock block;
  block.type = image[mark + kQdMarkToType];
  block.length = Get16(image + mark + kQdMarkToLength);
  block.payload = mark + kQdMarkToPayload;
  return block;
}

uint8_t* StoreQdFile(uint8_t* image, uint32_t at, const QDHeaderStr* header, uint16_t length) {
  uint8_t* data = PutQdFileBlocks(image + at, header, length);
  PutQdCheck(data + length);
  CountQdFile(image);
  return data;
}
