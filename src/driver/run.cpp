#include "driver/run.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>

#include "input/points_file.h"
#include "mesh/hull_cover.h"
#include "mesh/mesh_tables.h"
#include "mesh/point_order.h"
#include "mesh/triangulation.h"
#include "mesh/wide.h"
#include "output/statistic.h"
#include "output/triangle_file.h"
#include "platform/console.h"
#include "platform/export_files.h"
#include "platform/files.h"

namespace {

// The run owns its tables until it returns; they are released there only so
// that a leak checker sees a clean process.
struct RunTables {
  MeshPoint* points = nullptr;
  MeshTriangle* triangles = nullptr;
  ~RunTables() {
    meshRelease(triangles);
    meshRelease(points);
  }
};

// Messages on the way out go straight to the stream, piece by piece: no
// failure path may need memory, however long a path it shows.
void say(FILE* stream, const char* text) { printText(stream, text, std::strlen(text)); }

// A failure that asks for a key: message, key wait unless the command line
// said not to wait, then the given status.
int failWithKey(FILE* stream, const char* message, int status, bool wait) {
  say(stream, message);
  if (wait) waitForKey();
  return status;
}

int failOnFile(const char* what, const char* path, size_t length, bool wait) {
  // The path is shown as a C string shows it: up to a NUL, if it holds one.
  if (const void* nul = std::memchr(path, '\0', length)) {
    length = static_cast<size_t>(static_cast<const char*>(nul) - path);
  }
  say(stderr, "Failed to ");
  say(stderr, what);
  say(stderr, " file \"");
  printText(stderr, path, length);
  return failWithKey(stderr, "\"\nPress any key to exit.", -1, wait);
}

void printUsage(FILE* stream) {
  say(stream,
      "Usage: tsvmesh [--no-wait] POINTS_FILE\n"
      "       tsvmesh --help | --version\n"
      "Writes the Delaunay mesh (x-y plane) of the points as a CSV triangle file.\n"
      "\n"
      "POINTS_FILE:\n"
      "  line 1      the path of the CSV file to write\n"
      "  the rest    x y z of each point: numbers apart by blanks, tabs or line ends\n"
      "  the end     at the first group that is not three finite numbers\n"
      "\n"
      "Options, only before POINTS_FILE:\n"
      "  --no-wait   never wait for a key after a failure\n"
      "  -h, --help  show this help and exit\n"
      "  --version   show the version and exit\n"
      "\n" TSVMESH_HELP_DOCS "\n");
}

// Reading stops at the first group that is not three finite numbers; data
// after it would otherwise be lost without a word.
void warnAboutPoints(const char* path, int64_t endLine, int32_t counted) {
  if (endLine > 0) {
    char digits[24];
    const std::to_chars_result line = std::to_chars(digits, digits + sizeof digits, endLine);
    say(stderr, "Points end at line ");
    printText(stderr, digits, static_cast<size_t>(line.ptr - digits));
    say(stderr, " of \"");
    say(stderr, path);
    say(stderr, "\"; the rest of the file is not read.\n");
  }
  if (counted < 3) {
    say(stderr, "Fewer than 3 points in \"");
    say(stderr, path);
    say(stderr, "\": no triangle file is written.\n");
  }
}

void sayCount(FILE* stream, int64_t value) {
  char digits[24];
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
  printText(stream, digits, static_cast<size_t>(end.ptr - digits));
}

// The mesh grows inside a finite super-triangle and can leave slivers along
// the hull uncovered; the file stays as it is, but the user hears of it.
void warnAboutHullGaps(const MeshPoint* points, int32_t n, const MeshTriangle* triangles, int32_t count) {
  MeshHullGaps gaps{};
  if (!findHullGaps(points, n, triangles, count, &gaps) || gaps.missing == 0) return;
  say(stderr, "The mesh lacks ");
  sayCount(stderr, gaps.missing);
  say(stderr, " of the ");
  sayCount(stderr, gaps.segments);
  say(stderr, " edges of the points' convex hull; tsvmesh-export covers the whole hull.\n");
}

bool isRefusedWorkingMemory(int32_t meshStatus) {
  return meshStatus == meshFlagsAllocFailed || meshStatus == meshEdgesAllocFailed ||
         meshStatus == meshEdgesGrowFailed;
}

// Whether path names the points file itself, by the file's identity rather
// than its name, so that no other path or link to it can replace the points.
bool namesPointsFile(const std::string& path, bool pointsIdentified, const MeshFileIdentity& points) {
  MeshFileIdentity named{};
  return pointsIdentified && identifyPath(path.c_str(), &named) == 0 && named.volume == points.volume &&
         named.index == points.index;
}

// Counts from 0 to 0x20000000 one increment at a time. The empty asm claims
// to read and change the counter, so each increment has to happen, in a
// register, and the loop cannot be folded.
void finalDelay() {
  int32_t counter = 0;
  while (counter < 0x20000000) {
    ++counter;
    __asm__ __volatile__("" : "+r"(counter));
  }
}

// What one run carries from phase to phase. Members are released in
// reverse order: the formatter, whose thread reads the points, before the
// tables.
struct Run {
  bool wait = true;
  const char* pointsPath = nullptr;
  bool pointsIdentified = false;
  MeshFileIdentity pointsIdentity{};
  std::string outputPath;
  RunTables tables;
  int32_t n = 0;
  MeshLineFormatter formatter;
  const MeshPointLines* lines = nullptr;
  int32_t triangleCount = 0;
};

// Each phase gives the exit status when the run ends in it, or nothing when
// the run goes on.
using RunEnd = std::optional<int>;

// Options count only before the points file, and only as spelt here.
RunEnd readCommandLine(int argc, char** argv, Run* run) {
  int pointsArgument = 1;
  for (; pointsArgument < argc; ++pointsArgument) {
    const char* argument = argv[pointsArgument];
    if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
      printUsage(stdout);
      return 0;
    }
    if (std::strcmp(argument, "--version") == 0) {
      say(stdout, "tsvmesh " TSVMESH_VERSION "\n");
      return 0;
    }
    if (std::strcmp(argument, "--no-wait") != 0) break;
    run->wait = false;
  }
  if (pointsArgument >= argc) {
    printUsage(stderr);
    return -1;
  }
  run->pointsPath = argv[pointsArgument];
  return std::nullopt;
}

