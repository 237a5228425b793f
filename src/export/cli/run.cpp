#include "export/cli/run.h"

#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "export/cli/command_line.h"
#include "export/cli/format_writers.h"
#include "export/cli/formats.h"
#include "export/output.h"
#include "export/paper.h"
#include "export/products/coded_lines.h"
#include "export/products/contours.h"
#include "export/products/profile.h"
#include "export/read/polylines.h"
#include "export/progress.h"
#include "export/read/mesh_file.h"
#include "export/surface/build.h"
#include "platform/console.h"
#include "platform/export_files.h"

namespace {

void complain(const std::string& message) { printText(stderr, "tsvmesh-export: " + message + "\n"); }

std::string numberText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// Every file a run reads, with what it is to the user.
std::vector<std::pair<const char*, const char*>> inputFiles(const ExportOptions& options) {
  std::vector<std::pair<const char*, const char*>> inputs{{options.meshPath, "the input file"}};
  if (options.comparePath != nullptr) inputs.push_back({options.comparePath, "the --compare file"});
  for (const char* file : options.breaklines) inputs.push_back({file, "a --breaklines file"});
  if (options.border != nullptr) inputs.push_back({options.border, "the --border file"});
  if (options.holes != nullptr) inputs.push_back({options.holes, "the --holes file"});
  if (options.profilePath != nullptr) inputs.push_back({options.profilePath, "the --profile file"});
  return inputs;
}

// No output may overwrite an input or another output of the same run.
std::string clashingPaths(const ExportOptions& options) {
  const std::vector<const char*>& outputs = options.outputPaths;
  const auto inputs = inputFiles(options);
  for (size_t i = 0; i < outputs.size(); ++i) {
    for (const auto& input : inputs) {
      if (pathsNameOneFile(input.first, outputs[i])) {
        return std::string(outputs[i]) + " is " + input.second + "; choose another output name";
      }
    }
    for (size_t j = 0; j < i; ++j) {
      if (std::string(outputs[i]) == outputs[j] || pathsNameOneFile(outputs[i], outputs[j])) {
        return std::string(outputs[i]) + " is named twice as an output";
      }
    }
  }
  return "";
}

bool anyOutputUses(const ExportOptions& options, uint32_t use) {
  for (const ExportFormat* format : options.formats) {
    if ((format->uses & use) != 0) return true;
  }
  return false;
}

std::string readFailure(const char* path, const ExportReadError& error) {
  if (error.line > 0) return std::string(path) + ":" + std::to_string(error.line) + ": " + error.message;
  return std::string(path) + ": " + error.message;
}

// Contours for every output that shows them; the message of why not when
// they cannot be traced.
std::string traceRequestedContours(const ExportMesh& surface, const ExportOptions& options,
                                   ExportContours* contours, ExportProgress* progress) {
  const int32_t status = traceContours(surface, surface.edges, options.contourInterval, options.contourIndexEvery,
                                       options.contourBase, contours, progress);
  if (status == contourOk) return "";
  char range[96];
  std::snprintf(range, sizeof range, "%.2f and %.2f", surface.lowestZ, surface.highestZ);
  if (status == contourTooManyLevels) {
    return "--contour " + numberText(options.contourInterval) + " gives more than " +
           std::to_string(contourMostLevels) + " levels between z " + range;
  }
  if (status == contourBaseTooFar) {
    return "--contour-base " + numberText(options.contourBase) + " is too far from the surface's heights (" +
           range + ") for levels every " + numberText(options.contourInterval) + "; choose a base nearer to them";
  }
  return "the mesh is too large to trace contours on";
}

// A plan at scale that does not fit its paper; empty when it fits or when
// no paper was asked for.
std::string paperProblem(const ExportMesh& surface, const ExportOptions& options) {
  if (options.paper < 0 || paperPlot(surface, options.paper, options.units, options.scale).fits) return "";
  const int32_t fitting = smallestFittingScale(surface, options.paper, options.units);
  std::string paper(1, 'A');
  paper += std::to_string(options.paper);
  if (fitting == 0) return "the mesh does not fit on " + paper + " at any scale";
  return "the mesh does not fit on " + paper + " at 1:" + std::to_string(options.scale) +
         "; the smallest standard scale that fits is 1:" + std::to_string(fitting);
}

// Writes one output and puts it in place; the message of why not.
std::string writeOneOutput(const ExportFormat& format, ExportJob job, const std::string& contourProblem,
                           ExportProgress* progress) {
  if ((format.uses & useContours) == 0) job.contours = nullptr;
  if ((format.uses & useLines) == 0) job.lines = nullptr;
  if ((format.uses & useProfile) == 0) job.profile = nullptr;
  if (job.contours != nullptr && !contourProblem.empty()) return contourProblem;
  if ((format.uses & usePaper) != 0) {
    const std::string problem = paperProblem(*job.surface, *job.options);
    if (!problem.empty()) return problem;
  }
  ExportOutput output;
  if (!openExportOutput(job.outputPath, &output)) {
    return std::string(job.outputPath) + ": cannot create: " + systemErrorText(output.errorNumber);
  }
  std::string message;
  bool written = false;
  try {
    written = format.write(job, &output, progress, &message);
  } catch (const std::bad_alloc&) {
    message = std::string(job.outputPath) + ": not enough memory to make it";
  }
  if (!written) {
    abandonExportOutput(&output);
    return message;
  }
  if (!finishExportOutput(&output)) {
    return std::string(job.outputPath) + ": cannot write: " + systemErrorText(output.errorNumber);
  }
  return "";
}

// Every output in turn; one that fails leaves the others alone.
int writeOutputs(const ExportOptions& options, ExportJob job, const std::string& contourProblem,
                 ExportProgress* progress) {
  int status = 0;
  for (size_t i = 0; i < options.outputPaths.size(); ++i) {
    job.outputPath = options.outputPaths[i];
    const std::string problem = writeOneOutput(*options.formats[i], job, contourProblem, progress);
    if (problem.empty()) continue;
    endExportProgress(progress);
    complain(problem);
    status = exportExitFailed;
  }
  return status;
}

}  // namespace

