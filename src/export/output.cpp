#include "export/output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr size_t writeCapacity = size_t{1} << 20;

// The temporary file's name for the signal handler, which may use only
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

bool writeAll(int fd, const char* bytes, size_t count, int* errorNumber) {
  while (count > 0) {
    const ssize_t done = write(fd, bytes, count);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      *errorNumber = done < 0 ? errno : EIO;
      return false;
    }
    bytes += done;
    count -= static_cast<size_t>(done);
  }
  return true;
}

void flushBuffer(ExportOutput* output) {
  if (output->used > 0 && output->errorNumber == 0) {
    writeAll(output->fd, output->buffer, output->used, &output->errorNumber);
  }
  output->used = 0;
}

}  // namespace

bool openExportOutput(const char* path, ExportOutput* output) {
  output->path = path;
  const size_t slash = output->path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : output->path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? output->path : output->path.substr(slash + 1);
  std::string pattern = folder + "." + name + ".XXXXXX";
  if (pattern.size() >= sizeof pendingTemporary) {
    output->errorNumber = ENAMETOOLONG;
    return false;
  }
  std::vector<char> writable(pattern.begin(), pattern.end());
  writable.push_back('\0');
  std::memcpy(pendingTemporary, writable.data(), writable.size());
  watchSignals(true);
  output->fd = mkostemp(writable.data(), O_CLOEXEC);
  if (output->fd < 0) {
    output->errorNumber = errno;
    pendingTemporary[0] = '\0';
    watchSignals(false);
    return false;
  }
  output->temporary = writable.data();
  std::memcpy(pendingTemporary, writable.data(), writable.size());
  // mkostemp makes the file private; the finished file gets the permissions
  // of any newly created file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(output->fd, 0666 & ~mask);
  output->buffer = static_cast<char*>(std::malloc(writeCapacity));
  if (output->buffer == nullptr) output->errorNumber = ENOMEM;
  return true;
}

void writeExportBytes(ExportOutput* output, const char* bytes, size_t count) {
  if (output->errorNumber != 0) return;
  if (output->used + count > writeCapacity) {
    flushBuffer(output);
    if (count >= writeCapacity) {
      writeAll(output->fd, bytes, count, &output->errorNumber);
      return;
    }
  }
  std::memcpy(output->buffer + output->used, bytes, count);
  output->used += count;
}

bool finishExportOutput(ExportOutput* output) {
  flushBuffer(output);
  if (close(output->fd) != 0 && output->errorNumber == 0) output->errorNumber = errno;
  output->fd = -1;
  if (output->errorNumber == 0 && rename(output->temporary.c_str(), output->path.c_str()) != 0) {
    output->errorNumber = errno;
  }
  if (output->errorNumber != 0) {
    abandonExportOutput(output);
    return false;
  }
  std::free(output->buffer);
  output->buffer = nullptr;
  pendingTemporary[0] = '\0';
  watchSignals(false);
  return true;
}

void abandonExportOutput(ExportOutput* output) {
  if (output->fd >= 0) close(output->fd);
  output->fd = -1;
  if (!output->temporary.empty()) unlink(output->temporary.c_str());
  std::free(output->buffer);
  output->buffer = nullptr;
  pendingTemporary[0] = '\0';
  watchSignals(false);
}
