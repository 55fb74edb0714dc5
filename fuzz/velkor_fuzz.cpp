// Velkor on one fuzzed input file, read twice in one run (the second read meets the stale work
// buffer and the entry capacity left by the first). VELKOR_SWITCH picks the reader.
#include <cstddef>
#include <cstdint>

#include "extractor/velkor.h"
#include "fuzz/scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterScratchDirectory();
  WriteScratchFile("input.img", data, size);
  char program[] = "velkor";
  char sw[] = VELKOR_SWITCH;
  char input[] = "input.img";
  char* argv[] = {program, sw, input, input, nullptr};
  VelkorMain(4, argv);
  ClearScratchDirectory();
  return 0;
}
