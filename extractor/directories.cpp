// The QD and MZT directory readers and the entry line that every reader prints.
#include <cstring>

#include "extractor/velkor.h"
#include "formats/bytes.h"
#include "formats/mzf.h"
#include "hostio/infile.h"

namespace {

// The column header behind "Directory of QD:" and "Directory of MZT:".
const char kColumnHeader[] = "                         size load exec";

// Offsets inside a QD header-block record (74 bytes from the block's zero byte).
constexpr int kQdAttribute = 7;
constexpr int kQdName = 8;
constexpr int kQdSize = 27;
constexpr int kQdLoad = 29;
constexpr int kQdExec = 31;
// From a header block's zero byte to its file's data: header block, data block framing.
constexpr uint16_t kQdDataDistance = 7 + 64 + 3 + 7;
constexpr uint16_t kQdCheckLength = 3;

bool CapacityUsed(const VelkorRun* run) { return run->entryNumber >= kEntryCapacity; }

}  // namespace

void PrintEntryLine(uint8_t attribute, const EntryName* name, uint16_t size, uint16_t load,
                    uint16_t exec, int columnIndent) {
  std::printf(" %.3s", AttributeName(attribute));
  char quoted[kQuotedNameSize];
  QuoteName(name->shown, '"', quoted);
  std::printf("  %-18s:` %5d Bytes", quoted, size);
  if (columnIndent != kNoColumns) {
    std::printf("%*s%04X %04X %04X", columnIndent, "", size, load, exec);
  }
  std::printf("\n");
}

void ListQdDirectory(VelkorRun* run, FILE* image) {
  uint8_t head[8] = {0};  // bytes a short image lacks read as 0
  ReadInput(image, head, sizeof head);
  long length = InputFileLength(image);
  ReadInput(image, run->work, length < static_cast<long>(kWorkBufferSize) ? static_cast<size_t>(length)
                                                                          : kWorkBufferSize);

  bool withColumns = run->mode == kModeQdColumns;
  std::printf("Directory of QD:%s\n", withColumns ? kColumnHeader : "");

  uint32_t total = 0;
  // The head counts blocks, two per file; a count of 128 or more reads as negative.
  int blocks = SignedByte(head[4]);
  uint16_t offset = 8;
  while (blocks > 0 && !CapacityUsed(run)) {
    uint8_t* record = run->qdEntries[run->entryNumber];
    if (std::fseek(image, offset, SEEK_SET) != 0 ||
        ReadInput(image, record, kQdRecordSize) < static_cast<size_t>(kQdRecordSize)) {
      break;
    }
    if (record[kQdName] == 0xAA && record[kQdName + 1] == 0x55) break;  // untouched fill
    uint8_t attribute = record[kQdAttribute];
    if (attribute == 0) break;
    uint16_t size = Get16(record + kQdSize);
    EntryName name;
    TakeEntryName(record + kQdName, &name);
    PrintEntryLine(attribute, &name, size, Get16(record + kQdLoad), Get16(record + kQdExec),
                   withColumns ? kQdColumnIndent : kNoColumns);
    // The header block is counted here, the data block after the extraction: an odd count
    // lists its last entry without extracting it.
    if (--blocks <= 0) break;
    ExtractEntry(run, attribute, &name, size, Get16(record + kQdLoad),
                 Get16(record + kQdExec), static_cast<uint16_t>(offset + kQdDataDistance));
    total += size;
    run->entryNumber++;
    offset = static_cast<uint16_t>(offset + kQdDataDistance + size + kQdCheckLength);
    --blocks;
  }
  std::printf("Length of data: %u Bytes.\n", total);
}

void ListMztDirectory(VelkorRun* run, FILE* tape) {
  bool withColumns = run->mode == kModeMztColumns;
  std::printf("Directory of MZT:%s\n", withColumns ? kColumnHeader : "");

  uint32_t total = 0;
  while (!CapacityUsed(run)) {
    uint8_t* record = run->mztEntries[run->entryNumber];
    if (ReadInput(tape, record, kMztRecordSize) < static_cast<size_t>(kMztRecordSize)) break;
    const CMTHeaderStr* header = reinterpret_cast<const CMTHeaderStr*>(record);
    uint16_t size = Get16(header->Size);
    uint16_t load = Get16(header->LoadAddress);
    uint16_t exec = Get16(header->ExecAddress);
    // A short read leaves the rest of the buffer as it was.
    ReadInput(tape, run->work, size);
    EntryName name;
    TakeEntryName(header->Name, &name);
    PrintEntryLine(header->Attribute, &name, size, load, exec,
                   withColumns ? kMztColumnIndent : kNoColumns);
    run->entryNumber++;
    ExtractEntry(run, header->Attribute, &name, size, load, exec, 0);
    total += size;
  }
  std::printf("Length of data: %u Bytes.\n", total);
}
