// Scratch folders and runs of the real binary on POSIX systems.
#include "test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

std::filesystem::path nativePath(const std::string& path) { return path; }

std::string makeScratchDir() {
  static std::atomic<int> serial{0};
  const char* base = std::getenv("TMPDIR");
  std::string root = (base != nullptr && *base != '\0') ? base : "/tmp";
  std::string pattern = root + "/tsvmesh-test-" + std::to_string(getpid()) + "-" +
                        std::to_string(serial++) + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return std::string(buffer.data());
}

bool fileExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

namespace {

std::string drain(int fd) {
  std::string text;
  char chunk[65536];
  for (;;) {
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(chunk, static_cast<size_t>(got));
  }
  return text;
}

}  // namespace

ProcessResult runProgram(const std::string& program, const std::vector<std::string>& argv,
                         const std::string& workDir, const std::string& stdinPath,
                         int timeoutSeconds) {
  // Output goes to unlinked temporary files, so a large transcript cannot
  // block the child on a full pipe.
  char outName[] = "/tmp/tsvmesh-out-XXXXXX";
  char errName[] = "/tmp/tsvmesh-err-XXXXXX";
  int outFd = mkstemp(outName);
  int errFd = mkstemp(errName);
  if (outFd < 0 || errFd < 0) throw std::runtime_error("mkstemp failed");
  unlink(outName);
  unlink(errName);

  const ExecLine line = execLineFor(program, argv);
  std::vector<char*> args;
  for (const std::string& arg : line.argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    setsid();
    int in = open(stdinPath.empty() ? "/dev/null" : stdinPath.c_str(), O_RDONLY);
    if (in >= 0) dup2(in, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
    execvp(line.file.c_str(), args.data());
    _exit(127);
  }

  ProcessResult result;
  int waitStatus = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  for (;;) {
    pid_t done = waitpid(child, &waitStatus, WNOHANG);
    if (done == child) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &waitStatus, 0);
      break;
    }
    usleep(2000);
  }
  if (WIFEXITED(waitStatus)) result.status = WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) result.status = 128 + WTERMSIG(waitStatus);

  lseek(outFd, 0, SEEK_SET);
  lseek(errFd, 0, SEEK_SET);
  result.out = drain(outFd);
  result.err = drain(errFd);
  close(outFd);
  close(errFd);
  return result;
}

// Under qemu-user the host's Python is another architecture's program.
bool hostToolsShareFiles() { return std::string(TSVMESH_EMULATOR).empty(); }
