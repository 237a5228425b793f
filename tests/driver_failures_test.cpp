// The ways a run ends before it has a mesh to write.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "driver/run.h"
#include "mesh/mesh_records.h"
#include "platform/files.h"
#include "test_support.h"

namespace {

std::set<std::string> folderEntries(const std::string& dir) {
  std::set<std::string> names;
  DIR* folder = opendir(dir.c_str());
  if (folder == nullptr) return names;
  while (dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.insert(name);
  }
  closedir(folder);
  return names;
}

std::string tsvMessage(const std::string& path) {
  return "Failed to open TSV file \"" + path + "\"\nPress any key to exit.";
}

TEST(DriverEarlyEnd, NoArgumentGivesTheUsageOnStandardError) {
  ProcessResult run = runTsvmeshBinary({});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("Usage: tsvmesh [--no-wait] POINTS_FILE\n", 0), 0u) << run.err;

  // Without even a program name the argument is still missing.
  ProcessResult bare = runProgram(tsvmeshBinary(), {}, "", "", 60);
  EXPECT_EQ(bare.status, 255);
  EXPECT_EQ(bare.out, "");
  EXPECT_EQ(bare.err, run.err);
}

TEST(DriverEarlyEnd, UnreadableTsvShowsThePathOnStandardError) {
  const std::string dir = makeScratchDir();
  // Relative, with a blank and a percent sign: the argument is shown unchanged.
  const std::vector<std::string> paths = {dir + "/absent.tsv", "no such %s file.tsv", dir};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    ProcessResult run = runTsvmeshBinary({path}, dir);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, tsvMessage(path));
  }
  EXPECT_EQ(folderEntries(dir), std::set<std::string>{});
}

TEST(DriverEarlyEnd, OnlyTheFirstArgumentCounts) {
  const std::string dir = makeScratchDir();
  const std::string good = dir + "/good.tsv";
  const std::string csv = dir + "/out.csv";
  writeFile(good, csv + "\n1 2 3\n4 5 6\n");  // two points: a silent end

  ProcessResult missingFirst = runTsvmeshBinary({dir + "/absent.tsv", good});
  EXPECT_EQ(missingFirst.status, 255);
  EXPECT_EQ(missingFirst.out, "");
  EXPECT_EQ(missingFirst.err, tsvMessage(dir + "/absent.tsv"));

  ProcessResult goodFirst = runTsvmeshBinary({good, dir + "/absent.tsv", "third"});
  EXPECT_EQ(goodFirst.status, 0);
  EXPECT_EQ(goodFirst.out, "");
  EXPECT_EQ(goodFirst.err, fewerPointsWarning(good));
  EXPECT_FALSE(fileExists(csv));
}

TEST(DriverEarlyEnd, FewerThanThreePointsEndWithoutACsv) {
  const std::string dir = makeScratchDir();
  const std::string csv = dir + "/out.csv";
  const std::string tsv = dir + "/few.tsv";
  const std::vector<std::pair<std::string, std::string>> bodies = {
      {"", ""},                                  // no points at all
      {"1 2 3\n", ""},                           // one point
      {"1 2 3\n4 5 6\n", ""},                    // two points
      {"1 2 3\r\n4 5 6\r\n7 8\r\n", pointsEndWarning(4, tsv)},  // a partial third
      {"1 2 3\n4 5 6\nseven 8 9\n10 11 12\n", pointsEndWarning(4, tsv)},  // a bad group
  };
  for (const auto& [body, warning] : bodies) {
    SCOPED_TRACE(body);
    writeFile(tsv, csv + "\n" + body);
    ProcessResult run = runTsvmeshBinary({tsv});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, warning + fewerPointsWarning(tsv));
    EXPECT_EQ(folderEntries(dir), std::set<std::string>{"few.tsv"});
  }
}

