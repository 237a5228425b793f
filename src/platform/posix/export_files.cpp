#include "platform/export_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// A named temporary's name for the signal handler, which may use only
// async-signal-safe calls: a fixed array, never a std::string.
char pendingTemporary[4096];

void removeTemporaryAndDie(int signalNumber) {
  if (pendingTemporary[0] != '\0') unlink(pendingTemporary);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

void watchSignals(bool on) {
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    signal(signalNumber, on ? removeTemporaryAndDie : SIG_DFL);
  }
}

void forgetTemporary() {
  pendingTemporary[0] = '\0';
  watchSignals(false);
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ".NAME.XXXXXX" beside path.
std::string hiddenPattern(const std::string& path) { return folderOf(path) + "." + nameOf(path) + ".XXXXXX"; }

// The named temporary, for systems and file systems without O_TMPFILE.
int32_t openNamedTemporary(PendingOutput* pending) {
  const std::string pattern = hiddenPattern(pending->path);
  if (pattern.size() >= sizeof pendingTemporary) return exportErrorNameTooLong;
  std::vector<char> writable(pattern.begin(), pattern.end());
  writable.push_back('\0');
  std::memcpy(pendingTemporary, writable.data(), writable.size());
  watchSignals(true);
  const int fd = mkostemp(writable.data(), O_CLOEXEC);
  if (fd < 0) {
    const int32_t code = errno;
    forgetTemporary();
    return code;
  }
  std::memcpy(pendingTemporary, writable.data(), writable.size());
  pending->temporary = writable.data();
  pending->file = fd;
  // mkostemp makes the file private; the finished file gets the permissions
  // of any newly created file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  return 0;
}

// Links the unnamed file at path. A link cannot replace a file, so an
// existing path is replaced by a rename from a fresh hidden link.
int32_t linkUnnamed(int fd, const std::string& path) {
  char self[64];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  if (linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  if (errno != EEXIST) return errno;
  static std::atomic<uint32_t> serial{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%ld.%u.%ld", static_cast<long>(getpid()), serial++,
                  static_cast<long>(now.tv_nsec));
    const std::string hidden = folderOf(path) + "." + nameOf(path) + suffix;
    if (linkat(AT_FDCWD, self, AT_FDCWD, hidden.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) continue;
      return errno;
    }
    if (rename(hidden.c_str(), path.c_str()) == 0) return 0;
    const int32_t code = errno;
    unlink(hidden.c_str());
    return code;
  }
  return EEXIST;
}

}  // namespace

int32_t lastSystemError() { return errno != 0 ? errno : exportErrorUnknown; }

std::string systemErrorText(int32_t code) {
  switch (code) {
    case exportErrorNotAFile: return "not a file";
    case exportErrorNameTooLong: return std::strerror(ENAMETOOLONG);
    case exportErrorNoMemory: return std::strerror(ENOMEM);
    case exportErrorUnknown: return std::strerror(EIO);
    default: return std::strerror(code);
  }
}

int32_t openExportInput(const char* path, MeshFileHandle* file, int64_t* size) {
  int fd;
  do {
    fd = open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  struct stat status {};
  if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    close(fd);
    return exportErrorNotAFile;
  }
  *size = S_ISREG(status.st_mode) ? static_cast<int64_t>(status.st_size) : -1;
  *file = fd;
  return 0;
}

int32_t openPendingOutput(const char* path, PendingOutput* pending) {
  pending->path = path;
  pending->temporary.clear();
  // Unnamed, so that even a killed export leaves nothing. It is linked
  // through /proc, so without /proc the named temporary serves.
#ifdef O_TMPFILE
  const std::string folder = folderOf(pending->path);
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd >= 0) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (access(self, F_OK) == 0) {
      pending->file = fd;
      return 0;
    }
    close(fd);
  }
#endif
  return openNamedTemporary(pending);
}

int32_t openPendingUpdate(const char* path, PendingOutput* pending) {
  pending->path = path;
  pending->temporary.clear();
  return openNamedTemporary(pending);
}

int32_t publishPendingOutput(PendingOutput* pending) {
  const int fd = static_cast<int>(pending->file);
  int32_t code = 0;
  if (pending->temporary.empty()) {
    code = linkUnnamed(fd, pending->path);
    if (close(fd) != 0 && code == 0 && errno != EINTR) code = errno;
    pending->file = noFile;
    return code;
  }
  if (fd >= 0 && close(fd) != 0 && errno != EINTR) code = errno;
  pending->file = noFile;
  if (code == 0 && rename(pending->temporary.c_str(), pending->path.c_str()) != 0) code = errno;
  if (code != 0) unlink(pending->temporary.c_str());
  forgetTemporary();
  return code;
}

void discardPendingOutput(PendingOutput* pending) {
  if (pending->file != noFile) close(static_cast<int>(pending->file));
  pending->file = noFile;
  if (!pending->temporary.empty()) {
    unlink(pending->temporary.c_str());
    forgetTemporary();
  }
}

int32_t checkOutputTarget(const char* path) {
  struct stat status {};
  return stat(path, &status) == 0 && S_ISDIR(status.st_mode) ? exportErrorNotAFile : 0;
}

int32_t removeExportFile(const char* path) { return unlink(path) == 0 || errno == ENOENT ? 0 : errno; }

CalendarTime fileModifiedUtc(const char* path) {
  CalendarTime when;
  struct stat status {};
  if (stat(path, &status) != 0) return when;
  const time_t seconds = status.st_mtime;
  tm parts{};
  if (gmtime_r(&seconds, &parts) == nullptr) return when;
  when.year = parts.tm_year + 1900;
  when.month = parts.tm_mon + 1;
  when.day = parts.tm_mday;
  when.hour = parts.tm_hour;
  when.minute = parts.tm_min;
  when.second = parts.tm_sec;
  return when;
}

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }
