// RAM-disk and ROM-disk images: memory dumps of the MZ-700's RAM and ROM disks.
#include <cstring>

#include "extractor/velkor.h"
#include "formats/bytes.h"
#include "hostio/infile.h"

namespace {

constexpr int kDiskHeaderSize = 16;
constexpr int kMagicOffset = 8;  // a RAM disk carries the bytes 0x08..0x0F at offsets 8..15
constexpr int kMagicLength = 8;

// Offsets inside a RAM-disk entry record, which starts at the entry's third byte.
constexpr int kRamAttribute = 3;
constexpr int kRamName = 4;
constexpr int kRamSize = 23;
constexpr int kRamLoad = 25;
constexpr int kRamExec = 27;
constexpr uint16_t kRamDataDistance = 72;  // from the entry's length word to its data
constexpr uint16_t kRamFirstEntry = 16;

constexpr int kRomHeaderSize = 9;

bool IsRamDisk(const uint8_t* header) {
  for (int i = 0; i < kMagicLength; ++i) {
    if (header[kMagicOffset + i] != kMagicOffset + i) return false;
  }
  return true;
}

int CountBits(const uint8_t* bytes, uint32_t count) {
  int bits = 0;
  for (uint32_t i = 0; i < count; ++i) bits += __builtin_popcount(bytes[i]);
  return bits;
}

void ListRamDisk(VelkorRun* run, FILE* image, const uint8_t* header) {
  uint16_t ramSize = Get16(header);
  uint16_t dataLength = Get16(header + 2);
  int freeKilobytes = (static_cast<int>(ramSize) - static_cast<int>(dataLength)) / 1024;
  bool withColumns = run->mode == kModeColumns || run->mode == kModeColumnsAlias;
  std::printf("Directory of RAM: %3dkB free.", freeKilobytes);
  if (withColumns) std::printf("            size load exec");
  std::printf("\n");

  uint16_t entry = kRamFirstEntry;
  while (run->entryNumber < kEntryCapacity) {
    uint8_t lengthWord[2];
    if (std::fseek(image, entry, SEEK_SET) != 0 || ReadInput(image, lengthWord, 2) < 2) break;
    uint16_t entryLength = Get16(lengthWord);
    if (entryLength == 0) break;

    uint8_t* record = run->ramEntries[run->entryNumber];
    std::memset(record, 0, kRamRecordSize);  // bytes past the end of the file read as 0
    if (std::fseek(image, static_cast<uint16_t>(entry + 2), SEEK_SET) == 0) {
      ReadInput(image, record, kRamRecordSize);
    }

    uint16_t size = Get16(record + kRamSize);
    uint16_t load = Get16(record + kRamLoad);
    uint16_t exec = Get16(record + kRamExec);
    EntryName name;
    TakeEntryName(record + kRamName, &name);
    PrintEntryLine(record[kRamAttribute], &name, size, load, exec,
                   withColumns ? kQdColumnIndent : kNoColumns);
    ExtractEntry(run, record[kRamAttribute], &name, size, load, exec,
                 static_cast<uint16_t>(entry + kRamDataDistance));
    run->entryNumber++;
    entry = static_cast<uint16_t>(entry + entryLength + 2);
  }

  std::printf("\nSize of RAM:    %u Bytes.\n", ramSize);
  std::printf("Length of data: %u Bytes, Magic number:", dataLength);
  for (int i = 0; i < kMagicLength; ++i) std::printf(" %02X", header[kMagicOffset + i]);
  std::printf(".\n");
}

// Checks the two bit counts of a ROM-disk image. The counts are taken over the work buffer,
// so a program that the file holds only in part is counted with whatever the buffer held.
void CheckRomDisk(const VelkorRun* run, const uint8_t* header, long fileLength) {
  uint16_t size = Get16(header);
  uint16_t storedSum = Get16(header + 6);
  int storedHead = SignedByte(header[8]);  // a stored 0x80 or more never matches
  int computedHead = CountBits(run->work, 8);
  uint16_t computedSum = static_cast<uint16_t>(CountBits(run->work + kRomHeaderSize, size));

  std::printf("RomDisk size: %04X - %d Bytes\n", size, size);
  std::printf("        load: %04X\n", Get16(header + 2));
  std::printf("        exec: %04X\n", Get16(header + 4));
  std::printf("   check sum: %04X - ", storedSum);
  if (storedSum == computedSum) {
    std::printf("ok");
  } else {
    std::printf("bad (%04X)", computedSum);
  }
  std::printf("\n  check head:   %02X - ", static_cast<unsigned>(storedHead));
  if (storedHead == computedHead) {
    std::printf("ok");
  } else {
    std::printf("bad (%04X)", static_cast<unsigned>(computedHead));
  }
  std::printf("\n\n");
  int expected = size + kRomHeaderSize;
  int actual = static_cast<int>(fileLength);
  std::printf("Size image - file: %d, %d -> %s\n", expected, actual,
              expected == actual ? "ok" : "different");
}

}  // namespace

void ListMemoryDisk(VelkorRun* run, FILE* image) {
  uint8_t header[kDiskHeaderSize];
  long length = ReadImageHead(run, image, header, sizeof header);

  if (IsRamDisk(header)) {
    ListRamDisk(run, image, header);
  } else {
    CheckRomDisk(run, header, length);
  }
}