// A first line longer than any path names no CSV file: the run ends there,
// reading no further, whether the line ends or the file is all one line (a
// file of NUL bytes).
TEST(DriverEarlyEnd, FirstLineLongerThanAnyPathEndsTheRun) {
  const size_t longest = longestPathBytes();
  const std::string dir = makeScratchDir();
  writeFile(dir + "/nul.tsv", std::string(size_t{4} << 20, '\0'));
  writeFile(dir + "/long.tsv", std::string(longest + 1, 'a') + "\n0 0 1\n4 0 2\n0 3 3\n");
  const std::set<std::string> before = folderEntries(dir);
  for (const char* name : {"nul.tsv", "long.tsv"}) {
    SCOPED_TRACE(name);
    const ProcessResult run = runTsvmeshBinary({name}, dir);
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "The first line of \"" + std::string(name) +
                           "\" is longer than the longest path the system accepts (" + std::to_string(longest) +
                           " bytes): it names no CSV file.\nPress any key to exit.");
    EXPECT_EQ(folderEntries(dir), before);
  }
  // One byte shorter, the line is a path like any other: too long for a file
  // name, it fails when the CSV file is created.
  writeFile(dir + "/long.tsv", std::string(longest, 'a') + "\n0 0 1\n4 0 2\n0 3 3\n");
  const ProcessResult run = runTsvmeshBinary({"long.tsv"}, dir);
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.err, "Failed to open CSV file \"" + std::string(longest, 'a') + "\"\nPress any key to exit.");
}

// The heap refusal is reached in-process: a forked child swaps the heap,
// runs the driver with its streams on files, and reports the run's status.
constexpr int32_t kPoints = 3001;
size_t refusedBytes = 0;
int refusedCall = 0;  // counted from 1
int calls = 0;

void* refuseOneSize(size_t bytes) {
  if (bytes == refusedBytes) return nullptr;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void* refuseOneCall(size_t bytes) {
  if (++calls == refusedCall) return nullptr;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void* refuseEveryResize(void*, size_t) { return nullptr; }

struct InProcessRun {
  int status = -1;
  std::string out;
  std::string err;
};

InProcessRun runWithHeap(const std::string& tsvPath, const MeshHeap& heap) {
  const std::string dir = makeScratchDir();
  const std::string outPath = dir + "/stdout";
  const std::string errPath = dir + "/stderr";
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    setsid();  // no terminal: the key wait returns at once
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(120);
    meshHeap = heap;
    std::string program = "tsvmesh";
    std::string argument = tsvPath;
    char* argv[] = {program.data(), argument.data(), nullptr};
    const int result = runTsvmesh(2, argv);
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(result);
  }
  InProcessRun run;
  if (child < 0) return run;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (waitpid(child, &status, WNOHANG) != child) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.status = 128 + WTERMSIG(status);
  if (fileExists(outPath)) run.out = readFile(outPath);
  if (fileExists(errPath)) run.err = readFile(errPath);
  return run;
}

InProcessRun runWithRefusedSize(const std::string& tsvPath, size_t bytes) {
  refusedBytes = bytes;
  MeshHeap heap = meshHeap;
  heap.allocate = refuseOneSize;
  return runWithHeap(tsvPath, heap);
}

std::string pointLines(int32_t count) {
  std::string text;
  for (int32_t i = 0; i < count; ++i) {
    text += std::to_string(i % 61) + "." + std::to_string(i % 7) + "\t" + std::to_string(i / 61) +
            "\t" + std::to_string(i % 13) + "\n";
  }
  return text;
}

struct RefusalCase {
  const char* table;
  size_t bytes;
  const char* message;
};

TEST(DriverEarlyEnd, RefusedTablesAskForAKeyAndEndAsFailures) {
  // The point table has n + 3 slots, the triangle table room for 4n triangles.
  const RefusalCase cases[] = {
      {"point table", (kPoints + 3) * sizeof(MeshPoint),
       "\nFailed P Memory Allocation. Press any key to exit."},
      {"triangle table", 4 * kPoints * sizeof(MeshTriangle),
       "\nFailed v Memory Allocation. Press any key to exit."},
  };
  for (const RefusalCase& refusal : cases) {
    for (const bool csvExists : {false, true}) {
      SCOPED_TRACE(std::string(refusal.table) + (csvExists ? ", CSV exists" : ", no CSV"));
      const std::string dir = makeScratchDir();
      const std::string csv = dir + "/out.csv";
      writeFile(dir + "/points.tsv", csv + "\n" + pointLines(kPoints));
      if (csvExists) writeFile(csv, "an earlier mesh\r\n");

      const InProcessRun run = runWithRefusedSize(dir + "/points.tsv", refusal.bytes);
      EXPECT_EQ(run.status, 255);
      EXPECT_EQ(run.out, refusal.message);
      EXPECT_EQ(run.err, "");
      if (csvExists) {
        EXPECT_EQ(readFile(csv), "an earlier mesh\r\n");
      } else {
        EXPECT_FALSE(fileExists(csv));
      }
    }
  }
}

TEST(DriverEarlyEnd, RefusedMeshWorkingMemoryEndsAsARefusedTable) {
  // 400 points on a circle and one inside, whose hole outgrows the first
  // edge buffer. Calls 1 and 2 are the tables; each later one is the mesh's
  // working memory, until a run makes no such call.
  const std::string dir = makeScratchDir();
  std::string text = dir + "/out.csv\n100.25 100.125 7\n";
  for (int k = 0; k < 400; ++k) {
    const double angle = 2 * 3.14159265358979323846 * (k + 0.5) / 400;
    text += std::to_string(100 + 50 * std::cos(angle)) + " " + std::to_string(100 + 50 * std::sin(angle)) + " 0\n";
  }
  writeFile(dir + "/points.tsv", text);
  const std::string refused = "\nFailed v Memory Allocation. Press any key to exit.";
  bool completed = false;
  MeshHeap heap = meshHeap;
  for (refusedCall = 3; refusedCall < 12 && !completed; ++refusedCall) {
    SCOPED_TRACE(refusedCall);
    calls = 0;
    writeFile(dir + "/out.csv", "an earlier mesh");
    heap.allocate = refuseOneCall;
    const InProcessRun run = runWithHeap(dir + "/points.tsv", heap);
    completed = run.out.find("Formed") != std::string::npos;
    EXPECT_EQ(run.status, completed ? 0 : 255);
    if (!completed) {
      EXPECT_TRUE(run.out == refused || run.out == "\nProcessing Points.." + refused) << run.out;
      EXPECT_EQ(readFile(dir + "/out.csv"), "an earlier mesh");
    }
  }
  EXPECT_TRUE(completed);
  EXPECT_GT(refusedCall, 5);  // at least the circles' slots and the edge buffer were refused
  heap = meshHeap;
  heap.resize = refuseEveryResize;
  writeFile(dir + "/out.csv", "an earlier mesh");
  const InProcessRun grown = runWithHeap(dir + "/points.tsv", heap);
  EXPECT_EQ(grown.status, 255);
  EXPECT_EQ(grown.out, "\nProcessing Points.." + refused);
  EXPECT_EQ(readFile(dir + "/out.csv"), "an earlier mesh");
}

// Runs the binary itself under an address-space limit, as "ulimit -v" sets
// it, with no terminal.
ProcessResult runUnderAddressLimit(rlim_t bytes, const std::vector<std::string>& args) {
  const std::string dir = makeScratchDir();
  const std::string outPath = dir + "/stdout";
  const std::string errPath = dir + "/stderr";
  std::vector<std::string> argv = {tsvmeshBinary()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& argument : argv) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    setsid();
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const rlimit limit{bytes, bytes};
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(120);
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  ProcessResult run;
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return run;
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.status = 128 + WTERMSIG(status);
  run.out = readFile(outPath);
  run.err = readFile(errPath);
  return run;
}

}  // namespace

