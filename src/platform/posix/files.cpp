#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

int32_t openFileForReading(const char* path, MeshFileHandle* file, MeshFileInfo* info) {
  *file = noFile;
  int fd;
  do {
    fd = open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return 1;
  struct stat status {};
  if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    close(fd);
    return 1;
  }
  const bool regular = S_ISREG(status.st_mode);
  info->rewindable = regular || lseek(fd, 0, SEEK_CUR) >= 0;
  info->size = regular ? static_cast<int64_t>(status.st_size) : -1;
  *file = fd;
  return 0;
}

int32_t createFileForUpdate(const char* path, MeshFileHandle* file) {
  int fd;
  do {
    fd = open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  *file = fd;
  return fd < 0 ? 1 : 0;
}

bool isReplaceableFile(const char* path) {
  struct stat status {};
  if (path[0] == '\0') return false;  // names nothing that can be made
  if (lstat(path, &status) != 0) return errno == ENOENT;
  return S_ISREG(status.st_mode) && status.st_nlink == 1 && access(path, W_OK) == 0;
}

int64_t readFromFile(MeshFileHandle file, char* to, size_t bytes) {
  for (;;) {
    const ssize_t got = read(static_cast<int>(file), to, bytes);
    if (got >= 0 || errno != EINTR) return got;
  }
}

bool writeToFile(MeshFileHandle file, const char* bytes, size_t count) {
  while (count > 0) {
    const ssize_t done = write(static_cast<int>(file), bytes, count);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (done == 0) return false;
    bytes += done;
    count -= static_cast<size_t>(done);
  }
  return true;
}

int64_t seekFile(MeshFileHandle file, int64_t offset, MeshSeekOrigin origin) {
  static_assert(sizeof(off_t) == 8, "64-bit file offsets");
  return lseek(static_cast<int>(file), static_cast<off_t>(offset),
               origin == meshSeekStart ? SEEK_SET : SEEK_CUR);
}

bool closeFile(MeshFileHandle file) {
  if (file == noFile) return true;
  // Linux releases the descriptor even when close is interrupted; retrying
  // could close someone else's.
  return close(static_cast<int>(file)) == 0 || errno == EINTR;
}

int32_t identifyOpenFile(MeshFileHandle file, MeshFileIdentity* identity) {
  struct stat status {};
  if (fstat(static_cast<int>(file), &status) != 0) return 1;
  *identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
  return 0;
}

int32_t identifyPath(const char* path, MeshFileIdentity* identity) {
  struct stat status {};
  if (stat(path, &status) != 0) return 1;
  *identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
  return 0;
}

// PATH_MAX counts the terminating NUL.
size_t longestPathBytes() { return PATH_MAX - 1; }
