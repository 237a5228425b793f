#include "platform/console.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// Room for a whole run's transcript between flushes when standard output is
// a file or a pipe; the stream is flushed when the process ends.
char stdoutBuffer[65536];

// The bytes of one key reach us together; a gap this long means the next
// byte belongs to another key.
constexpr int keyByteGapMs = 40;

// The terminal as the key wait found it, for the signal handler that puts
// it back when the process is ended during the wait.
volatile sig_atomic_t waitTerminal = -1;
struct termios waitSavedModes;
constexpr int restoredSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
constexpr int restoredSignalCount = static_cast<int>(sizeof restoredSignals / sizeof restoredSignals[0]);
struct sigaction previousActions[restoredSignalCount];

void restoreAndReraise(int signalNumber) {
  if (waitTerminal >= 0) tcsetattr(waitTerminal, TCSANOW, &waitSavedModes);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

// While the terminal is in raw mode, a signal that ends the process must not
// leave it there. A signal the process ignores stays ignored.
void guardSignals() {
  for (int i = 0; i < restoredSignalCount; ++i) {
    struct sigaction action {};
    action.sa_handler = restoreAndReraise;
    sigemptyset(&action.sa_mask);
    for (int j = 0; j < restoredSignalCount; ++j) sigaddset(&action.sa_mask, restoredSignals[j]);
    sigaction(restoredSignals[i], nullptr, &previousActions[i]);
    if (previousActions[i].sa_handler != SIG_IGN) sigaction(restoredSignals[i], &action, nullptr);
  }
}

void unguardSignals() {
  for (int i = 0; i < restoredSignalCount; ++i) sigaction(restoredSignals[i], &previousActions[i], nullptr);
}

// Blocks for one byte. False on end of input or an error (a hang-up).
bool readByte(int fd, unsigned char* byte) {
  for (;;) {
    const ssize_t got = read(fd, byte, 1);
    if (got == 1) return true;
    if (got < 0 && errno == EINTR) continue;
    return false;
  }
}

// One more byte of the same key, if it arrives within the gap.
bool readFollowingByte(int fd, unsigned char* byte) {
  struct pollfd watch {};
  watch.fd = fd;
  watch.events = POLLIN;
  for (;;) {
    const int ready = poll(&watch, 1, keyByteGapMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    return readByte(fd, byte);
  }
}

bool isFinalByte(unsigned char byte) { return byte >= 0x40 && byte <= 0x7E; }

// The rest of a UTF-8 character after its lead byte.
void consumeContinuation(int fd, unsigned char lead) {
  int more = 0;
  if (lead >= 0xC2 && lead <= 0xDF) more = 1;
  else if (lead >= 0xE0 && lead <= 0xEF) more = 2;
  else if (lead >= 0xF0 && lead <= 0xF4) more = 3;
  unsigned char byte = 0;
  for (int i = 0; i < more; ++i) {
    if (!readFollowingByte(fd, &byte) || (byte & 0xC0) != 0x80) return;
  }
}

// After ESC '[': parameters and intermediates up to the final byte. The
// Linux console sends F1-F5 as ESC '[' '[' letter.
void consumeControlSequence(int fd) {
  unsigned char byte = 0;
  if (!readFollowingByte(fd, &byte)) return;
  if (byte == '[') {
    readFollowingByte(fd, &byte);
    return;
  }
  while (!isFinalByte(byte)) {
    if (byte < 0x20 || byte > 0x3F) return;  // not a control sequence after all
    if (!readFollowingByte(fd, &byte)) return;
  }
}

// After ESC 'O': function keys and the keypad, possibly with a modifier
// parameter ahead of the final byte.
void consumeShiftedSequence(int fd) {
  unsigned char byte = 0;
  do {
    if (!readFollowingByte(fd, &byte)) return;
  } while (byte >= 0x30 && byte <= 0x3F);
}

// Everything a key sends after its first byte, so that none of it is left
// for whoever reads the terminal next.
void consumeRestOfKey(int fd, unsigned char first, bool afterEscape) {
  if (first != 0x1B) {
    consumeContinuation(fd, first);
    return;
  }
  unsigned char next = 0;
  if (!readFollowingByte(fd, &next)) return;  // Escape on its own
  if (next == '[') consumeControlSequence(fd);
  else if (next == 'O') consumeShiftedSequence(fd);
  else if (!afterEscape) consumeRestOfKey(fd, next, true);  // Alt with a key
}

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void printText(FILE* stream, const std::string& text) { printText(stream, text.data(), text.size()); }

void printText(FILE* stream, const char* text, size_t length) { std::fwrite(text, 1, length, stream); }

void setupConsole() {
  if (isatty(STDOUT_FILENO)) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
  } else {
    std::setvbuf(stdout, stdoutBuffer, _IOFBF, sizeof stdoutBuffer);
  }
  std::setvbuf(stderr, nullptr, _IONBF, 0);
}

void waitForKey() {
  // The terminal itself: standard input may be a file.
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  struct termios saved {};
  if (tcgetattr(fd, &saved) != 0) {
    close(fd);
    return;
  }
  struct termios raw = saved;
  raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                        IXOFF | IXANY | INPCK);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;

  waitTerminal = fd;
  waitSavedModes = saved;
  guardSignals();
  // TCSANOW, not TCSAFLUSH: a key typed ahead is kept and ends the wait.
  if (tcsetattr(fd, TCSANOW, &raw) == 0) {
    unsigned char first = 0;
    if (readByte(fd, &first)) consumeRestOfKey(fd, first, false);
    tcsetattr(fd, TCSANOW, &saved);
  }
  unguardSignals();
  waitTerminal = -1;
  close(fd);
}
