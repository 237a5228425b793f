// The points file: its first line names the triangle file, the rest holds
// the points as numbers read three at a time (x, y, z).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "mesh/mesh_records.h"
#include "platform/files.h"

enum PointsFileStatus : int32_t {
  pointsFileOk = 0,
  pointsFileUnreadable = 1,  // missing, a folder, or anything else that is not readable as a file
  pointsFileLongPath = 2,    // the first line is longer than any path (longestPathBytes)
};

// Where the counting pass stands in the list's lines, and what it notices
// there (see pointsLayout).
struct MeshLineTally {
  int64_t line = 2;           // the line being read (the output path is line 1)
  int32_t numbersOnLine = 0;  // numbers read on it so far
  int64_t oddLine = 0;        // the first line with other than three numbers
  int32_t oddNumbers = 0;
  int64_t oddLines = 0;
};

// The tally's line has ended: judged unless blank; the next one begins.
inline void endTallyLine(MeshLineTally* tally) {
  const int32_t numbers = tally->numbersOnLine;
  if (numbers != 0 && numbers != 3 && tally->oddLines++ == 0) {
    tally->oddLine = tally->line;
    tally->oddNumbers = numbers;
  }
  ++tally->line;
  tally->numbersOnLine = 0;
}

// An open points file, read as text: every CR is dropped and a 0x1A byte
// ends the data. Read through one fixed buffer; a file that cannot be
// rewound (a pipe) is held in memory whole so that both passes see the same
// bytes.
struct MeshPointsFile {
  MeshFileHandle handle = noFile;
  bool inMemory = false;      // the whole file is in `data`
  char* data = nullptr;       // read buffer, or the whole file when inMemory
  size_t capacity = 0;        // bytes allocated at data
  size_t begin = 0;           // next unread byte in data
  size_t end = 0;             // end of the valid bytes in data
  size_t memorySize = 0;      // whole-file size when inMemory
  bool endOfData = false;     // end of file or 0x1A met
  uint64_t dropped = 0;       // text bytes before data[0] since the last rewind
  int64_t listEnd = -1;       // where countPoints found the list cut short, in text bytes; -1 if not
  // Dropped CRs that joined two words: where the first did (the text byte
  // after it), and how many, as read since the last rewind.
  int64_t firstJoin = -1;
  int64_t joins = 0;
  bool joinPending = false;   // a CR was dropped right after a non-blank byte
  char lastKept = '\n';       // the last text byte read
  MeshLineTally* tally = nullptr;  // set while countPoints counts
  MeshLineTally counted;           // as countPoints left it
  int64_t countedFirstJoin = -1;
  int64_t countedJoins = 0;
};

// Opens path for reading. pointsFileUnreadable when it cannot be opened or is
// not something that reads as a file (a folder, for example).
int32_t openPointsFile(const char* path, MeshPointsFile* file);

// Reads the first line and gives it, without its line end, as the output
// path: the whole line, up to the longest path the system accepts. A file
// without any line end is all first line; an empty first line gives an empty
// path. pointsFileLongPath, with the path empty, when the line is longer
// than any path: reading stops there, so that a file of one endless line is
// not read whole.
int32_t readOutputPath(MeshPointsFile* file, std::string* outputPath);

// Counts the points after the first line: groups of three numbers as
// "%lf %lf %lf" reads them, up to the first group that does not convert all
// three or holds a value that is not finite. Saturates at INT32_MAX.
int32_t countPoints(MeshPointsFile* file);

// The line (the output path being line 1) at which the last countPoints
// found the point list cut short: the first non-blank character whose number
// failed to read, the first number that is not finite, or, where the data
// ends inside a group of three, that group's first number. 0 when the list
// ran to the end of the data, blank space aside. Rescans the file, so call
// it before readPoints.
int64_t pointsEndLine(MeshPointsFile* file);

// What countPoints noticed in the lines of the point list (up to where it
// ended; the line where it was cut short is not judged): the first line that
// holds other than three numbers (blank lines aside) and how many numbers it
// holds, how many such lines there are, and the first line where a dropped
// CR joined two numbers into one (a lone CR read as a line end would have
// parted them) and how many such joins there are. Lines count the output
// path as line 1; 0 for none. Rescans the file, so call it before readPoints.
struct MeshPointsLayout {
  int64_t oddLine;
  int32_t oddNumbers;
  int64_t oddLines;
  int64_t joinLine;
  int64_t joins;
};

MeshPointsLayout pointsLayout(MeshPointsFile* file);

// Whether the file looks comma-separated, as a surveyor's field file is
// (with its header line or without): the first line, taken for the output
// path, holds a comma, and the point list ended on line 2 at a comma. Rescans
// the file, so call it before readPoints.
bool looksCommaSeparated(MeshPointsFile* file, const std::string& outputPath);

// Rewinds, skips the first line and stores up to `capacity` points in file
// order by the same rule as countPoints. Returns the number stored.
int32_t readPoints(MeshPointsFile* file, MeshPoint* points, int32_t capacity);

// Drops the consumed bytes before `begin` and reads more after `end`, for
// the number scanner. False when nothing could be added: the data has
// ended, or the buffer is full of unconsumed bytes. Indices relative to
// `begin` stay valid; `dropped` counts the bytes let go.
bool fetchMorePointsText(MeshPointsFile* file);

// Closes the file and releases its buffer; safe to call twice.
void closePointsFile(MeshPointsFile* file);
