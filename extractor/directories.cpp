// The QD and MZT directory readers and the entry line that every reader prints.
#include <cstring>

#include "extractor/velkor.h"
#include "formats/bytes.h"
#include "formats/mzf.h"
#include "formats/qd.h"
#include "hostio/infile.h"

namespace {

// The column header behind "Directory of QD:" and "Directory of MZT:".
const char kColumnHeader[] = "                         size load exec";

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
  uint8_t head[kQdHeadSize];
  ReadImageHead(run, image, head, sizeof head);

  bool withColumns = run->mode == kModeQdColumns;
  std::printf("Directory of QD:%s\n", withColumns ? kColumnHeader : "");

  uint32_t total = 0;
  // The head counts blocks, two per file; a count of 128 or more reads as negative.
  int blocks = SignedByte(head[kQdBlockCount]);
  uint16_t offset = kQdFirstFile;
  while (blocks > 0 && !CapacityUsed(run)) {
    uint8_t* record = run->qdEntries[run->entryNumber];
    if (std::fseek(image, offset, SEEK_SET) != 0 ||
        ReadInput(image, record, kQdRecordSize) < static_cast<size_t>(kQdRecordSize)) {
      break;
    }
    // The size is the header's: the data block's own length is not looked at.
    const QDHeaderStr* header = QdHeaderIn(record);
    if (header->Name[0] == 0xAA && header->Name[1] == 0x55) break;  // untouched fill
    uint8_t attribute = header->Attribute;
    if (attribute == 0) break;
    uint16_t size = Get16(header->Size);
    uint16_t load = Get16(header->LoadAddress);
    uint16_t exec = Get16(header->ExecAddress);
    EntryName name;
    TakeEntryName(header->Name, &name);
    PrintEntryLine(attribute, &name, size, load, exec,
                   withColumns ? kQdColumnIndent : kNoColumns);
    // The header block is counted here, the data block after the extraction: an odd count
    // lists its last entry without extracting it.
    if (--blocks <= 0) break;
    ExtractEntry(run, attribute, &name, size, load, exec,
                 static_cast<uint16_t>(offset + kQdDataOffset));
    total += size;
    run->entryNumber++;
    offset = static_cast<uint16_t>(offset + kQdFileOverhead + size);
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
