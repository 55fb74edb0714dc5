// mztape on one fuzzed input file: MZTAPE_DECODE reads it as a recording (libsndfile's parsing,
// the audio layer, the decoder, the output names and files; -k keeps damaged files too), otherwise
// it is encoded as MZF files or an MZT tape at the lowest rate.
#include <cstddef>
#include <cstdint>

#include "cassette/mztape.h"
#include "fuzz/scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterScratchDirectory();
#ifdef MZTAPE_DECODE
  WriteScratchFile("input.wav", data, size);
  char program[] = "mztape";
  char command[] = "decode";
  char keep[] = "-k";
  char input[] = "input.wav";
  char* argv[] = {program, command, keep, input, nullptr};
  MztapeMain(4, argv);
#else
  WriteScratchFile("input.mzf", data, size);
  char program[] = "mztape";
  char command[] = "encode";
  char fast[] = "--fast";
  char rate[] = "-r";
  char lowest[] = "8000";
  char bits[] = "--bits";
  char eight[] = "8";
  char input[] = "input.mzf";
  char* argv[] = {program, command, fast, rate, lowest, bits, eight, input, nullptr};
  MztapeMain(8, argv);
#endif
  ClearScratchDirectory();
  return 0;
}
