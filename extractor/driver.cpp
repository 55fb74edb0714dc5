#include <cstdlib>
#include <cstring>

#include "extractor/velkor.h"
#include "hostio/infile.h"

namespace {

// The mode named by the first of several arguments; 0 when it is no switch.
int ParseSwitch(const char* arg) {
  static const char* const kSwitches[] = {"-v", "-V", "-q", "-Q", "-t", "-T"};
  for (int i = 0; i < 6; ++i) {
    if (std::strcmp(arg, kSwitches[i]) == 0) return i + 1;
  }
  return kModePlain;
}

void ListImage(VelkorRun* run, FILE* file) {
  switch (run->mode) {
    case kModeQd:
    case kModeQdColumns:
      ListQdDirectory(run, file);
      break;
    case kModeMzt:
    case kModeMztColumns:
      ListMztDirectory(run, file);
      break;
    default:
      ListMemoryDisk(run, file);
      break;
  }
}

}  // namespace

long ReadImageHead(VelkorRun* run, FILE* image, uint8_t* head, size_t headSize) {
  std::memset(head, 0, headSize);  // bytes a short file lacks read as 0
  ReadInput(image, head, headSize);
  long length = InputFileLength(image);
  if (length > static_cast<long>(kWorkBufferSize)) length = kWorkBufferSize;
  ReadInput(image, run->work, static_cast<size_t>(length));
  return length;
}

int VelkorMain(int argc, char** argv) {
  std::printf("\nVelkor ver. %s\n\n", kVelkorVersion);

  VelkorRun state;
  VelkorRun* run = &state;
  std::memset(run, 0, sizeof *run);
  int first = 1;
  // A single argument is always a file name.
  if (argc > 2) {
    run->mode = ParseSwitch(argv[1]);
    if (run->mode != kModePlain) first = 2;
  }
  run->inputs = argv + first;
  run->inputCount = argc > first ? argc - first : 0;

  run->work = static_cast<uint8_t*>(std::malloc(kWorkBufferSize));
  if (run->work == nullptr) return 1;
  std::memset(run->work, 0xFF, kWorkBufferSize);

  for (int i = first; i < argc; ++i) {
    FILE* file = OpenInputFile(argv[i]);
    if (file == nullptr) {
      std::printf("ERROR: File '%s' not found!\n", argv[i]);
      continue;
    }
    std::printf("File: %s\n", argv[i]);
    ListImage(run, file);
    (void)std::fclose(file);
    std::printf("\n");
  }

  std::free(run->work);
  run->work = nullptr;
  return 0;
}
