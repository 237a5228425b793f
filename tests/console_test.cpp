// The key wait as a user meets it: the real binary on a pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTimeoutSeconds = 10;
const std::string kKeyPrompt = "\"\r\nPress any key to exit.";

// The program running with a pty slave as its controlling terminal. The test
// keeps the slave open too, to read the terminal's modes and input queue
// after the program has gone.
struct TerminalRun {
  pid_t pid = -1;
  int master = -1;
  int slave = -1;
  struct termios before {};

  TerminalRun() = default;
  TerminalRun(const TerminalRun&) = delete;
  TerminalRun& operator=(const TerminalRun&) = delete;
  ~TerminalRun() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (master >= 0) close(master);
    if (slave >= 0) close(slave);
  }
};

// Starts tsvmesh with args on a fresh terminal in cooked mode. typedAhead is
// in the terminal's input before the program starts; stdinPath, when given,
// replaces standard input (output stays on the terminal).
void startOnTerminal(TerminalRun* run, const std::vector<std::string>& args,
                     const std::string& typedAhead = "", const std::string& stdinPath = "") {
  ASSERT_EQ(openpty(&run->master, &run->slave, nullptr, nullptr, nullptr), 0) << std::strerror(errno);
  ASSERT_EQ(tcgetattr(run->slave, &run->before), 0);
  ASSERT_NE(run->before.c_lflag & ICANON, 0u);
  ASSERT_NE(run->before.c_lflag & ECHO, 0u);
  if (!typedAhead.empty()) {
    ASSERT_EQ(write(run->master, typedAhead.data(), typedAhead.size()),
              static_cast<ssize_t>(typedAhead.size()));
  }

  std::vector<std::string> argv{tsvmeshBinary()};
  argv.insert(argv.end(), args.begin(), args.end());
  ExecLine line = execLineFor(tsvmeshBinary(), argv);
  std::vector<char*> argPointers;
  for (std::string& arg : line.argv) argPointers.push_back(arg.data());
  argPointers.push_back(nullptr);

  std::fflush(nullptr);
  run->pid = fork();
  ASSERT_GE(run->pid, 0);
  if (run->pid == 0) {
    setsid();
    if (ioctl(run->slave, TIOCSCTTY, 0) != 0) _exit(120);
    dup2(run->slave, 0);
    dup2(run->slave, 1);
    dup2(run->slave, 2);
    if (!stdinPath.empty()) {
      const int in = open(stdinPath.c_str(), O_RDONLY);
      if (in < 0 || dup2(in, 0) < 0) _exit(121);
      close(in);
    }
    close(run->master);
    if (run->slave > 2) close(run->slave);
    execvp(line.file.c_str(), argPointers.data());
    _exit(127);
  }
}

// Everything the terminal shows until `wanted` has appeared (or the timeout).
std::string readScreenUntil(int master, const std::string& wanted) {
  std::string screen;
  const auto deadline = Clock::now() + std::chrono::seconds(kTimeoutSeconds);
  while (screen.find(wanted) == std::string::npos && Clock::now() < deadline) {
    struct pollfd watch {master, POLLIN, 0};
    if (poll(&watch, 1, 20) <= 0) continue;
    char chunk[4096];
    const ssize_t got = read(master, chunk, sizeof chunk);
    if (got <= 0) break;
    screen.append(chunk, static_cast<size_t>(got));
  }
  return screen;
}

// Whatever the terminal has shown that nobody has read yet.
std::string readScreenRest(int master) {
  std::string screen;
  for (;;) {
    struct pollfd watch {master, POLLIN, 0};
    if (poll(&watch, 1, 50) <= 0) return screen;
    char chunk[4096];
    const ssize_t got = read(master, chunk, sizeof chunk);
    if (got <= 0) return screen;
    screen.append(chunk, static_cast<size_t>(got));
  }
}

