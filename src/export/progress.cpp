#include "export/progress.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int64_t quietNanoseconds = 1000000000;
constexpr int32_t barWidth = 40;

int64_t nowNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

void startExportProgress(ExportProgress* progress) {
  *progress = ExportProgress{};
  progress->terminal = isatty(STDERR_FILENO) == 1;
  progress->startNanoseconds = nowNanoseconds();
}

void updateExportProgress(ExportProgress* progress, const char* phase, int64_t done, int64_t total) {
  if (progress == nullptr || !progress->terminal) return;
  if (!progress->shown && nowNanoseconds() - progress->startNanoseconds < quietNanoseconds) return;
  int32_t permille = 1000;
  if (total > 0 && done < total) permille = static_cast<int32_t>(done * 1000 / total);
  if (permille < 0) permille = 0;
  if (progress->shown && permille / 10 == progress->lastPermille / 10 && phase == progress->lastPhase) return;
  progress->shown = true;
  progress->lastPermille = permille;
  progress->lastPhase = phase;

  char line[128];
  int32_t used = std::snprintf(line, sizeof line, "\r%-8s [", phase);
  const int32_t filled = permille * barWidth / 1000;
  for (int32_t i = 0; i < barWidth; ++i) line[used++] = i < filled ? '#' : ' ';
  used += std::snprintf(line + used, sizeof line - static_cast<size_t>(used), "] %3d%%", permille / 10);
  // Progress is a courtesy: a failed write to the terminal changes nothing.
  if (write(STDERR_FILENO, line, static_cast<size_t>(used)) < 0) progress->terminal = false;
}

void endExportProgress(ExportProgress* progress) {
  if (progress == nullptr || !progress->shown) return;
  static const char clear[] = "\r\033[K";
  if (write(STDERR_FILENO, clear, std::strlen(clear)) < 0) progress->terminal = false;
  progress->shown = false;
}
