// Every text the program shows on the console, and the key wait after a
// failure. The other units give back statuses and values; only this one
// prints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "input/points_file.h"
#include "mesh/hull_cover.h"
#include "output/statistic.h"

// The usage text, on stream.
void showUsage(FILE* stream);

// "tsvmesh VERSION\n" on standard output.
void showVersion();

// The message of a file that cannot be opened (`what` is "open TSV", "open
// CSV" or "write CSV"), on standard error: "Failed to WHAT file \"PATH\"\n
// Press any key to exit.", the path shown up to a NUL if it holds one.
void showFileFailure(const char* what, const char* path, size_t length);

// "\nFailed P Memory Allocation. ..." for the point table ('P'), "... v ..."
// for the triangle table and the mesh's working memory ('v'), on standard
// output.
void showMemoryFailure(char table);

// Blocks for a key unless `wait` is false, then gives status: how every
// failure that asks for a key ends.
int endAfterKey(bool wait, int status);

// The first line of the points file is longer than the longest path the
// system accepts (`longest` bytes), on standard error, asking for a key.
void showLongFirstLine(const char* path, size_t longest);

// Warnings about the points file, on standard error: where the point list
// ended before the data did (line > 0), and too few points to go on.
void showPointsEnd(const char* path, int64_t line);

// Warnings about the lines of the point list (pointsLayout), on standard
// error: a CR that, dropped, joined two numbers, and lines that hold other
// than three numbers.
void showPointsLayout(const char* path, const MeshPointsLayout& layout);
void showTooFewPoints(const char* path);

// The file looks like a comma-separated field file: one line on standard
// error naming the tool that reads such files.
void showFieldFileHint(const char* path);

// The mesh's progress (MeshProgress) on standard output: "\nProcessing
// Points." at the start, then "." for each mark.
void showMeshProgress(void* context, int32_t step);

// The mesh lacks some edges of the points' convex hull: one line on
// standard error, naming the tool that covers the whole hull.
void showHullGaps(const MeshHullGaps& gaps);

// "\n\nFormed %d triangles.  " on standard output.
void showTriangleCount(int32_t triangleCount);

// "Checking avg tri side length.\n\n" on standard output.
void showCheckingSides();

// "Average long side length = %s." on standard output, or, for an average
// out of range, a line saying so on standard error.
void showAverage(const MeshAverage& average);
