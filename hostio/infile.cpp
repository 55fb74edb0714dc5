#include "hostio/infile.h"

#include <sys/stat.h>

FILE* OpenInputFile(const char* name) {
  FILE* file = std::fopen(name, "rb");
  if (file == nullptr) return nullptr;
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
    (void)std::fclose(file);
    return nullptr;
  }
  return file;
}

long InputFileLength(FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return 0;
  long length = std::ftell(file);
  if (std::fseek(file, 0, SEEK_SET) != 0) return 0;  // the start is out of reach: nothing to read
  return length < 0 ? 0 : length;
}

size_t ReadInput(FILE* file, void* to, size_t size) {
  return size == 0 ? 0 : std::fread(to, 1, size, file);
}
