// Files as the operating system gives them: raw bytes, no text translation
// (the callers do their own, so the stored bytes are the same everywhere),
// 64-bit offsets. Paths are UTF-8; on Windows a path that is not valid UTF-8
// is taken in the ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>

// An open file; noFile when there is none.
using MeshFileHandle = intptr_t;
inline constexpr MeshFileHandle noFile = -1;

// What an opened file is: whether it can be rewound, and its size when it is
// an ordinary file (-1 otherwise).
struct MeshFileInfo {
  bool rewindable;
  int64_t size;
};

enum MeshSeekOrigin : int32_t {
  meshSeekStart = 0,
  meshSeekCurrent = 1,
};

// Opens path for reading. 0 on success; 1 when it cannot be opened or is a
// folder.
int32_t openFileForReading(const char* path, MeshFileHandle* file, MeshFileInfo* info);

// Creates path, or empties it, for reading and writing. 0 on success, 1 when
// it cannot be.
int32_t createFileForUpdate(const char* path, MeshFileHandle* file);

// Whether a file at path can be written whole elsewhere and put in its place
// (export_files.h, PendingOutput): path names nothing (yet), or an ordinary
// file that this process may write, reached by its own name and having no
// other. A folder, a device, a pipe, a link, or a file that may not be
// written is written in place, as it always was; so is an empty path.
bool isReplaceableFile(const char* path);

// Reads up to `bytes` bytes, resuming after interruptions: the count read,
// 0 at the end of the file, -1 on an error.
int64_t readFromFile(MeshFileHandle file, char* to, size_t bytes);

// Writes all of bytes; false when some could not be written.
bool writeToFile(MeshFileHandle file, const char* bytes, size_t count);

// Moves the position; gives the new position, or -1 when it cannot.
int64_t seekFile(MeshFileHandle file, int64_t offset, MeshSeekOrigin origin);

// Closes the file; false when closing reported an error. Safe on noFile.
bool closeFile(MeshFileHandle file);

// Which file an open handle or a path stands for, whatever name reached it:
// two identities are equal exactly when they are the same file (through
// any path, hard link or symbolic link).
struct MeshFileIdentity {
  uint64_t volume;
  uint64_t index;
};

// The identity of an open file. 0 on success, 1 when the system cannot say.
int32_t identifyOpenFile(MeshFileHandle file, MeshFileIdentity* identity);

// The identity of the file that path names, following links. 0 on success,
// 1 when path names nothing that exists (or the system cannot say).
int32_t identifyPath(const char* path, MeshFileIdentity* identity);

// The longest path, in bytes of UTF-8, that the system accepts: a longer one
// names no file.
size_t longestPathBytes();