namespace {

// The standard containers report a failed allocation by throwing; here,
// where the run decides what a failure means, it becomes a message.
SurfaceSource surfaceSourceOf(const ExportOptions& options, bool edges) {
  SurfaceSource source;
  source.path = options.meshPath;
  source.kind = options.inputKind;
  source.columns = options.columns;
  source.leaveOut = options.leaveOut;
  source.breaklines = options.breaklines;
  source.border = options.border;
  source.holes = options.holes;
  source.asMeshed = options.asMeshed;
  source.maxSide = options.maxSide;
  source.edges = edges;
  return source;
}

// What the surface's building had to say, on standard error, before the
// outputs; false with the failure's message when it could not be built.
bool buildWithin(const SurfaceSource& source, ExportMesh* surface, ExportProgress* progress,
                 std::string* failure) {
  ExportReadError error;
  std::vector<std::string> notes;
  std::string file = source.path;
  bool built = false;
  try {
    built = buildSurface(source, surface, &error, progress, &notes, &file);
  } catch (const std::bad_alloc&) {
    *surface = ExportMesh{};
    error = ExportReadError{0, "not enough memory for its surface"};
  }
  if (!notes.empty()) endExportProgress(progress);
  for (const std::string& note : notes) complain(std::string(source.path) + ": " + note);
  if (!built) *failure = readFailure(file.c_str(), error);
  return built;
}

std::string traceWithin(const ExportMesh& surface, const ExportOptions& options, ExportContours* contours,
                        ExportProgress* progress) {
  try {
    return traceRequestedContours(surface, options, contours, progress);
  } catch (const std::bad_alloc&) {
    *contours = ExportContours{};
    return "not enough memory for the contours";
  }
}

// --lines' lines from the field points; false with message set when the
// input has no such points. Codes that draw nothing are noted.
bool joinRequestedLines(const ExportMesh& surface, const ExportOptions& options, CodedLines* lines,
                        std::string* message) {
  if (surface.surveyPoints.empty()) {
    *message = std::string(options.meshPath) + ": --lines names codes of a field file's points; this input has none";
    return false;
  }
  joinCodedLines(surface.surveyPoints, options.lines, lines);
  for (const std::string& code : lines->unmatched) {
    complain("note: --lines " + code + ": no point's code begins with it");
  }
  for (const std::string& code : lines->single) complain("note: " + code + " has one point only; it draws no line");
  return true;
}

// --profile's sections over the surface; false with message set when its
// file cannot be read. Polylines that miss the surface are noted.
bool traceRequestedProfiles(const ExportMesh& surface, const ExportOptions& options, ExportProfile* profile,
                            std::string* message) {
  PolylineSet polylines;
  ExportReadError error;
  if (!readPolylineFile(options.profilePath, &polylines, &error)) {
    *message = readFailure(options.profilePath, error);
    return false;
  }
  for (const PolylineVertex& v : polylines.vertices) {
    if (coordinateInRange(v.x) && coordinateInRange(v.y)) continue;
    *message = readFailure(options.profilePath, ExportReadError{v.line, "expected coordinates within " +
                                                                            largestCoordinateText()});
    return false;
  }
  traceProfiles(surface, polylines, profile);
  for (const int32_t l : profile->missed) {
    const Polyline& line = polylines.polylines[static_cast<size_t>(l)];
    const PolylineVertex& first = polylines.vertices[static_cast<size_t>(line.firstVertex)];
    complain("note: " + std::string(options.profilePath) + ":" + std::to_string(first.line) +
             ": this polyline misses the surface; its section is empty");
  }
  return true;
}

// What products share besides contours: --lines' lines and --profile's
// sections, each only when an output uses it.
bool prepareProducts(const ExportMesh& surface, const ExportOptions& options, CodedLines* lines,
                     ExportProfile* profile, std::string* message) {
  if (!options.lines.empty() && !joinRequestedLines(surface, options, lines, message)) return false;
  return options.profilePath == nullptr || traceRequestedProfiles(surface, options, profile, message);
}

}  // namespace

