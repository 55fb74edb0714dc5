// Pandrel packing fuzzed MZF files: the input is cut into files at every "\n--\n".
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fuzz/scratch.h"
#include "packer/pandrel.h"

namespace {
constexpr int kMaxFiles = 40;
const char kSeparator[] = "\n--\n";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterScratchDirectory();
  char names[kMaxFiles][16];
  char* argv[kMaxFiles + 2];
  char program[] = "pandrel";
  argv[0] = program;
  int count = 0;
  size_t start = 0;
  while (count < kMaxFiles) {
    size_t end = start;
    while (end < size && !(size - end >= 4 && std::memcmp(data + end, kSeparator, 4) == 0)) ++end;
    std::snprintf(names[count], sizeof names[count], "f%02d.mzf", count);
    WriteScratchFile(names[count], data + start, end - start);
    argv[count + 1] = names[count];
    ++count;
    if (end >= size) break;
    start = end + 4;
  }
  argv[count + 1] = nullptr;
  PandrelMain(count + 1, argv);
  ClearScratchDirectory();
  return 0;
}
