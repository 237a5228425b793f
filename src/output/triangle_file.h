// The triangle file as one update stream: the blocks written, read back
// for the statistic, and the head rewritten by it. Its bytes are laid out
// as output/triangle_layout.h describes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "mesh/mesh_records.h"
#include "platform/files.h"

enum TriangleFileStatus : int32_t {
  triangleFileOk = 0,
  triangleFileOpenFailed = 1,   // the file cannot be created
  triangleFileWriteFailed = 2,  // a write, flush, rewind or close failed
  triangleFileReadFailed = 3,   // the file written could not be read back
};

// How far the writer of a file has come, for a reader on a second handle
// that reads the file back while it is still being written.
struct MeshWriteProgress {
  std::mutex lock;
  std::condition_variable moved;
  int64_t flushes = 0;  // bytes have reached the file this many times
  bool done = false;    // the writer has stopped, for good
};

// One update stream over the triangle file, written and read through one
// fixed buffer; it switches between writing and reading only by a rewind.
struct MeshTriangleFile {
  MeshFileHandle handle = noFile;
  char* buffer = nullptr;
  size_t capacity = 0;
  size_t begin = 0;   // reading: next unread byte
  size_t end = 0;     // writing: bytes pending; reading: valid bytes
  bool writing = true;
  bool failed = false;      // some write, flush, rewind or read failed
  bool endOfFile = false;
  MeshWriteProgress* announce = nullptr;  // writing: told of every flush
  MeshWriteProgress* follow = nullptr;    // reading: the end of the file waits for it
};

// The text of the first `count` points' lines "x,y,z\r\n", back to back:
// point k's line is text[start[k] .. start[k + 1]). Made once per point, so
// that writing a block copies three lines instead of formatting nine values.
struct MeshPointLines {
  char* text = nullptr;
  uint32_t* start = nullptr;
  int32_t count = 0;
};

// Formats the lines of points[0 .. n-1], as far as they fit in a budget of
// about 32 bytes a point (within 2^31 bytes); the count says how many did.
// A refused allocation leaves the count 0. Reads no other point and writes
// nothing but *lines, so it can run beside the mesh, which writes only the
// super-triangle's three points past n.
void formatPointLines(const MeshPoint* points, int32_t n, MeshPointLines* lines);

void releasePointLines(MeshPointLines* lines);

// formatPointLines on a second thread while the caller goes on. Going, it
// waits for the thread and releases the lines.
struct MeshLineFormatter {
  MeshPointLines lines;
  std::thread thread;
  ~MeshLineFormatter();
};

// Starts formatting; where no thread can be had the lines stay empty and
// the blocks are formatted as they are written.
void startFormattingPointLines(const MeshPoint* points, int32_t n, MeshLineFormatter* formatter);

// Waits for the lines, which last as long as the formatter.
const MeshPointLines* finishFormattingPointLines(MeshLineFormatter* formatter);

// Creates (or empties) the file at path for update. triangleFileOpenFailed
// when it cannot be opened.
int32_t createTriangleFile(const char* path, MeshTriangleFile* file);

// Writes the placeholder and one block per triangle in table order and
// flushes. The lines of the points that lines holds are copied (lines may be
// null). Returns triangleFileWriteFailed when any write failed.
int32_t writeTriangleBlocks(MeshTriangleFile* file, const MeshPoint* points, const MeshPointLines* lines,
                            const MeshTriangle* triangles, int32_t triangleCount);

// Rewinds and writes bytes over the start of the file; the close writes them
// out. triangleFileWriteFailed when the rewind failed.
int32_t rewriteTriangleHead(MeshTriangleFile* file, const char* bytes, size_t count);

// Opens the ordinary file at path, which another stream is writing and
// announcing to progress, for reading from byte 0: a read that reaches the
// end of the file waits until the writer has flushed again or stopped, so
// the stream reads what reading the finished file would. triangleFileOpenFailed
// when the path cannot be opened for reading or is no ordinary file.
int32_t openTriangleFileToFollow(const char* path, MeshWriteProgress* progress, MeshTriangleFile* file);

// Tells a follower that the writer has stopped.
void finishWriteProgress(MeshWriteProgress* progress);

// Rewinds to byte 0 and switches the stream to reading.
int32_t rewindTriangleFile(MeshTriangleFile* file);

// Reads one whole line, whatever its length, into line (without CRs and
// without its "\n"). false at the end of the file.
bool readTriangleFileLine(MeshTriangleFile* file, std::string* line);

// The next line as it stands in the buffer, CRs and all, when the buffer
// holds the whole of it up to its "\n": *text and *length (without the
// "\n") point into the buffer until the next read, and the line is consumed.
// false, consuming nothing, otherwise (readTriangleFileLine then).
bool peekTriangleFileLine(MeshTriangleFile* file, const char** text, size_t* length);

// Flushes, closes and releases the buffer. triangleFileWriteFailed if the
// flush or the close failed or any earlier operation did. Safe to call twice.
int32_t closeTriangleFile(MeshTriangleFile* file);
