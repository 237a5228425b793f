#include "platform/console.h"

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <cstdio>
#include <new>
#include <string>

#include "platform/windows/names.h"

namespace {

// Room for a whole run's transcript between flushes when standard output is
// a file or a pipe; the stream is flushed when the process ends.
char stdoutBuffer[65536];

// The rest of a key press (its repeats and its release) follows within this
// time; a press held longer leaves only its later repeats behind.
constexpr DWORD keyReleaseWaitMs = 2000;

bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// The console input as the key wait found it, for the handler that puts it
// back when the process is ended during the wait (Ctrl+Break, the window
// closed).
HANDLE waitInput = INVALID_HANDLE_VALUE;
DWORD waitSavedMode = 0;
// Set when a console delivers Ctrl+C as a signal all the same (Wine on a
// terminal does): it then ends the wait like any other key.
HANDLE waitControlC = nullptr;

BOOL WINAPI onControlEvent(DWORD type) {
  if (type == CTRL_C_EVENT && waitControlC != nullptr) {
    SetEvent(waitControlC);
    return TRUE;
  }
  if (waitInput != INVALID_HANDLE_VALUE) SetConsoleMode(waitInput, waitSavedMode);
  return FALSE;  // the default handling ends the process
}

bool isModifier(WORD key) {
  switch (key) {
    case VK_SHIFT: case VK_CONTROL: case VK_MENU: case VK_LSHIFT: case VK_RSHIFT:
    case VK_LCONTROL: case VK_RCONTROL: case VK_LMENU: case VK_RMENU: case VK_LWIN:
    case VK_RWIN: case VK_CAPITAL: case VK_NUMLOCK: case VK_SCROLL:
      return true;
    default:
      return false;
  }
}

// Waits for the first event of a key press; false when Ctrl+C came as a
// signal instead, or the console failed.
bool readFirstEvent(HANDLE input, INPUT_RECORD* record) {
  const HANDLE watched[2] = {input, waitControlC};
  for (;;) {
    const DWORD ready = WaitForMultipleObjects(waitControlC != nullptr ? 2 : 1, watched, FALSE, INFINITE);
    if (ready != WAIT_OBJECT_0) return false;
    DWORD got = 0;
    if (!PeekConsoleInputW(input, record, 1, &got)) return false;
    if (got == 1) return ReadConsoleInputW(input, record, 1, &got) != 0 && got == 1;
  }
}

bool readEvent(HANDLE input, INPUT_RECORD* record) {
  DWORD got = 0;
  return ReadConsoleInputW(input, record, 1, &got) != 0 && got == 1;
}

// The next event without taking it, waiting up to `waitMs`.
bool peekEvent(HANDLE input, INPUT_RECORD* record, DWORD waitMs) {
  DWORD got = 0;
  if (PeekConsoleInputW(input, record, 1, &got) && got == 1) return true;
  if (WaitForSingleObject(input, waitMs) != WAIT_OBJECT_0) return false;
  return PeekConsoleInputW(input, record, 1, &got) != 0 && got == 1;
}

// Takes what belongs to the press of `key`: its auto-repeats, the second
// half of a character beyond the 16-bit range, releases (also of the
// modifiers held with it), up to the release of the key itself. Another
// key's press is left for whoever reads the console next.
void consumeRestOfPress(HANDLE input, WORD key) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= keyReleaseWaitMs) return;
    INPUT_RECORD record;
    if (!peekEvent(input, &record, keyReleaseWaitMs - elapsed)) return;
    if (record.EventType == KEY_EVENT) {
      const KEY_EVENT_RECORD& event = record.Event.KeyEvent;
      const bool sameKey = event.wVirtualKeyCode == key;
      const bool lowSurrogate = event.uChar.UnicodeChar >= 0xDC00 && event.uChar.UnicodeChar <= 0xDFFF;
      if (event.bKeyDown && !sameKey && !lowSurrogate) return;
      readEvent(input, &record);
      if (!event.bKeyDown && sameKey) return;
    } else {
      readEvent(input, &record);  // focus, menu and size events carry no key
    }
  }
}

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(narrowName(wide[i], wcslen(wide[i])));
  LocalFree(wide);
  return arguments;
}

void setupConsole() {
  if (isConsole(GetStdHandle(STD_OUTPUT_HANDLE))) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
  } else {
    std::setvbuf(stdout, stdoutBuffer, _IOFBF, sizeof stdoutBuffer);
  }
  std::setvbuf(stderr, nullptr, _IONBF, 0);
}

void printText(FILE* stream, const std::string& text) { printText(stream, text.data(), text.size()); }

void printText(FILE* stream, const char* text, size_t length) {
  const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  std::wstring wide;
  if (isConsole(handle) && length <= INT32_MAX) {
    try {
      // The console shows characters, not bytes: a name in the text reads
      // as the name it opens.
      wide = wideName(std::string(text, length));
    } catch (const std::bad_alloc&) {
      wide.clear();
    }
  }
  if (wide.empty()) {
    std::fwrite(text, 1, length, stream);
    return;
  }
  std::fflush(stream);
  DWORD written = 0;
  WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

void waitForKey() {
  // The console itself: standard input may be a file or a pipe.
  const HANDLE input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) return;
  DWORD saved = 0;
  if (!GetConsoleMode(input, &saved)) {
    CloseHandle(input);
    return;
  }
  // No echo, no line editing, and Ctrl+C as an ordinary key; keys arrive as
  // key events, never as escape sequences.
  const DWORD raw = saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT |
                                                ENABLE_MOUSE_INPUT | ENABLE_WINDOW_INPUT |
                                                ENABLE_VIRTUAL_TERMINAL_INPUT);
  waitInput = input;
  waitSavedMode = saved;
  waitControlC = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(onControlEvent, TRUE);
  // A key typed ahead is not flushed: it ends the wait at once.
  if (SetConsoleMode(input, raw)) {
    INPUT_RECORD record;
    while (readFirstEvent(input, &record)) {
      if (record.EventType != KEY_EVENT) continue;
      const KEY_EVENT_RECORD& event = record.Event.KeyEvent;
      if (!event.bKeyDown || isModifier(event.wVirtualKeyCode)) continue;
      consumeRestOfPress(input, event.wVirtualKeyCode);
      break;
    }
    SetConsoleMode(input, saved);
  }
  SetConsoleCtrlHandler(onControlEvent, FALSE);
  waitInput = INVALID_HANDLE_VALUE;
  if (waitControlC != nullptr) CloseHandle(waitControlC);
  waitControlC = nullptr;
  CloseHandle(input);
}
