// Writing one entry: base.mzf for every file, base.btx and the listing base.bas for BASIC, all
// through one output path.
#include <sys/stat.h>

#include <cstring>

#include "extractor/basic/listing.h"
#include "extractor/velkor.h"
#include "formats/mzf.h"
#include "hostio/outfile.h"

namespace {

// Room for a base name and its extension.
constexpr int kOutputNameSize = kShownNameSize + 8;

// What one extraction writes: the entry and its data in the work buffer.
struct EntryFiles {
  const CMTHeaderStr* header;  // the new MZF header
  const uint8_t* data;
  uint16_t size;
};

// Puts one output file's bytes into `out`.
typedef void (*ProduceFile)(OutputFile* out, const EntryFiles* entry);

void ProduceMzf(OutputFile* out, const EntryFiles* entry) {
  WriteOutput(out, entry->header, sizeof *entry->header);
  WriteOutput(out, entry->data, entry->size);
}

void ProduceBtx(OutputFile* out, const EntryFiles* entry) {
  WriteOutput(out, entry->data, entry->size);
}

void WriteListingText(void* context, const char* text, size_t size) {
  WriteOutput(static_cast<OutputFile*>(context), text, size);
}

void ProduceBas(OutputFile* out, const EntryFiles* entry) {
  ListBasicProgram(entry->data, entry->size, WriteListingText, out);
}

// The one way an extraction writes a file: "<base><extension>", never over one of the run's
// inputs, replacing an old file only once the new one is complete.
void WriteEntryFile(const VelkorRun* run, const char* base, const char* extension,
                    ProduceFile produce, const EntryFiles* entry) {
  char name[kOutputNameSize];
  // A base name has at most 17 characters: the name always fits.
  (void)std::snprintf(name, sizeof name, "%s%s", base, extension);
  if (IsRunInput(run, name)) {
    std::printf("ERROR: File '%s' is an input file, not replaced!\n", name);
    return;
  }
  OutputFile out;
  bool written = OpenOutput(&out, name);
  if (written) {
    produce(&out, entry);
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
  CMTHeaderStr header;
  BuildMzfHeader(&header, attribute, name->field, size, load, exec);
  EntryFiles entry = {&header, run->work + dataOffset, size};

  WriteEntryFile(run, base, ".mzf", ProduceMzf, &entry);
  if (!IsBasicAttribute(attribute)) return;
  WriteEntryFile(run, base, ".btx", ProduceBtx, &entry);
  WriteEntryFile(run, base, ".bas", ProduceBas, &entry);
}
