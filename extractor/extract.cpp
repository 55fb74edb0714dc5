// Writing one entry: base.mzf for every file, base.btx and the listing base.bas for BASIC.
#include <sys/stat.h>

#include <cstring>

#include "extractor/basic/listing.h"
#include "extractor/scratch.h"
#include "extractor/velkor.h"
#include "formats/mzf.h"
#include "hostio/outfile.h"

char ScratchText[kScratchTextSize];

namespace {

constexpr int kOutputNameSize = kScratchTextSize + 8;

// Writes header and data as one output file, unless it would replace one of the run's inputs.
void WriteEntryFile(const VelkorRun* run, const char* name, const void* header, size_t headerSize,
                    const uint8_t* data, size_t size) {
  if (IsRunInput(run, name)) {
    std::printf("ERROR: File '%s' is an input file, not replaced!\n", name);
    return;
  }
  OutputFile out;
  bool written = OpenOutput(&out, name);
  if (written) {
    WriteOutput(&out, header, headerSize);
    WriteOutput(&out, data, size);
    written = CommitOutput(&out, false);
  }
  if (!written) std::printf("ERROR: Cannot write file '%s'!\n", name);
}

}  // namespace

bool IsRunInput(const VelkorRun* run, const char* name) {
  struct stat output;
  if (stat(name, &output) != 0 || !S_ISREG(output.st_mode)) return false;
  for (int i = 0; i < run->inputCount; ++i) {
    struct stat input;
    if (stat(run->inputs[i], &input) == 0 && S_ISREG(input.st_mode) &&
        input.st_dev == output.st_dev && input.st_ino == output.st_ino) {
      return true;
    }
  }
  return false;
}

void ExtractEntry(VelkorRun* run, uint8_t attribute, const EntryName* name, uint16_t size,
                  uint16_t load, uint16_t exec, uint16_t dataOffset) {
  char base[kShownNameSize];
  MakeBaseName(name, base);
  char fileName[kOutputNameSize];
  const uint8_t* data = run->work + dataOffset;

  CMTHeaderStr header;
  BuildMzfHeader(&header, attribute, name->field, size, load, exec);
  // A base name has at most 17 characters: the three names always fit.
  (void)std::snprintf(fileName, sizeof fileName, "%s.mzf", base);
  WriteEntryFile(run, fileName, &header, sizeof header, data, size);
  if (!IsBasicAttribute(attribute)) return;

  (void)std::snprintf(fileName, sizeof fileName, "%s.btx", base);
  WriteEntryFile(run, fileName, nullptr, 0, data, size);

  (void)std::snprintf(fileName, sizeof fileName, "%s.bas", base);
  if (IsRunInput(run, fileName)) {
    std::printf("ERROR: File '%s' is an input file, not replaced!\n", fileName);
    return;
  }
  WriteBasicListing(base, data, size);
}
