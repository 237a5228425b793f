#include "export/output.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t writeCapacity = size_t{1} << 20;

void writeThrough(ExportOutput* output, const char* bytes, size_t count) {
  if (count > 0 && !writeToFile(output->pending.file, bytes, count)) output->errorNumber = lastSystemError();
}

void flushBuffer(ExportOutput* output) {
  if (output->errorNumber == 0) writeThrough(output, output->buffer, output->used);
  output->used = 0;
}

}  // namespace

bool openExportOutput(const char* path, ExportOutput* output) {
  output->errorNumber = openPendingOutput(path, &output->pending);
  if (output->errorNumber != 0) return false;
  output->buffer = static_cast<char*>(std::malloc(writeCapacity));
  if (output->buffer == nullptr) output->errorNumber = exportErrorNoMemory;
  return true;
}

void writeExportBytes(ExportOutput* output, const char* bytes, size_t count) {
  if (output->errorNumber != 0) return;
  if (output->used + count > writeCapacity) {
    flushBuffer(output);
    if (count >= writeCapacity) {
      if (output->errorNumber == 0) writeThrough(output, bytes, count);
      return;
    }
  }
  std::memcpy(output->buffer + output->used, bytes, count);
  output->used += count;
}

bool flushExportOutput(ExportOutput* output) {
  flushBuffer(output);
  return output->errorNumber == 0;
}

bool finishExportOutput(ExportOutput* output) {
  flushBuffer(output);
  if (output->errorNumber != 0) {
    abandonExportOutput(output);
    return false;
  }
  output->errorNumber = publishPendingOutput(&output->pending);
  std::free(output->buffer);
  output->buffer = nullptr;
  return output->errorNumber == 0;
}

void abandonExportOutput(ExportOutput* output) {
  discardPendingOutput(&output->pending);
  std::free(output->buffer);
  output->buffer = nullptr;
}