// The tables refused by the system itself: 2,000,000 points need 48 MB for
// the point table and 96 MB for the triangle table, against a limit of
// 100 MB in all. Which of the two is refused depends on what the process
// maps besides; either ends as a failure, with nothing written.
TEST(DriverEarlyEnd, TablesBeyondTheAddressSpaceLimitEndAsFailures) {
  if (!std::string(TSVMESH_EMULATOR).empty()) GTEST_SKIP() << "the emulator needs more address space itself";
  constexpr rlim_t limit = rlim_t{100} << 20;
  if (runUnderAddressLimit(limit, {"--version"}).status != 0) {
    GTEST_SKIP() << "the binary cannot start under a 100 MB address-space limit (a sanitizer build?)";
  }
  const std::string dir = makeScratchDir();
  const std::string csv = dir + "/out.csv";
  std::string text = csv + "\n";
  for (int32_t i = 0; i < 2000000; ++i) text += "1 2 3\n";
  writeFile(dir + "/points.tsv", text);
  const ProcessResult run = runUnderAddressLimit(limit, {dir + "/points.tsv"});
  EXPECT_EQ(run.status, 255);
  EXPECT_TRUE(run.out == "\nFailed P Memory Allocation. Press any key to exit." ||
              run.out == "\nFailed v Memory Allocation. Press any key to exit.")
      << run.out;
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(fileExists(csv));
}
