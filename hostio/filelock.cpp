#include "hostio/filelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool SameFile(const struct stat* a, const struct stat* b) {
  return a->st_dev == b->st_dev && a->st_ino == b->st_ino;
}

}  // namespace

int LockFile(const char* first, const char* second) {
  for (;;) {
    const char* name = first;
    int fd = open(first, O_RDONLY | O_CLOEXEC);
    if (fd < 0 && second != nullptr) {
      name = second;
      fd = open(second, O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) return -1;
    int locked;
    while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
      (void)close(fd);
      return -1;
    }
    struct stat held;
    struct stat named;
    if (fstat(fd, &held) == 0 && stat(name, &named) == 0 && SameFile(&held, &named)) return fd;
    (void)close(fd);  // replaced while this run waited: lock the new file
  }
}

void UnlockFile(int lock) {
  if (lock >= 0) (void)close(lock);
}
