#include "platform/files.h"

#include <windows.h>

#include <new>
#include <string>

#include "platform/windows/names.h"

namespace {

// ReadFile and WriteFile take 32-bit counts.
constexpr size_t largestTransfer = size_t{1} << 30;

HANDLE asHandle(MeshFileHandle file) { return reinterpret_cast<HANDLE>(file); }

MeshFileHandle fromHandle(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? noFile : reinterpret_cast<MeshFileHandle>(handle);
}

// The system's form of path; false when there is no memory to make it, and
// then the file cannot be opened.
bool toSystemPath(const char* path, std::wstring* name) {
  try {
    *name = systemPath(path);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// The volume's serial number and the file's index on it name one file.
int32_t identityOf(HANDLE handle, MeshFileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handle, &information)) return 1;
  *identity = {information.dwVolumeSerialNumber,
               (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
  return 0;
}

}  // namespace

int32_t openFileForReading(const char* path, MeshFileHandle* file, MeshFileInfo* info) {
  *file = noFile;
  std::wstring name;
  if (!toSystemPath(path, &name)) return 1;
  // A folder opens only with backup semantics, which are not asked for: it
  // fails here like a missing file.
  const HANDLE handle =
      CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  *file = fromHandle(handle);
  if (handle == INVALID_HANDLE_VALUE) return 1;
  // Pipes, the console and devices cannot be rewound.
  info->rewindable = GetFileType(handle) == FILE_TYPE_DISK;
  LARGE_INTEGER size{};
  info->size = info->rewindable && GetFileSizeEx(handle, &size) ? static_cast<int64_t>(size.QuadPart) : -1;
  return 0;
}

int32_t createFileForUpdate(const char* path, MeshFileHandle* file) {
  *file = noFile;
  std::wstring name;
  if (!toSystemPath(path, &name)) return 1;
  const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  *file = fromHandle(handle);
  return handle == INVALID_HANDLE_VALUE ? 1 : 0;
}

bool isReplaceableFile(const char* path) {
  std::wstring name;
  if (path[0] == '\0' || !toSystemPath(path, &name)) return false;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
  }
  constexpr DWORD notOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY |
                                FILE_ATTRIBUTE_DEVICE;
  if ((attributes & notOrdinary) != 0) return false;
  const HANDLE handle = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool single = GetFileInformationByHandle(handle, &info) && info.nNumberOfLinks == 1 &&
                      GetFileType(handle) == FILE_TYPE_DISK;
  CloseHandle(handle);
  return single;
}

int64_t readFromFile(MeshFileHandle file, char* to, size_t bytes) {
  DWORD got = 0;
  const DWORD asked = static_cast<DWORD>(bytes < largestTransfer ? bytes : largestTransfer);
  if (ReadFile(asHandle(file), to, asked, &got, nullptr)) return got;
  // A pipe whose writer has gone has simply ended.
  const DWORD error = GetLastError();
  return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : -1;
}

bool writeToFile(MeshFileHandle file, const char* bytes, size_t count) {
  while (count > 0) {
    DWORD done = 0;
    const DWORD asked = static_cast<DWORD>(count < largestTransfer ? count : largestTransfer);
    if (!WriteFile(asHandle(file), bytes, asked, &done, nullptr) || done == 0) return false;
    bytes += done;
    count -= done;
  }
  return true;
}

int64_t seekFile(MeshFileHandle file, int64_t offset, MeshSeekOrigin origin) {
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  LARGE_INTEGER position{};
  if (!SetFilePointerEx(asHandle(file), distance, &position, origin == meshSeekStart ? FILE_BEGIN : FILE_CURRENT)) {
    return -1;
  }
  return position.QuadPart;
}

bool closeFile(MeshFileHandle file) {
  return file == noFile || CloseHandle(asHandle(file)) != 0;
}

int32_t identifyOpenFile(MeshFileHandle file, MeshFileIdentity* identity) {
  return identityOf(asHandle(file), identity);
}

int32_t identifyPath(const char* path, MeshFileIdentity* identity) {
  std::wstring name;
  if (!toSystemPath(path, &name)) return 1;
  // No access asked for, so that neither sharing nor permissions refuse
  // the look; backup semantics open a folder too.
  const HANDLE handle = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 1;
  const int32_t result = identityOf(handle, identity);
  CloseHandle(handle);
  return result;
}

// 32767 UTF-16 units through the \\?\ prefix, each at most three bytes of
// UTF-8.
size_t longestPathBytes() { return size_t{32767} * 3; }
