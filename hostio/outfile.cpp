#include "hostio/outfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxLinkHops = 40;

bool CopyText(char* to, const char* from, size_t capacity) {
  size_t length = std::strlen(from);
  if (length >= capacity) return false;
  std::memcpy(to, from, length + 1);
  return true;
}

// Length of the directory part of a path, including its last slash (0 for a bare name).
size_t DirectoryLength(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
}

// Follows symbolic links at `name` to the file that a write through the name would reach.
bool ResolveTarget(const char* name, char* target) {
  if (!CopyText(target, name, kPathCapacity)) return false;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info;
    if (lstat(target, &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    char link[kPathCapacity];
    ssize_t length = readlink(target, link, sizeof link - 1);
    if (length < 0) return false;
    link[length] = '\0';
    if (link[0] == '/') {
      std::memcpy(target, link, static_cast<size_t>(length) + 1);
      continue;
    }
    size_t dirLength = DirectoryLength(target);
    if (dirLength + static_cast<size_t>(length) >= kPathCapacity) return false;
    std::memcpy(target + dirLength, link, static_cast<size_t>(length) + 1);
  }
  return false;  // a loop of links
}

mode_t NewFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool OpenOutput(OutputFile* out, const char* name) {
  out->stream = nullptr;
  out->temp[0] = '\0';
  if (!ResolveTarget(name, out->target)) return false;

  mode_t mode = NewFileMode();
  struct stat info;
  if (stat(out->target, &info) == 0) {
    if (S_ISDIR(info.st_mode) || access(out->target, W_OK) != 0) return false;
    mode = info.st_mode & 07777;
  }

  size_t dirLength = DirectoryLength(out->target);
  const char* base = out->target + dirLength;
  static const char kSuffix[] = ".XXXXXX";
  if (dirLength + 1 + std::strlen(base) + sizeof kSuffix > kPathCapacity) return false;
  std::memcpy(out->temp, out->target, dirLength);
  out->temp[dirLength] = '.';
  std::strcpy(out->temp + dirLength + 1, base);
  std::strcat(out->temp, kSuffix);

  int fd = mkstemp(out->temp);
  if (fd < 0) {
    out->temp[0] = '\0';
    return false;
  }
  fchmod(fd, mode);
  out->stream = fdopen(fd, "wb");
  if (out->stream == nullptr) {
    close(fd);
    unlink(out->temp);
    out->temp[0] = '\0';
    return false;
  }
  return true;
}

void WriteOutput(OutputFile* out, const void* data, size_t size) {
  // A short write sets the stream's error flag, which CommitOutput checks.
  if (size > 0) (void)std::fwrite(data, 1, size, out->stream);
}

bool CommitOutput(OutputFile* out, bool sync) {
  bool ok = std::fflush(out->stream) == 0 && !std::ferror(out->stream);
  if (ok && sync) ok = fsync(fileno(out->stream)) == 0;
  if (std::fclose(out->stream) != 0) ok = false;
  out->stream = nullptr;
  if (ok) ok = std::rename(out->temp, out->target) == 0;
  if (!ok) unlink(out->temp);
  out->temp[0] = '\0';
  return ok;
}

void DiscardOutput(OutputFile* out) {
  if (out->stream != nullptr) (void)std::fclose(out->stream);  // the file goes anyway
  out->stream = nullptr;
  if (out->temp[0] != '\0') unlink(out->temp);
  out->temp[0] = '\0';
}

bool WriteWholeFile(const char* name, const void* data, size_t size, bool sync) {
  OutputFile out;
  if (!OpenOutput(&out, name)) return false;
  WriteOutput(&out, data, size);
  return CommitOutput(&out, sync);
}
