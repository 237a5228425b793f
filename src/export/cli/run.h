// One run of tsvmesh-export: the surface built once from INPUT (and
// --compare's), what several outputs share computed once, then each output
// written and put in place on its own.
#pragma once

struct ExportOptions;

inline constexpr int exportExitFailed = 1;
inline constexpr int exportExitUsage = 2;

// 0 when every output was written; exportExitFailed when the input could
// not be read or any output failed (each failure has its own line on
// standard error, and the other outputs are written all the same).
int runExport(const ExportOptions& options);
