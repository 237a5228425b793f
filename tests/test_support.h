// Helpers shared by the tests: scratch folders, files and runs of the real binary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "mesh/mesh_records.h"

struct ProcessResult {
  int status = -1;      // exit status (0..255), or 128 + signal number
  std::string out;      // everything written to standard output
  std::string err;      // everything written to standard error
};

// A fresh empty folder for one test, removed by nothing: it lives under the
// build tree's testing area (or /tmp) and has a unique name.
std::string makeScratchDir();

// A path as the program takes it (UTF-8 on Windows) for the library's files.
std::filesystem::path nativePath(const std::string& path);

void writeFile(const std::string& path, const std::string& bytes);

// Whether the host's own programs (Debian's Python and its readers) see the
// files a test writes: not under an emulator such as Wine, where the test
// runs as a Windows program and the host's tools live in another world.
bool hostToolsShareFiles();
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

// Runs the tsvmesh binary with the given arguments (not counting the program
// name) in its own session, so it has no controlling terminal and a key wait
// returns at once. Standard input is /dev/null unless stdinPath is given.
// The run is killed after timeoutSeconds.
ProcessResult runTsvmeshBinary(const std::vector<std::string>& args, const std::string& workDir = "",
                               const std::string& stdinPath = "", int timeoutSeconds = 120);

// Same, with the program name argument chosen by the caller (argv may be empty).
ProcessResult runProgram(const std::string& program, const std::vector<std::string>& argv,
                         const std::string& workDir, const std::string& stdinPath,
                         int timeoutSeconds);

// What to exec (with execvp) to start program with argv: the two themselves,
// or in a cross build the emulator with the program and its arguments (qemu
// is told argv[0] too; it cannot give an empty argv, so the program then
// sees its own path).
struct ExecLine {
  std::string file;
  std::vector<std::string> argv;
};
ExecLine execLineFor(const std::string& program, const std::vector<std::string>& argv);

// The warnings on standard error when the point list stops short of the
// end of the file's text, and when fewer than 3 points were read.
std::string pointsEndWarning(int64_t line, const std::string& tsvPath);
std::string fewerPointsWarning(const std::string& tsvPath);

// The warnings on standard error about the point list's lines: CRs that
// joined numbers (the first at line), and lines of other than 3 numbers
// (the first at line, holding numbers; lines of them in all).
std::string crJoinWarning(int64_t line, int64_t joins, const std::string& tsvPath);
std::string oddLineWarning(int64_t line, int32_t numbers, int64_t lines, const std::string& tsvPath);

// The path of the tsvmesh binary under test.
const char* tsvmeshBinary();

// A points file read as a run reads it: open, first line, count, read into a
// table of counted + 3 slots, close. Stops at a status that is not
// pointsFileOk (the file unreadable, the first line longer than any path).
struct ReadResult {
  int32_t status = -1;
  std::string path;
  int32_t counted = -1;
  std::vector<MeshPoint> points;
};

ReadResult readPointsFileAt(const std::string& filePath);
