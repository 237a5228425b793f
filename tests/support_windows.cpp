// Scratch folders and runs of the real binary on Windows.
#include "test_support.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>

#include "platform/windows/names.h"

namespace {

// A command-line word as CommandLineToArgvW and the C runtime split it.
std::wstring quoted(const std::wstring& word) {
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : word) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
    slashes = 0;
    out.push_back(c);
  }
  out.append(2 * slashes, L'\\');
  out.push_back(L'"');
  return out;
}

HANDLE inheritable(const std::wstring& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &security,
                     disposition, FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

// The child's text-mode streams end lines with CR LF; the tests compare
// the text as it reads on any system.
std::string readTranscript(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  std::string text;
  if (file == INVALID_HANDLE_VALUE) return text;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
  CloseHandle(file);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

std::filesystem::path nativePath(const std::string& path) { return wideName(path); }

std::string makeScratchDir() {
  static std::atomic<int> serial{0};
  const std::filesystem::path root = std::filesystem::temp_directory_path();
  for (;;) {
    const std::filesystem::path dir =
        root / ("tsvmesh-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++) + "-" +
                std::to_string(GetTickCount64()));
    if (std::filesystem::create_directory(dir)) return dir.generic_string();
  }
}

bool fileExists(const std::string& path) {
  return GetFileAttributesW(wideName(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

ProcessResult runProgram(const std::string& program, const std::vector<std::string>& argv,
                         const std::string& workDir, const std::string& stdinPath, int timeoutSeconds) {
  static std::atomic<int> serial{0};
  const std::wstring base = std::filesystem::temp_directory_path().wstring() + L"\\tsvmesh-run-" +
                            std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(serial++);
  const std::wstring outPath = base + L".out";
  const std::wstring errPath = base + L".err";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inheritable(stdinPath.empty() ? L"NUL" : wideName(stdinPath), GENERIC_READ, OPEN_EXISTING);
  startup.hStdOutput = inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
  startup.hStdError = inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);

  std::wstring commandLine;
  for (const std::string& word : argv) commandLine += (commandLine.empty() ? L"" : L" ") + quoted(wideName(word));
  const std::wstring folder = wideName(workDir);
  PROCESS_INFORMATION process{};
  // No console for the child, so that a key wait returns at once.
  const BOOL started = CreateProcessW(wideName(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                      DETACHED_PROCESS, nullptr, workDir.empty() ? nullptr : folder.c_str(),
                                      &startup, &process);
  CloseHandle(startup.hStdInput);
  CloseHandle(startup.hStdOutput);
  CloseHandle(startup.hStdError);
  if (!started) throw std::runtime_error("cannot start " + program);

  ProcessResult result;
  if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutSeconds) * 1000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 137);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  result.status = static_cast<int>(code & 0xFF);  // -1 reads as 255, as on POSIX
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  result.out = readTranscript(outPath);
  result.err = readTranscript(errPath);
  DeleteFileW(outPath.c_str());
  DeleteFileW(errPath.c_str());
  return result;
}

bool hostToolsShareFiles() { return false; }
