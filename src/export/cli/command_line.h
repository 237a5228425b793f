// tsvmesh-export's command line: the input, the outputs whose extensions
// name their formats, and the options. Parsing only; nothing is opened here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExportFormat;

struct ExportOptions {
  const char* meshPath = nullptr;
  std::vector<const char*> outputPaths;
  std::vector<const ExportFormat*> formats;  // one an output
  int32_t size = 1600;           // a picture's longer side, pixels (points in SVG and PDF)
  double contourInterval = 0.0;  // 0: no contours
  int32_t contourIndexEvery = 5;
  double contourBase = 0.0;
  double maxSide = 0.0;          // 0: every triangle is kept
  int32_t units = 0;             // an ExportUnits
  bool flat = false;             // pictures without hillshade
  int32_t paper = -1;            // ISO A size 0 .. 4 for a PDF plot at scale; -1: none
  int32_t scale = 0;             // 1:scale with paper
  int32_t inputKind = 0;         // an ExportInputKind: by content, or --mesh, --points, --columns
  std::string columns;           // --columns, one upper-case letter a column
  std::vector<std::string> leaveOut;  // --leave-out: codes of field points kept off the surface
  std::vector<std::string> lines;     // --lines: codes whose field points are joined into lines
  double cell = 0.0;             // --cell; 0 when not given
  bool hasBase = false;          // --base
  double base = 0.0;
  const char* comparePath = nullptr;  // --compare
  const char* srs = nullptr;          // --srs
  const char* profilePath = nullptr;  // --profile
  std::vector<const char*> breaklines;  // --breaklines, each a file of polylines
  const char* border = nullptr;         // --border: the one polygon the surface stops at
  const char* holes = nullptr;          // --holes: polygons cut out of the surface
  bool asMeshed = false;                // --as-meshed: a triangle file's faces exactly as they are
};

enum ExportCommand : int32_t {
  commandRun,      // options filled; go ahead
  commandHelp,     // print the usage on standard output, status 0
  commandVersion,  // print the version, status 0
  commandUsage     // wrong arguments: one line of problem and a pointer to --help on standard error, status 2
};

// Reads argv[1 ..]. problem receives the reason for commandUsage.
int32_t parseExportCommandLine(int argc, char** argv, ExportOptions* options, std::string* problem);

// The usage text, listing the formats this build has.
std::string exportUsageText();
