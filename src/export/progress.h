// A progress bar on standard error, shown only on a terminal and only once
// the work has taken longer than a second.
#pragma once

#include <cstdint>

struct ExportProgress {
  bool terminal = false;    // standard error is a terminal
  bool shown = false;       // a bar is on the screen
  int64_t startNanoseconds = 0;
  int32_t lastPermille = -1;
  const char* lastPhase = nullptr;
};

// Starts the clock; the bar stays off unless standard error is a terminal.
void startExportProgress(ExportProgress* progress);

// Reports done of total in the named phase ("reading", "drawing", ...).
// Cheap enough to call every few thousand items.
void updateExportProgress(ExportProgress* progress, const char* phase, int64_t done, int64_t total);

// Clears the bar, so that a following message starts on a clean line.
void endExportProgress(ExportProgress* progress);
