#include "fuzz/scratch.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
char gDirectory[256];

void RemoveScratchDirectory() {
  ClearScratchDirectory();
  if (chdir("/") == 0) rmdir(gDirectory);
}
}  // namespace

void EnterScratchDirectory() {
  if (gDirectory[0] != '\0') return;
  const char* base = std::getenv("TMPDIR");
  std::snprintf(gDirectory, sizeof gDirectory, "%s/mzfuzz.XXXXXX",
                base != nullptr && *base != '\0' ? base : "/tmp");
  if (mkdtemp(gDirectory) == nullptr || chdir(gDirectory) != 0) std::abort();
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  std::atexit(RemoveScratchDirectory);
}

void ClearScratchDirectory() {
  DIR* dir = opendir(".");
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      if (unlink(entry->d_name) != 0) rmdir(entry->d_name);
    }
  }
  closedir(dir);
}

void WriteScratchFile(const char* name, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(name, "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}
