// The output file, written to a temporary file beside it through one fixed
// buffer and renamed over it only when complete: a failed export leaves no
// file behind and an existing file unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct ExportOutput {
  int fd = -1;
  std::string path;        // the file to create or replace
  std::string temporary;   // beside it, in the same folder
  char* buffer = nullptr;
  size_t used = 0;
  int errorNumber = 0;     // the first failure's errno; 0 while all is well
};

// Creates the temporary file beside path. false with errorNumber set when
// it cannot be created.
bool openExportOutput(const char* path, ExportOutput* output);

// Appends bytes; after a failure further bytes are dropped.
void writeExportBytes(ExportOutput* output, const char* bytes, size_t count);

inline void writeExportText(ExportOutput* output, const std::string& text) {
  writeExportBytes(output, text.data(), text.size());
}

// Flushes, closes and renames the temporary file over path. false with
// errorNumber set (and the temporary file removed) when anything failed.
bool finishExportOutput(ExportOutput* output);

// Closes and removes the temporary file; path is left as it was.
void abandonExportOutput(ExportOutput* output);