// The output path and the points, in the point table sorted by x; the
// triangle table allocated after them, still empty.
RunEnd readPointsFile(Run* run) {
  MeshPointsFile tsv;
  if (openPointsFile(run->pointsPath, &tsv) != pointsFileOk) {
    return failOnFile("open TSV", run->pointsPath, std::strlen(run->pointsPath), run->wait);
  }
  run->pointsIdentified = identifyOpenFile(tsv.handle, &run->pointsIdentity) == 0;
  readOutputPath(&tsv, &run->outputPath);

  const int32_t counted = countPoints(&tsv);
  warnAboutPoints(run->pointsPath, pointsEndLine(&tsv), counted);
  if (counted < 3) {
    closePointsFile(&tsv);
    return 0;
  }
  RunTables& tables = run->tables;
  tables.points = allocatePointTable(counted);
  if (tables.points == nullptr) {
    closePointsFile(&tsv);
    return failWithKey(stdout, "\nFailed P Memory Allocation. Press any key to exit.", 0, run->wait);
  }
  run->n = readPoints(&tsv, tables.points, counted);
  closePointsFile(&tsv);

  tables.triangles = allocateTriangleTable(run->n);
  if (tables.triangles == nullptr) {
    return failWithKey(stdout, "\nFailed v Memory Allocation. Press any key to exit.", 0, run->wait);
  }
  // The triangle table is still empty: the sort borrows it as scratch.
  sortPointsByX(tables.points, run->n, tables.triangles,
                static_cast<size_t>(triangleTableCapacity(run->n)) * sizeof(MeshTriangle));
  return std::nullopt;
}

