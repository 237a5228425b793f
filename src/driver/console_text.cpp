#include "driver/console_text.h"

#include <charconv>
#include <cstring>

#include "mesh/triangulation.h"
#include "platform/console.h"

namespace {

// Messages go straight to the stream, piece by piece: no failure path may
// need memory, however long a path it shows.
void say(FILE* stream, const char* text) { printText(stream, text, std::strlen(text)); }

void sayNumber(FILE* stream, int64_t value) {
  char digits[24];
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
  printText(stream, digits, static_cast<size_t>(end.ptr - digits));
}

// "TEXT L of \"PATH\"" on standard error: where in the points file.
void sayWhere(const char* text, int64_t line, const char* path) {
  say(stderr, text);
  sayNumber(stderr, line);
  say(stderr, " of \"");
  say(stderr, path);
  say(stderr, "\"");
}

// " (N WHAT" where there are several, then the end of the line.
void sayHowMany(int64_t count, const char* what) {
  if (count > 1) {
    say(stderr, " (");
    sayNumber(stderr, count);
    say(stderr, what);
  }
  say(stderr, ".\n");
}

}  // namespace

void showUsage(FILE* stream) {
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

void showVersion() { say(stdout, "tsvmesh " TSVMESH_VERSION "\n"); }

void showFileFailure(const char* what, const char* path, size_t length) {
  // The path is shown as a C string shows it: up to a NUL, if it holds one.
  if (const void* nul = std::memchr(path, '\0', length)) {
    length = static_cast<size_t>(static_cast<const char*>(nul) - path);
  }
  say(stderr, "Failed to ");
  say(stderr, what);
  say(stderr, " file \"");
  printText(stderr, path, length);
  say(stderr, "\"\nPress any key to exit.");
}

void showMemoryFailure(char table) {
  say(stdout, table == 'P' ? "\nFailed P Memory Allocation. Press any key to exit."
                           : "\nFailed v Memory Allocation. Press any key to exit.");
}

int endAfterKey(bool wait, int status) {
  if (wait) waitForKey();
  return status;
}

void showLongFirstLine(const char* path, size_t longest) {
  say(stderr, "The first line of \"");
  say(stderr, path);
  say(stderr, "\" is longer than the longest path the system accepts (");
  sayNumber(stderr, static_cast<int64_t>(longest));
  say(stderr, " bytes): it names no CSV file.\nPress any key to exit.");
}

void showPointsEnd(const char* path, int64_t line) {
  sayWhere("Points end at line ", line, path);
  say(stderr, "; the rest of the file is not read.\n");
}

void showPointsLayout(const char* path, const MeshPointsLayout& layout) {
  if (layout.joinLine > 0) {
    sayWhere("A carriage return joins two numbers at line ", layout.joinLine, path);
    say(stderr, "; they are read as one");
    sayHowMany(layout.joins, " joins in all)");
  }
  if (layout.oddLine > 0) {
    sayWhere("Line ", layout.oddLine, path);
    say(stderr, " holds ");
    sayNumber(stderr, layout.oddNumbers);
    say(stderr, layout.oddNumbers == 1 ? " number" : " numbers");
    say(stderr, ", not 3; points are taken three numbers at a time, across lines");
    sayHowMany(layout.oddLines, " such lines)");
  }
}

void showTooFewPoints(const char* path) {
  say(stderr, "Fewer than 3 points in \"");
  say(stderr, path);
  say(stderr, "\": no triangle file is written.\n");
}

void showFieldFileHint(const char* path) {
  say(stderr, "\"");
  say(stderr, path);
  say(stderr, "\" looks like a comma-separated field file: tsvmesh-export reads those (tsvmesh-export --help).\n");
}

void showMeshProgress(void*, int32_t step) {
  std::fputs(step == meshProgressStart ? "\nProcessing Points." : ".", stdout);
}

void showHullGaps(const MeshHullGaps& gaps) {
  if (gaps.missing == 0) return;
  say(stderr, "The mesh lacks ");
  sayNumber(stderr, gaps.missing);
  say(stderr, " of the ");
  sayNumber(stderr, gaps.segments);
  say(stderr, " edges of the points' convex hull; tsvmesh-export covers the whole hull.\n");
}

void showTriangleCount(int32_t triangleCount) {
  std::printf("\n\nFormed %d triangles.  ", static_cast<int>(triangleCount));
}

void showCheckingSides() { std::fputs("Checking avg tri side length.\n\n", stdout); }

void showAverage(const MeshAverage& average) {
  if (average.outOfRange) {
    std::fputs("Average long side length is out of range.\n", stderr);
    return;
  }
  std::printf("Average long side length = %d.", static_cast<int>(average.value));
}
