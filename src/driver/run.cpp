#include "driver/run.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>
#include <thread>

#include "input/points_file.h"
#include "mesh/triangulation.h"
#include "mesh/wide.h"
#include "output/statistic.h"
#include "output/triangle_file.h"
#include "platform/console.h"

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

// A failure that asks for a key: message, key wait, then the given status.
int failWithKey(FILE* stream, const char* message, int status) {
  std::fputs(message, stream);
  waitForKey();
  return status;
}

int failOnFile(const char* what, const std::string& path) {
  // The path is shown as a C string shows it: up to a NUL, if it holds one.
  const std::string shown = path.substr(0, path.find('\0'));
  printText(stderr, std::string("Failed to ") + what + " file \"" + shown + "\"\nPress any key to exit.");
  waitForKey();
  return -1;
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
}  // namespace

void printMeshProgress(void*, int32_t step) {
  std::fputs(step == meshProgressStart ? "\nProcessing Points." : ".", stdout);
}

int runTsvmesh(int argc, char** argv) {
  prepareWideArithmetic();
  if (argc < 2) return -1;

  MeshPointsFile tsv;
  if (openPointsFile(argv[1], &tsv) != pointsFileOk) {
    return failOnFile("open TSV", argv[1]);
  }
  std::string outputPath;
  readOutputPath(&tsv, &outputPath);

  const int32_t counted = countPoints(&tsv);
  if (counted < 3) {
    closePointsFile(&tsv);
    return 0;
  }

  RunTables tables;
  tables.points = allocatePointTable(counted);
  if (tables.points == nullptr) {
    closePointsFile(&tsv);
    return failWithKey(stdout, "\nFailed P Memory Allocation. Press any key to exit.", 0);
  }
  const int32_t n = readPoints(&tsv, tables.points, counted);
  closePointsFile(&tsv);

  tables.triangles = allocateTriangleTable(n);
  if (tables.triangles == nullptr) {
    return failWithKey(stdout, "\nFailed v Memory Allocation. Press any key to exit.", 0);
  }
  // The triangle table is still empty: the sort borrows it as scratch.
  sortPointsByX(tables.points, n, tables.triangles,
                static_cast<size_t>(n) * 4u * sizeof(MeshTriangle));

  // The points' CSV lines are formatted on the second core while the mesh
  // is made; without a thread the blocks are formatted as they are written.
  MeshPointLines lines;
  std::thread formatter;
  try {
    formatter = std::thread([&] {
      // The text of a value depends on the arithmetic's full significand,
      // which a new thread is not sure to start with.
      prepareWideArithmetic();
      formatPointLines(tables.points, n, &lines);
    });
  } catch (const std::system_error&) {
  }
  int32_t triangleCount = 0;
  buildDelaunayMesh(n, tables.points, tables.triangles, &triangleCount, MeshProgress{printMeshProgress, nullptr});
  if (formatter.joinable()) formatter.join();
  struct LinesRelease {
    MeshPointLines* lines;
    ~LinesRelease() { releasePointLines(lines); }
  } linesRelease{&lines};

  // A path with a NUL in it names no file that can be opened as written.
  MeshTriangleFile csv;
  if (outputPath.find('\0') != std::string::npos ||
      createTriangleFile(outputPath.c_str(), &csv) != triangleFileOk) {
    return failOnFile("open CSV", outputPath);
  }
  // The statistic reads the file back from a second handle on the second
  // core while the blocks are written. Where that cannot be had (no ordinary
  // file, no thread) it reads the finished file back through the first.
  MeshSideSum sides{0, false};
  MeshWriteProgress progress;
  MeshTriangleFile follower;
  std::thread reader;
  int32_t readStatus = triangleFileWriteFailed;
  if (openTriangleFileToFollow(outputPath.c_str(), &progress, &follower) == triangleFileOk) {
    csv.announce = &progress;
    try {
      reader = std::thread([&] { readStatus = sumLongestSidesFromStart(&follower, triangleCount, &sides); });
    } catch (const std::system_error&) {
      csv.announce = nullptr;
    }
  }
  const bool following = reader.joinable();
  const int32_t writeStatus =
      writeTriangleBlocksFrom(&csv, tables.points, lines, tables.triangles, triangleCount);
  if (following) {
    finishWriteProgress(&progress);
    reader.join();
    csv.announce = nullptr;
  }
  closeTriangleFile(&follower);
  if (writeStatus == triangleFileOk) {
    if (following) {
      std::fputs("Checking avg tri side length.\n\n", stdout);
    } else {
      readStatus = sumLongestSides(&csv, triangleCount, &sides);
    }
  }
  if (writeStatus != triangleFileOk || readStatus != triangleFileOk ||
      writeTriangleSummary(&csv, triangleCount, sides) != triangleFileOk) {
    closeTriangleFile(&csv);
    return failOnFile("write CSV", outputPath);
  }

  finalDelay();
  return 0;
}