int runExport(const ExportOptions& options) {
  const std::string clash = clashingPaths(options);
  if (!clash.empty()) {
    complain(clash);
    return exportExitFailed;
  }
  const bool contoursAsked = options.contourInterval > 0.0 && anyOutputUses(options, useContours);
  ExportProgress progress;
  startExportProgress(&progress);
  ExportMesh surface;
  ExportMesh other;
  SurfaceSource source = surfaceSourceOf(options, contoursAsked);
  std::string failure;
  bool built = buildWithin(source, &surface, &progress, &failure);
  if (built && options.comparePath != nullptr) {
    // The second survey within the same border and holes; the breaklines
    // are the first's.
    source.path = options.comparePath;
    source.breaklines.clear();
    source.edges = false;
    built = buildWithin(source, &other, &progress, &failure);
  }
  if (!built) {
    endExportProgress(&progress);
    complain(failure);
    return exportExitFailed;
  }
  CodedLines lines;
  ExportProfile profile;
  std::string problem;
  if (!prepareProducts(surface, options, &lines, &profile, &problem)) {
    endExportProgress(&progress);
    complain(problem);
    return exportExitFailed;
  }
  ExportContours contours;
  const std::string contourProblem =
      contoursAsked ? traceWithin(surface, options, &contours, &progress) : "";
  ExportJob job;
  job.surface = &surface;
  job.other = options.comparePath != nullptr ? &other : nullptr;
  job.contours = contoursAsked ? &contours : nullptr;
  job.lines = options.lines.empty() ? nullptr : &lines;
  job.profile = options.profilePath == nullptr ? nullptr : &profile;
  job.options = &options;
  job.inputName = exportBaseName(options.meshPath);
  job.dates = exportDatesOf(options.meshPath);
  const int status = writeOutputs(options, job, contourProblem, &progress);
  endExportProgress(&progress);
  return status;
}
