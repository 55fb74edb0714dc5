// Drasil's "dir" and "add" on a fuzzed image. For "add" the input is split: its first byte
// chooses how much of the rest is the MZF file, the remainder is the image.
#include <cstddef>
#include <cstdint>

#include "fuzz/scratch.h"

int DrasilMain(int argc, char** argv);

namespace {

void RunDrasil(const char* command, const char* file) {
  char program[] = "drasil";
  char* argv[] = {program, const_cast<char*>(command), const_cast<char*>(file), nullptr};
  DrasilMain(file == nullptr ? 2 : 3, argv);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterScratchDirectory();
#ifdef DRASIL_ADD
  if (size < 3) return 0;
  // The MZF file takes a share of the input in 1/255 steps, so both parts can grow large.
  size_t mzfSize = (size - 1) * data[0] / 255;
  WriteScratchFile("file.mzf", data + 1, mzfSize);
  WriteScratchFile("MZ700.QD", data + 1 + mzfSize, size - 1 - mzfSize);
  RunDrasil("add", "file.mzf");
#else
  WriteScratchFile("MZ700.qd", data, size);
  RunDrasil("dir", nullptr);
#endif
  ClearScratchDirectory();
  return 0;
}
