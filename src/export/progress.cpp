#include "export/progress.h"

#include <chrono>
#include <cstdio>

#include "platform/export_files.h"

namespace {

constexpr int64_t quietNanoseconds = 1000000000;
constexpr int32_t barWidth = 40;

int64_t nowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Standard error is unbuffered, so each piece reaches the terminal whole.
bool showOnTerminal(const char* text, size_t length) { return std::fwrite(text, 1, length, stderr) == length; }

}  // namespace

void startExportProgress(ExportProgress* progress) {
  *progress = ExportProgress{};
  progress->terminal = standardErrorIsTerminal();
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
  if (!showOnTerminal(line, static_cast<size_t>(used))) progress->terminal = false;
}

void endExportProgress(ExportProgress* progress) {
  if (progress == nullptr || !progress->shown) return;
  // Blanks rather than an escape sequence, which not every Windows console reads.
  char clear[64];
  clear[0] = '\r';
  for (size_t i = 1; i < sizeof clear - 1; ++i) clear[i] = ' ';
  clear[sizeof clear - 1] = '\r';
  if (!showOnTerminal(clear, sizeof clear)) progress->terminal = false;
  progress->shown = false;
}
