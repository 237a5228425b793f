#include "driver/run.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>
#include <string>

#include "driver/console_text.h"
#include "input/points_file.h"
#include "mesh/hull_cover.h"
#include "mesh/mesh_tables.h"
#include "mesh/point_order.h"
#include "mesh/triangulation.h"
#include "mesh/wide.h"
#include "output/statistic.h"
#include "output/triangle_file.h"
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

int failOnFile(const char* what, const char* path, size_t length, bool wait) {
  showFileFailure(what, path, length);
  return endAfterKey(wait, -1);
}

int failOnMemory(char table, bool wait) {
  showMemoryFailure(table);
  return endAfterKey(wait, -1);
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
      showUsage(stdout);
      return 0;
    }
    if (std::strcmp(argument, "--version") == 0) {
      showVersion();
      return 0;
    }
    if (std::strcmp(argument, "--no-wait") != 0) break;
    run->wait = false;
  }
  if (pointsArgument >= argc) {
    showUsage(stderr);
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
  if (readOutputPath(&tsv, &run->outputPath) != pointsFileOk) {
    closePointsFile(&tsv);
    showLongFirstLine(run->pointsPath, longestPathBytes());
    return endAfterKey(run->wait, -1);
  }

  const int32_t counted = countPoints(&tsv);
  // Reading stops at the first group that is not three finite numbers; data
  // after it would otherwise be lost without a word.
  const int64_t endLine = pointsEndLine(&tsv);
  showPointsLayout(run->pointsPath, pointsLayout(&tsv));
  if (endLine > 0) showPointsEnd(run->pointsPath, endLine);
  if (counted < 3) showTooFewPoints(run->pointsPath);
  if (looksCommaSeparated(&tsv, run->outputPath)) showFieldFileHint(run->pointsPath);
  if (counted < 3) {
    closePointsFile(&tsv);
    return 0;
  }
  RunTables& tables = run->tables;
  tables.points = allocatePointTable(counted);
  if (tables.points == nullptr) {
    closePointsFile(&tsv);
    return failOnMemory('P', run->wait);
  }
  run->n = readPoints(&tsv, tables.points, counted);
  closePointsFile(&tsv);

  tables.triangles = allocateTriangleTable(run->n);
  if (tables.triangles == nullptr) {
    return failOnMemory('v', run->wait);
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
                                               MeshProgress{showMeshProgress, nullptr});
  run->triangleCount = triangleCount;
  run->lines = finishFormattingPointLines(&run->formatter);
  // Without its working memory the mesh is unfinished: no file over it. A
  // full triangle table is another matter; its mesh is written.
  if (meshMemoryRefused(meshStatus)) {
    return failOnMemory('v', run->wait);
  }
  // The mesh grows inside a finite super-triangle and can leave slivers
  // along the hull uncovered; the file stays as it is, but the user hears.
  MeshHullGaps gaps{};
  if (meshStatus == meshOk && findHullGaps(tables.points, n, tables.triangles, triangleCount, &gaps)) {
    showHullGaps(gaps);
  }
  return std::nullopt;
}

// Writes the blocks and the summary into the open file and closes it;
// false when a write, the read-back or the close failed.
bool fillTriangleFile(Run* run, MeshTriangleFile* csv, const char* path, MeshAverage* average) {
  MeshSideSum sides{0, false};
  const int32_t measured = writeAndMeasureBlocks(csv, path, run->tables.points, run->lines, run->tables.triangles,
                                                 run->triangleCount, &sides);
  // The count and the checking line follow the blocks once they are written.
  if (measured != triangleFileWriteFailed) {
    showTriangleCount(run->triangleCount);
    showCheckingSides();
  }
  if (measured != triangleFileOk || writeTriangleSummary(csv, run->triangleCount, sides, average) != triangleFileOk) {
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
  MeshAverage average{0, false};
  if (!fillTriangleFile(run, &csv, path, &average) || (beside && publishPendingOutput(&pending) != 0)) {
    if (beside) discardPendingOutput(&pending);
    return failOnFile("write CSV", outputPath.data(), outputPath.size(), run->wait);
  }
  showAverage(average);
  return std::nullopt;
}
}  // namespace

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
