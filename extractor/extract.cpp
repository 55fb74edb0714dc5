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

// What a producer put into a file: all of it, or only the first `kept` bytes.
struct Produced {
  bool cut;
  uint32_t kept;
};

// Puts one output file's bytes into `out`.
typedef Produced (*ProduceFile)(OutputFile* out, const EntryFiles* entry);

Produced ProduceMzf(OutputFile* out, const EntryFiles* entry) {
  WriteOutput(out, entry->header, sizeof *entry->header);
  WriteOutput(out, entry->data, entry->size);
  return {false, 0};
}

Produced ProduceBtx(OutputFile* out, const EntryFiles* entry) {
  WriteOutput(out, entry->data, entry->size);
  return {false, 0};
}

void WriteListingText(void* context, const char* text, size_t size) {
  WriteOutput(static_cast<OutputFile*>(context), text, size);
}

// The listing of a damaged program may be cut at kListingLimit.
Produced ProduceBas(OutputFile* out, const EntryFiles* entry) {
  ListingExtent extent = ListBasicProgram(entry->data, entry->size, WriteListingText, out);
  return {extent.cut, extent.kept};
}

// The one way an extraction writes a file: "<base><extension>", never over one of the run's
// inputs, replacing an old file only once the new one is complete. A file written only in part
// (a cut listing) says so after it is in place.
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
  Produced produced = {false, 0};
  bool written = OpenOutput(&out, name);
  if (written) {
    produced = produce(&out, entry);
    written = CommitOutput(&out, false);
  }
  if (!written) {
    std::printf("ERROR: Cannot write file '%s'!\n", name);
  } else if (produced.cut) {
    std::printf("ERROR: Listing '%s' cut at %u bytes!\n", name,
                static_cast<unsigned>(produced.kept));
  }
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
