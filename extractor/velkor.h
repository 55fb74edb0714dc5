// Velkor, the extractor: lists QD images, MZT tapes and RAM disks, checks ROM disks, and writes
// every file it finds into the current directory.
#pragma once

#include <cstdint>
#include <cstdio>

#include "formats/names.h"
#include "formats/qd.h"

constexpr const char* kVelkorVersion = "1.6";
constexpr uint32_t kWorkBufferSize = 0x40000;  // 256 KiB
constexpr int kEntryCapacity = 50;             // entries per run, over all input files
constexpr int kQdRecordSize = kQdHeaderBlockSize;  // framing, QD header, "CRC"
constexpr int kMztRecordSize = 128;            // an MZF header
constexpr int kRamRecordSize = 35;             // a RAM-disk entry from its third byte

// Modes, set from the first argument.
enum VelkorMode {
  kModePlain = 0,     // RAM-disk or ROM-disk images
  kModeColumns = 1,       // -v: the same with size, load and exec columns
  kModeColumnsAlias = 2,  // -V: the same as -v
  kModeQd = 3,        // -q
  kModeQdColumns = 4, // -Q
  kModeMzt = 5,       // -t
  kModeMztColumns = 6 // -T
};

// Everything one run shares between its input files.
struct VelkorRun {
  int mode;
  int entryNumber;  // entries read so far in this run, over every input; indexes the tables
  uint8_t* work;    // kWorkBufferSize bytes, 0xFF at the start of the run
  char** inputs;    // the input file names of the command line
  int inputCount;
  uint8_t qdEntries[kEntryCapacity][kQdRecordSize];
  uint8_t mztEntries[kEntryCapacity][kMztRecordSize];
  uint8_t ramEntries[kEntryCapacity][kRamRecordSize];
};

// The whole program: banner, switch, one listing per input file. Returns the exit status.
int VelkorMain(int argc, char** argv);

// Reads the first `headSize` bytes of an image into `head` (zero where the file is shorter),
// then the whole image from its start into the work buffer, at most kWorkBufferSize bytes.
// Returns how many bytes that is.
long ReadImageHead(VelkorRun* run, FILE* image, uint8_t* head, size_t headSize);

// The directory readers; each prints its listing and extracts the entries it lists.
void ListQdDirectory(VelkorRun* run, FILE* image);
void ListMztDirectory(VelkorRun* run, FILE* tape);
void ListMemoryDisk(VelkorRun* run, FILE* image);

// Blanks in front of the size, load and exec columns of an entry line: none without columns.
constexpr int kNoColumns = -1;
constexpr int kQdColumnIndent = 3;   // QD and RAM disk
constexpr int kMztColumnIndent = 4;  // MZT

// One entry's line, with the columns behind `columnIndent` blanks unless it is kNoColumns.
void PrintEntryLine(uint8_t attribute, const EntryName* name, uint16_t size, uint16_t load,
                    uint16_t exec, int columnIndent);

// Writes one entry as base.mzf, and a BASIC program also as base.btx and the listing base.bas.
void ExtractEntry(VelkorRun* run, uint8_t attribute, const EntryName* name, uint16_t size,
                  uint16_t load, uint16_t exec, uint16_t dataOffset);

// True when the file `name` exists and is the same file as one of the run's inputs.
bool IsRunInput(const VelkorRun* run, const char* name);
