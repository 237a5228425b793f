// Helpers shared by the fuzz targets.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A failed check: say what broke on descriptor 2 (stderr may be silenced)
// and abort, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition, what)                                                        \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      dprintf(2, "fuzz check failed at %s:%d: %s (%s)\n", __FILE__, __LINE__, #condition,   \
              std::string(what).c_str());                                                  \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)

// An in-memory regular file (seekable, like a file on disk) reachable by a
// path, so that the code under test can open it by name.
struct MemoryFile {
  int fd = -1;
  std::string path;
};

inline MemoryFile makeMemoryFile(const char* name) {
  MemoryFile file;
  file.fd = memfd_create(name, 0);
  if (file.fd < 0) {
    std::perror("memfd_create");
    std::abort();
  }
  file.path = "/proc/self/fd/" + std::to_string(file.fd);
  return file;
}

inline void fillMemoryFile(const MemoryFile& file, const void* bytes, size_t size) {
  if (ftruncate(file.fd, 0) != 0 ||
      (size > 0 && pwrite(file.fd, bytes, size, 0) != static_cast<ssize_t>(size))) {
    std::perror("memory file");
    std::abort();
  }
}

inline std::string memoryFileBytes(const MemoryFile& file) {
  std::string bytes;
  char chunk[4096];
  off_t at = 0;
  for (;;) {
    const ssize_t got = pread(file.fd, chunk, sizeof chunk, at);
    if (got <= 0) break;
    bytes.append(chunk, static_cast<size_t>(got));
    at += got;
  }
  return bytes;
}

// The code under test talks to the console through stdout and stderr; the
// fuzzer's own reports (and the sanitizers') go to descriptor 2 directly, so
// swapping the FILE pointers silences the one without losing the other.
struct QuietConsole {
  FILE* savedOut;
  FILE* savedErr;
  QuietConsole() : savedOut(stdout), savedErr(stderr) {
    static FILE* sink = std::fopen("/dev/null", "w");
    stdout = sink;
    stderr = sink;
  }
  ~QuietConsole() {
    stdout = savedOut;
    stderr = savedErr;
  }
};
