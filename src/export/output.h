// The output file, written out of sight through one fixed buffer and put in
// place only when complete: a failed export leaves no file behind and an
// existing file unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/export_files.h"

struct ExportOutput {
  PendingOutput pending;
  char* buffer = nullptr;
  size_t used = 0;
  int32_t errorNumber = 0;  // the first failure's system code; 0 while all is well
};

// Creates the unseen file for path. false with errorNumber set when it
// cannot be created.
bool openExportOutput(const char* path, ExportOutput* output);

// Appends bytes; after a failure further bytes are dropped.
void writeExportBytes(ExportOutput* output, const char* bytes, size_t count);

inline void writeExportText(ExportOutput* output, const std::string& text) {
  writeExportBytes(output, text.data(), text.size());
}

// Writes out what is buffered, the file still out of sight: false with
// errorNumber set when any write so far failed.
bool flushExportOutput(ExportOutput* output);

// Flushes and puts the file in place over path. false with errorNumber set
// (and nothing left behind) when anything failed.
bool finishExportOutput(ExportOutput* output);

// Drops the unfinished file; path is left as it was.
void abandonExportOutput(ExportOutput* output);
