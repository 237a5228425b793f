#include "platform/export_files.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

#include "platform/windows/names.h"

namespace {

// The temporary's name for the console control handler, which runs on a
// thread of its own while the main thread may be writing: a fixed array.
wchar_t pendingTemporary[32768];
std::atomic<bool> pendingSet{false};

// The temporary is open with FILE_SHARE_DELETE, so deleting it here marks
// it, and Windows removes it as the process ends.
BOOL WINAPI removeTemporaryOnInterrupt(DWORD) {
  if (pendingSet.load()) DeleteFileW(pendingTemporary);
  return FALSE;  // the default handler ends the process
}

void watchInterrupts(const std::wstring& temporary) {
  if (temporary.size() >= sizeof pendingTemporary / sizeof pendingTemporary[0]) return;
  std::wmemcpy(pendingTemporary, temporary.c_str(), temporary.size() + 1);
  pendingSet.store(true);
  SetConsoleCtrlHandler(removeTemporaryOnInterrupt, TRUE);
}

void forgetTemporary() {
  SetConsoleCtrlHandler(removeTemporaryOnInterrupt, FALSE);
  pendingSet.store(false);
}

HANDLE asHandle(MeshFileHandle file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

int32_t lastSystemError() {
  const DWORD code = GetLastError();
  return code != 0 ? static_cast<int32_t>(code) : exportErrorUnknown;
}

std::string systemErrorText(int32_t code) {
  // The common cases in the words Linux uses, so that messages read alike.
  switch (code) {
    case exportErrorNotAFile: return "not a file";
    case exportErrorNameTooLong:
    case ERROR_FILENAME_EXCED_RANGE: return "File name too long";
    case exportErrorUnknown: return "Input/output error";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return "No such file or directory";
    case ERROR_ACCESS_DENIED: return "Permission denied";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return "in use by another program";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "No space left on device";
    case exportErrorNoMemory:
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return "Cannot allocate memory";
    default: break;
  }
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? narrowName(text, length) : "Windows error " + std::to_string(code);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

int32_t openExportInput(const char* path, MeshFileHandle* file, int64_t* size) {
  const std::wstring name = systemPath(path);
  const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const int32_t code = lastSystemError();
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return exportErrorNotAFile;
    }
    return code;
  }
  LARGE_INTEGER bytes{};
  *size = GetFileType(handle) == FILE_TYPE_DISK && GetFileSizeEx(handle, &bytes) ? bytes.QuadPart : -1;
  *file = reinterpret_cast<MeshFileHandle>(handle);
  return 0;
}

namespace {

int32_t openHiddenBeside(const char* path, PendingOutput* pending, DWORD access, DWORD sharing) {
  pending->path = path;
  const size_t slash = pending->path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? "" : pending->path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? pending->path : pending->path.substr(slash + 1);
  static std::atomic<uint32_t> serial{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const uint64_t mix = GetTickCount64() * 0x9E3779B97F4A7C15u ^ (uint64_t{GetCurrentProcessId()} << 32) ^ serial++;
    char suffix[32];
    for (int i = 0; i < 6; ++i) suffix[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[(mix >> (6 * i)) % 36];
    suffix[6] = '\0';
    pending->temporary = folder + "." + name + "." + suffix;
    const std::wstring temporary = systemPath(pending->temporary.c_str());
    const HANDLE handle =
        CreateFileW(temporary.c_str(), access, sharing, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      pending->file = reinterpret_cast<MeshFileHandle>(handle);
      watchInterrupts(temporary);
      return 0;
    }
    const int32_t code = lastSystemError();
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
      pending->temporary.clear();
      return code;
    }
  }
  pending->temporary.clear();
  return ERROR_FILE_EXISTS;
}

// Moves temporary over target. A file that another process has open for a
// moment (another run looking at the same path, a virus scanner) cannot be
// replaced until it is closed again: such refusals are retried for about
// two seconds.
int32_t replaceWith(const std::wstring& temporary, const std::wstring& target) {
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
    const int32_t code = lastSystemError();
    const bool busy = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
    if (!busy || attempt >= 100) return code;
    Sleep(20);
  }
}

}  // namespace

int32_t openPendingOutput(const char* path, PendingOutput* pending) {
  return openHiddenBeside(path, pending, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE);
}

int32_t openPendingUpdate(const char* path, PendingOutput* pending) {
  return openHiddenBeside(path, pending, GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
}

int32_t publishPendingOutput(PendingOutput* pending) {
  int32_t code = 0;
  if (pending->file != noFile && !CloseHandle(asHandle(pending->file))) code = lastSystemError();
  pending->file = noFile;
  const std::wstring temporary = systemPath(pending->temporary.c_str());
  if (code == 0) code = replaceWith(temporary, systemPath(pending->path.c_str()));
  if (code != 0) DeleteFileW(temporary.c_str());
  forgetTemporary();
  return code;
}

void discardPendingOutput(PendingOutput* pending) {
  if (pending->file != noFile) CloseHandle(asHandle(pending->file));
  pending->file = noFile;
  if (!pending->temporary.empty()) {
    DeleteFileW(systemPath(pending->temporary.c_str()).c_str());
    forgetTemporary();
  }
}

int32_t checkOutputTarget(const char* path) {
  const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return exportErrorNotAFile;
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? ERROR_ACCESS_DENIED : 0;
}

int32_t removeExportFile(const char* path) {
  if (DeleteFileW(systemPath(path).c_str())) return 0;
  const int32_t code = lastSystemError();
  return code == ERROR_FILE_NOT_FOUND ? 0 : code;
}

CalendarTime fileModifiedUtc(const char* path) {
  CalendarTime when;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  SYSTEMTIME parts{};
  if (!GetFileAttributesExW(systemPath(path).c_str(), GetFileExInfoStandard, &data) ||
      !FileTimeToSystemTime(&data.ftLastWriteTime, &parts)) {
    return when;
  }
  when.year = parts.wYear;
  when.month = parts.wMonth;
  when.day = parts.wDay;
  when.hour = parts.wHour;
  when.minute = parts.wMinute;
  when.second = parts.wSecond;
  return when;
}

bool standardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}