// The points' CSV lines are formatted on the second core while the mesh is
// made.
RunEnd makeMesh(Run* run) {
  const int32_t n = run->n;
  RunTables& tables = run->tables;
  startFormattingPointLines(tables.points, n, &run->formatter);
  int32_t triangleCount = 0;
  const int32_t meshStatus = buildDelaunayMesh(n, tables.points, tables.triangles, &triangleCount,
                                               MeshProgress{printMeshProgress, nullptr});
  run->triangleCount = triangleCount;
  run->lines = finishFormattingPointLines(&run->formatter);
  // Without its working memory the mesh is unfinished: no file over it. A
  // full triangle table is another matter; its mesh is written.
  if (isRefusedWorkingMemory(meshStatus)) {
    return failWithKey(stdout, "\nFailed v Memory Allocation. Press any key to exit.", 0, run->wait);
  }
  if (meshStatus == meshOk) warnAboutHullGaps(tables.points, n, tables.triangles, triangleCount);
  return std::nullopt;
}

// Writes the blocks and the summary into the open file; false when a
// write, the read-back or the close failed (the file is then closed).
bool fillTriangleFile(Run* run, MeshTriangleFile* csv, const char* path) {
  MeshSideSum sides{0, false};
  if (writeAndMeasureBlocks(csv, path, run->tables.points, run->lines, run->tables.triangles, run->triangleCount,
                            &sides) != triangleFileOk ||
      writeTriangleSummary(csv, run->triangleCount, sides) != triangleFileOk) {
    closeTriangleFile(csv);
    return false;
  }
  return true;
}

// The triangle file with its count and average longest side in its head.
// Where the path allows (isReplaceableFile) it is made whole in a hidden
// file beside it and then put in its place, so that a run never reads back
// or leaves bytes that another run wrote, and a failed write keeps the
// file that was there.
RunEnd writeTriangleFile(Run* run) {
  const std::string& outputPath = run->outputPath;
  // A path with a NUL in it names no file that can be opened as written.
  const bool openable = outputPath.find('\0') == std::string::npos &&
                        !namesPointsFile(outputPath, run->pointsIdentified, run->pointsIdentity);
  PendingOutput pending;
  const bool beside = openable && isReplaceableFile(outputPath.c_str());
  if (beside && openPendingUpdate(outputPath.c_str(), &pending) == 0) {
    closeFile(pending.file);  // opened again below, as the triangle file
    pending.file = noFile;
  } else if (beside) {
    return failOnFile("open CSV", outputPath.data(), outputPath.size(), run->wait);
  }
  const char* path = beside ? pending.temporary.c_str() : outputPath.c_str();
  MeshTriangleFile csv;
  if (!openable || createTriangleFile(path, &csv) != triangleFileOk) {
    if (beside) discardPendingOutput(&pending);
    return failOnFile("open CSV", outputPath.data(), outputPath.size(), run->wait);
  }
  if (!fillTriangleFile(run, &csv, path) || (beside && publishPendingOutput(&pending) != 0)) {
    if (beside) discardPendingOutput(&pending);
    return failOnFile("write CSV", outputPath.data(), outputPath.size(), run->wait);
  }
  return std::nullopt;
}
}  // namespace

void printMeshProgress(void*, int32_t step) {
  std::fputs(step == meshProgressStart ? "\nProcessing Points." : ".", stdout);
}

int runTsvmesh(int argc, char** argv) {
  prepareWideArithmetic();
  Run run;
  if (RunEnd end = readCommandLine(argc, argv, &run)) return *end;
  if (RunEnd end = readPointsFile(&run)) return *end;
  if (RunEnd end = makeMesh(&run)) return *end;
  if (RunEnd end = writeTriangleFile(&run)) return *end;
  finalDelay();
  return 0;
}
