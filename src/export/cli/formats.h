// The output formats of tsvmesh-export, one row each: what the command
// line accepts, what --help and the build's summary list, which options a
// format uses and the function that writes it all come from this table.
#pragma once

#include <cstdint>
#include <string>

struct ExportJob;
struct ExportOutput;
struct ExportProgress;

// Writes one product into output. false with message set (a whole line
// for the user, without the program's name) when it cannot be made; a
// failure to write shows in output instead.
using ExportWriter = bool (*)(const ExportJob& job, ExportOutput* output, ExportProgress* progress,
                              std::string* message);

// The library a format needs; its writer is a stand-in without it.
enum ExportLibrary : int32_t { libraryNone, libraryCairo, libraryZlib, libraryGdal, libraryThree };

// What a format shows and so which options it takes. An option that none of
// a run's outputs takes is refused.
enum ExportUse : uint32_t {
  useContours = 1u << 0,  // --contour, --contour-base
  usePicture = 1u << 1,   // --size, --flat
  useUnits = 1u << 2,     // --units
  usePaper = 1u << 3,     // --paper, --scale
  useCell = 1u << 4,      // --cell
  useReport = 1u << 5,    // --base
  useCompare = 1u << 9,   // --compare
  useSrs = 1u << 6,       // --srs
  usePoints = 1u << 7,    // a field file's points
  needsCell = 1u << 8,    // nothing to write without --cell
  useLines = 1u << 9,     // --lines
  useProfile = 1u << 10,  // --profile
  needsProfile = 1u << 11,  // nothing to write without --profile
};

struct ExportFormat {
  const char* extension;    // without the dot, lower case
  const char* description;  // one line of --help and of the manual
  uint32_t uses;            // ExportUse bits
  int32_t library;          // an ExportLibrary
  bool available;           // built into this program
  ExportWriter write;
};

int32_t exportFormatCount();
const ExportFormat& exportFormatAt(int32_t index);

// The format that path's extension names (any case), or null.
const ExportFormat* exportFormatOf(const std::string& path);

// ".ply, .obj, ...": the formats this build writes.
std::string exportAvailableList();

// The formats whose uses include all of bits, as ".a, .b and .c".
std::string exportFormatsUsing(uint32_t bits);

// "cairo", "zlib", "GDAL", "three.js"; "" for libraryNone.
const char* exportLibraryName(int32_t library);