// The key wait has begun once the terminal has left canonical mode.
bool waitUntilRaw(int slave) {
  const auto deadline = Clock::now() + std::chrono::seconds(kTimeoutSeconds);
  while (Clock::now() < deadline) {
    struct termios modes {};
    if (tcgetattr(slave, &modes) == 0 && (modes.c_lflag & ICANON) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

bool stillRunningAfter(pid_t pid, int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  return waitpid(pid, nullptr, WNOHANG) == 0;
}

// The exit status (0..255), 128 + signal number, or -1 when the program has
// not ended within the timeout; it is killed then, so that the checks after
// this do not meet a reader still blocked on the terminal.
int waitForEnd(TerminalRun* run) {
  const auto deadline = Clock::now() + std::chrono::seconds(kTimeoutSeconds);
  int status = 0;
  while (Clock::now() < deadline) {
    const pid_t done = waitpid(run->pid, &status, WNOHANG);
    if (done == run->pid) {
      run->pid = -1;
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(run->pid, SIGKILL);
  waitpid(run->pid, nullptr, 0);
  run->pid = -1;
  return -1;
}

void sendKey(const TerminalRun& run, const std::string& key) {
  ASSERT_EQ(write(run.master, key.data(), key.size()), static_cast<ssize_t>(key.size()));
}

void expectModesAsBefore(const TerminalRun& run) {
  struct termios after {};
  ASSERT_EQ(tcgetattr(run.slave, &after), 0);
  EXPECT_EQ(after.c_iflag, run.before.c_iflag);
  EXPECT_EQ(after.c_oflag, run.before.c_oflag);
  EXPECT_EQ(after.c_cflag, run.before.c_cflag);
  EXPECT_EQ(after.c_lflag, run.before.c_lflag);
  EXPECT_EQ(std::memcmp(after.c_cc, run.before.c_cc, sizeof after.c_cc), 0);
}

// Bytes left in the terminal's input. In canonical mode the count leaves out
// an unfinished line, so the queue is looked at in non-canonical mode.
std::string leftInInput(const TerminalRun& run) {
  struct termios modes = run.before;
  modes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  modes.c_cc[VMIN] = 0;
  modes.c_cc[VTIME] = 0;
  if (tcsetattr(run.slave, TCSANOW, &modes) != 0) return "<tcsetattr failed>";
  // Non-blocking as well: a read would wait while anyone else is reading.
  fcntl(run.slave, F_SETFL, fcntl(run.slave, F_GETFL) | O_NONBLOCK);
  std::string left;
  char chunk[256];
  for (;;) {
    const ssize_t got = read(run.slave, chunk, sizeof chunk);
    if (got <= 0) return left;
    left.append(chunk, static_cast<size_t>(got));
  }
}

std::string missingTsvPath() { return makeScratchDir() + "/absent.tsv"; }

// Starts the program on a missing file and returns once it waits for a key,
// having checked the message and that nothing else was shown.
void startAndReachKeyWait(TerminalRun* run, const std::string& path) {
  ASSERT_NO_FATAL_FAILURE(startOnTerminal(run, {path}));
  const std::string expected = "Failed to open TSV file \"" + path + kKeyPrompt;
  EXPECT_EQ(readScreenUntil(run->master, expected), expected);
  ASSERT_TRUE(waitUntilRaw(run->slave)) << "the key wait never set up the terminal";
}

TEST(ConsoleKeyWait, PlainKeyEndsTheWaitWithoutEcho) {
  TerminalRun run;
  ASSERT_NO_FATAL_FAILURE(startAndReachKeyWait(&run, missingTsvPath()));
  EXPECT_TRUE(stillRunningAfter(run.pid, 300)) << "ended without a key";

  sendKey(run, "x");
  EXPECT_EQ(waitForEnd(&run), 255);
  EXPECT_EQ(readScreenRest(run.master), "");
  expectModesAsBefore(run);
  EXPECT_EQ(leftInInput(run), "");
}

TEST(ConsoleKeyWait, InterruptKeyIsAnOrdinaryKey) {
  TerminalRun run;
  ASSERT_NO_FATAL_FAILURE(startAndReachKeyWait(&run, missingTsvPath()));
  sendKey(run, "\x03");
  EXPECT_EQ(waitForEnd(&run), 255) << "128 + 2 would mean SIGINT ended it";
  EXPECT_EQ(readScreenRest(run.master), "");
  expectModesAsBefore(run);
  EXPECT_EQ(leftInInput(run), "");
}

TEST(ConsoleKeyWait, MultiByteKeysAreConsumedWhole) {
  const std::vector<std::string> keys = {
      "\x1b[A",      // cursor up
      "\x1b[15~",    // F5
      "\x1b[1;5C",   // Ctrl+cursor right
      "\x1bOP",      // F1 (SS3)
      "\x1b[[A",     // F1 on the Linux console
      "\x1b" "x",    // Alt+x
      "\xc3\xa9",    // a two-byte UTF-8 character
      "\xe2\x82\xac",  // a three-byte UTF-8 character
      "\x1b",        // Escape alone
  };
  const std::string path = missingTsvPath();
  for (const std::string& key : keys) {
    SCOPED_TRACE(testing::PrintToString(key));
    TerminalRun run;
    ASSERT_NO_FATAL_FAILURE(startAndReachKeyWait(&run, path));
    sendKey(run, key);
    EXPECT_EQ(waitForEnd(&run), 255);
    expectModesAsBefore(run);
    EXPECT_EQ(leftInInput(run), "");
  }
}

TEST(ConsoleKeyWait, KeyTypedAheadEndsTheWaitAtOnce) {
  const std::string path = missingTsvPath();
  TerminalRun run;
  ASSERT_NO_FATAL_FAILURE(startOnTerminal(&run, {path}, "x"));
  // No key is sent: a wait that discarded pending input would hang here.
  EXPECT_EQ(waitForEnd(&run), 255);
  const std::string screen = readScreenRest(run.master);
  EXPECT_NE(screen.find("Failed to open TSV file \"" + path + kKeyPrompt), std::string::npos) << screen;
  expectModesAsBefore(run);
  EXPECT_EQ(leftInInput(run), "");
}

TEST(ConsoleKeyWait, WaitsOnTheTerminalWhenStandardInputIsAFile) {
  const std::string dir = makeScratchDir();
  const std::string path = dir + "/absent.tsv";
  writeFile(dir + "/keys.txt", "yyyy\n");
  TerminalRun run;
  ASSERT_NO_FATAL_FAILURE(startOnTerminal(&run, {path}, "", dir + "/keys.txt"));
  const std::string expected = "Failed to open TSV file \"" + path + kKeyPrompt;
  EXPECT_EQ(readScreenUntil(run.master, expected), expected);
  ASSERT_TRUE(waitUntilRaw(run.slave));
  EXPECT_TRUE(stillRunningAfter(run.pid, 300)) << "took its key from standard input";

  sendKey(run, "x");
  EXPECT_EQ(waitForEnd(&run), 255);
  expectModesAsBefore(run);
  EXPECT_EQ(leftInInput(run), "");
}

TEST(ConsoleKeyWait, TerminationDuringTheWaitRestoresTheTerminal) {
  TerminalRun run;
  ASSERT_NO_FATAL_FAILURE(startAndReachKeyWait(&run, missingTsvPath()));
  ASSERT_EQ(kill(run.pid, SIGTERM), 0);
  EXPECT_EQ(waitForEnd(&run), 128 + SIGTERM);
  expectModesAsBefore(run);
}

// Standard output is unbuffered on a terminal: the progress text, which has
// no line end, is on the screen before the CSV message on standard error.
TEST(ConsoleKeyWait, ProgressTextPrecedesTheFailureMessageOnTheScreen) {
  const std::string dir = makeScratchDir();
  const std::string csvPath = dir + "/no-such-folder/out.csv";
  writeFile(dir + "/three.tsv", csvPath + "\n0 0 0\n1 0 0\n0 1 0\n");
  TerminalRun run;
  ASSERT_NO_FATAL_FAILURE(startOnTerminal(&run, {dir + "/three.tsv"}));
  const std::string expected =
      "\r\nProcessing Points..Failed to open CSV file \"" + csvPath + kKeyPrompt;
  EXPECT_EQ(readScreenUntil(run.master, expected), expected);
  ASSERT_TRUE(waitUntilRaw(run.slave));
  sendKey(run, " ");
  EXPECT_EQ(waitForEnd(&run), 255);
  expectModesAsBefore(run);
}

// --no-wait on a terminal: the message, then the end, with the terminal
// never taken out of its modes.
TEST(ConsoleKeyWait, NoWaitEndsAtOnceOnATerminal) {
  const std::string path = missingTsvPath();
  TerminalRun run;
  ASSERT_NO_FATAL_FAILURE(startOnTerminal(&run, {"--no-wait", path}));
  const std::string expected = "Failed to open TSV file \"" + path + kKeyPrompt;
  EXPECT_EQ(readScreenUntil(run.master, expected), expected);
  EXPECT_EQ(waitForEnd(&run), 255);
  expectModesAsBefore(run);
}

}  // namespace
