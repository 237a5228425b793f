// The companion tool's files (and the program's triangle file): an output
// written out of sight and put in place whole, the input's identity and date, and standard error's terminal.
// Failures are the system's own codes (errno, GetLastError()) or the
// negative codes below; 0 is success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"

inline constexpr int32_t exportErrorUnknown = -1;   // the system gave no reason
inline constexpr int32_t exportErrorNotAFile = -2;  // a folder
inline constexpr int32_t exportErrorNameTooLong = -3;
inline constexpr int32_t exportErrorNoMemory = -4;

// The last failed system call's code.
int32_t lastSystemError();

// A code as a short English text ("No such file or directory").
std::string systemErrorText(int32_t code);

// Opens path for reading; size is -1 when it is not an ordinary file.
int32_t openExportInput(const char* path, MeshFileHandle* file, int64_t* size);

// The output while it is written. Where the system has files without a
// name (Linux O_TMPFILE), temporary stays empty and nothing is visible until
// the file is published; elsewhere it names a hidden file beside path, which
// an interrupt (Ctrl-C, SIGTERM, the console closing) removes.
struct PendingOutput {
  MeshFileHandle file = noFile;
  std::string path;
  std::string temporary;
};

int32_t openPendingOutput(const char* path, PendingOutput* pending);

// The hidden file beside path always, with a name, for reading and writing:
// another handle can open it by that name while it is written.
int32_t openPendingUpdate(const char* path, PendingOutput* pending);

// Closes the file (unless the caller has closed it and set it to noFile)
// and puts it at path, replacing any file there in one step.
// On failure the temporary is removed and path left as it was.
int32_t publishPendingOutput(PendingOutput* pending);

// Closes and removes the temporary; path is left as it was.
void discardPendingOutput(PendingOutput* pending);

// 0 when nothing is at path or a file that publishing may replace;
// exportErrorNotAFile for a folder (and on Windows a read-only file's
// ERROR_ACCESS_DENIED). Lets a set of files be checked before any is put
// in place.
int32_t checkOutputTarget(const char* path);

// Removes the file at path; 0 also when there was none.
int32_t removeExportFile(const char* path);

// Whether the two paths name one existing file (through links, other
// spellings or hard links).
inline bool pathsNameOneFile(const char* first, const char* second) {
  MeshFileIdentity one{};
  MeshFileIdentity other{};
  return identifyPath(first, &one) == 0 && identifyPath(second, &other) == 0 && one.volume == other.volume &&
         one.index == other.index;
}

struct CalendarTime {
  int32_t year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// The file's last modification in UTC; the epoch when it cannot be read.
CalendarTime fileModifiedUtc(const char* path);

// Standard error is an interactive terminal or console.
bool standardErrorIsTerminal();
