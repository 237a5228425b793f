// The points file: its layout, its text mode, its numbers, its sources and
// the two passes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "input/points_file.h"
#include "test_support.h"

namespace {



ReadResult readText(const std::string& bytes) {
  static const std::string dir = makeScratchDir();
  const std::string filePath = dir + "/points.tsv";
  writeFile(filePath, bytes);
  return readPointsFileAt(filePath);
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expectPoints(const ReadResult& got, const std::vector<MeshPoint>& want) {
  ASSERT_EQ(got.status, pointsFileOk);
  EXPECT_EQ(got.counted, static_cast<int32_t>(want.size()));
  ASSERT_EQ(got.points.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_TRUE(sameBits(got.points[i].x, want[i].x) && sameBits(got.points[i].y, want[i].y) &&
                sameBits(got.points[i].z, want[i].z))
        << "point " << i << ": got (" << got.points[i].x << ", " << got.points[i].y << ", "
        << got.points[i].z << ") want (" << want[i].x << ", " << want[i].y << ", " << want[i].z
        << ")";
  }
}

std::string manyPointLines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += std::to_string(i) + "\t" + std::to_string(i % 97) + ".25\t-" + std::to_string(i % 13) +
            "\n";
  }
  return text;
}

MeshPoint manyPointLinesPoint(int i) {
  return MeshPoint{static_cast<double>(i), (i % 97) + 0.25, -static_cast<double>(i % 13)};
}

// What the counting pass notices in the lines of a file of these bytes.
MeshPointsLayout layoutOf(const std::string& bytes) {
  static const std::string dir = makeScratchDir();
  const std::string filePath = dir + "/layout.tsv";
  writeFile(filePath, bytes);
  MeshPointsFile file;
  EXPECT_EQ(openPointsFile(filePath.c_str(), &file), pointsFileOk);
  std::string path;
  readOutputPath(&file, &path);
  countPoints(&file);
  const MeshPointsLayout layout = pointsLayout(&file);
  closePointsFile(&file);
  return layout;
}

}  // namespace

// ---------------------------------------------------------------------------

TEST(PointsFileLayout, NineNumbersOnOneLineGiveThreePoints) {
  const ReadResult got = readText("out.csv\n1 2 3 4 5 6 7 8 9\n");
  EXPECT_EQ(got.path, "out.csv");
  expectPoints(got, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
}

TEST(PointsFileLayout, PointsGroupByCountNotByLine) {
  expectPoints(readText("out.csv\n1 2 3 9\n4 5 6 9\n"), {{1, 2, 3}, {9, 4, 5}});
  expectPoints(readText("out.csv\n1\t2\n\n 3  4\t\t5\v6\f7 8\n9\n"), {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
}

TEST(PointsFileLayout, ColumnNamesAfterThePathGiveNoPoints) {
  const ReadResult got = readText("out.csv\nx\ty\tz\n1\t2\t3\n4\t5\t6\n7\t8\t9\n");
  EXPECT_EQ(got.path, "out.csv");
  expectPoints(got, {});
}

TEST(PointsFileLayout, DecimalCommaEndsTheList) {
  expectPoints(readText("p\n1 2 3\n4,5 6 7\n8 9 10\n"), {{1, 2, 3}});
  expectPoints(readText("p\n1 2 3\n4 5,5 6\n8 9 10\n"), {{1, 2, 3}});
  expectPoints(readText("p\n1,0\t2,0\t3,0\n"), {});
}

TEST(PointsFileLayout, TextAfterTheLastCompletePointIsIgnored) {
  expectPoints(readText("p\n1 2 3\n4 5 6\nend of survey 7 8 9\n"), {{1, 2, 3}, {4, 5, 6}});
  expectPoints(readText("p\n1 2 3\n4 5 6\n7\n"), {{1, 2, 3}, {4, 5, 6}});
  expectPoints(readText("p\n1 2 3\n4 5"), {{1, 2, 3}});
}

// The path line is digits and blanks, so a line cut short or run long would
// leak numbers into the points. A line longer than any path names no file:
// reading stops there.
TEST(PointsFileLayout, PathLineComesThroughWholeUpToTheLongestPath) {
  const std::string points = "10 20 30\n40 50 60 70 80 90\n";
  const size_t longest = longestPathBytes();
  ASSERT_GE(longest, 255u);
  for (size_t length : {size_t{0}, size_t{1}, size_t{125}, size_t{126}, size_t{130}, longest - 1, longest,
                        longest + 1, size_t{1} << 20, (size_t{3} << 19) + 17}) {
    std::string path;
    while (path.size() < length) path += "12 ";
    path.resize(length);
    const ReadResult got = readText(path + "\n" + points);
    SCOPED_TRACE("path length " + std::to_string(length));
    if (length > longest) {
      EXPECT_EQ(got.status, pointsFileLongPath);
      EXPECT_EQ(got.path, "");
      continue;
    }
    EXPECT_TRUE(got.path == path) << "got a path of " << got.path.size() << " bytes";
    expectPoints(got, {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}});
  }
  // A line without end, longer than any path: the same.
  EXPECT_EQ(readText(std::string(longest + 1, '\0')).status, pointsFileLongPath);
  EXPECT_EQ(readText(std::string(longest, '\0')).status, pointsFileOk);
}

TEST(PointsFileLayout, FirstLineWithoutLineEndIsTheWholeFile) {
  ReadResult got = readText("out.csv");
  EXPECT_EQ(got.path, "out.csv");
  expectPoints(got, {});
  got = readText("");
  EXPECT_EQ(got.path, "");
  expectPoints(got, {});
  got = readText("\n1 2 3");
  EXPECT_EQ(got.path, "");
  expectPoints(got, {{1, 2, 3}});
}

TEST(PointsFileLayout, NulBytesInTheFirstLineAreKept) {
  const ReadResult got = readText(std::string("a\0b\n1 2 3\n", 10));
  EXPECT_EQ(got.path, std::string("a\0b", 3));
  expectPoints(got, {{1, 2, 3}});
}

// ---------------------------------------------------------------------------

TEST(PointsFileTextMode, CrLfReadsLikeLf) {
  const std::string lf = "surveys/out.csv\n1.5\t2.5\t3.5\n-4\t5e1\t6\n7 8\n9\nend\n";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const ReadResult fromLf = readText(lf);
  const ReadResult fromCrLf = readText(crlf);
  EXPECT_EQ(fromCrLf.path, "surveys/out.csv");
  EXPECT_EQ(fromLf.path, fromCrLf.path);
  expectPoints(fromLf, {{1.5, 2.5, 3.5}, {-4, 50, 6}, {7, 8, 9}});
  expectPoints(fromCrLf, fromLf.points);
}

TEST(PointsFileTextMode, CrIsDroppedEvenInsideANumber) {
  const ReadResult got = readText("out\r.csv\r\n1.5\r2 -\r3 4e\r1\r\n\r\r7 0x\r1p1 9\r");
  EXPECT_EQ(got.path, "out.csv");
  expectPoints(got, {{1.52, -3, 40}, {7, 2, 9}});
}

TEST(PointsFileTextMode, EndOfTextByteEndsTheData) {
  expectPoints(readText("p\n1 2 3\n4 5 6\x1A\n7 8 9\n"), {{1, 2, 3}, {4, 5, 6}});
  expectPoints(readText("p\n1 2 3\n4 5\x1A 6\n7 8 9\n"), {{1, 2, 3}});
  expectPoints(readText("p\n1 2 3\n4 5 6\x1A\r"), {{1, 2, 3}, {4, 5, 6}});
  const ReadResult inPath = readText("pa\x1Ath\n1 2 3\n");
  EXPECT_EQ(inPath.path, "pa");
  expectPoints(inPath, {});
}

// The 0x1A lies past the first buffer's worth of data: both passes must
// still stop there.
TEST(PointsFileTextMode, EndOfTextByteEndsTheDataFarIntoTheFile) {
  const int before = 80000;
  const std::string text = "p\n" + manyPointLines(before) + "\x1A" + manyPointLines(1000);
  ASSERT_GT(text.size(), size_t{1} << 20);
  const ReadResult got = readText(text);
  ASSERT_EQ(got.counted, before);
  ASSERT_EQ(got.points.size(), static_cast<size_t>(before));
  for (int i : {0, 1, 40000, before - 1}) {
    EXPECT_EQ(got.points[static_cast<size_t>(i)].x, manyPointLinesPoint(i).x);
    EXPECT_EQ(got.points[static_cast<size_t>(i)].y, manyPointLinesPoint(i).y);
    EXPECT_EQ(got.points[static_cast<size_t>(i)].z, manyPointLinesPoint(i).z);
  }
}

// ---------------------------------------------------------------------------

TEST(PointsFileNumbers, SignsExponentsAndHexFloatsConvert) {
  expectPoints(readText("p\n+1 -2 3e2\n.5 -.5e-1 1E+2\n0x1.8p3 -0X10 0x.8p1\n7. 00012 -0\n"),
               {{1, -2, 300}, {0.5, -0.05, 100}, {12, -16, 1}, {7, 12, -0.0}});
}

TEST(PointsFileNumbers, NonFiniteValuesEndTheList) {
  for (const char* value : {"inf", "-Infinity", "nan", "NAN(123)", "1e999", "-1e400", "0x1p1024"}) {
    SCOPED_TRACE(value);
    const std::string v = value;
    expectPoints(readText("p\n1 2 3\n" + v + " 5 6\n7 8 9\n"), {{1, 2, 3}});
    expectPoints(readText("p\n1 2 3\n4 " + v + " 6\n7 8 9\n"), {{1, 2, 3}});
    expectPoints(readText("p\n1 2 3\n4 5 " + v + "\n7 8 9\n"), {{1, 2, 3}});
  }
}

TEST(PointsFileNumbers, UnderflowIsFiniteAndTaken) {
  const ReadResult got = readText("p\n1e-999 -1e-400 4.9e-324\n2.2250738585072011e-308 0 0\n");
  expectPoints(got, {{0.0, -0.0, std::numeric_limits<double>::denorm_min()},
                     {std::nextafter(DBL_MIN, 0.0), 0, 0}});
}

// A number longer than the reading buffer still reads as one number.
TEST(PointsFileNumbers, NumberLongerThanTheBufferConverts) {
  const std::string zeros((size_t{3} << 19), '0');
  expectPoints(readText("p\n" + zeros + "12.25 2 3\n-0." + zeros + "1 5 6\n7 8 9\n"),
               {{12.25, 2, 3}, {-0.0, 5, 6}, {7, 8, 9}});
}

// ---------------------------------------------------------------------------

TEST(PointsFileSources, FolderAndMissingFileAreUnreadable) {
  const std::string dir = makeScratchDir();
  MeshPointsFile file;
  EXPECT_EQ(openPointsFile(dir.c_str(), &file), pointsFileUnreadable);
  closePointsFile(&file);
  EXPECT_EQ(openPointsFile((dir + "/no such file.tsv").c_str(), &file), pointsFileUnreadable);
  closePointsFile(&file);
  EXPECT_EQ(file.handle, noFile);
  EXPECT_EQ(file.data, nullptr);
}

namespace {

void writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return;
    done += static_cast<size_t>(wrote);
  }
}

// A pipe is held in memory: both passes see all of it, more than a buffer.
void expectPipeReadWhole(const std::string& pipePath, int writeEnd, const std::string& fifoPath) {
  const int count = 150000;
  const std::string text = "out.csv\r\n" + manyPointLines(count) + "end\n";
  ASSERT_GT(text.size(), size_t{2} << 20);
  std::thread writer([&] {
    int fd = writeEnd;
    if (fd < 0) fd = open(fifoPath.c_str(), O_WRONLY);
    if (fd < 0) return;
    writeAll(fd, text);
    close(fd);
  });
  MeshPointsFile file;
  const int32_t status = openPointsFile(pipePath.c_str(), &file);
  if (status != pointsFileOk) {
    // Let the writer finish before failing.
    const int drain = open(pipePath.c_str(), O_RDONLY);
    char chunk[65536];
    while (drain >= 0 && read(drain, chunk, sizeof chunk) > 0) {
    }
    if (drain >= 0) close(drain);
    writer.join();
    FAIL() << "the pipe did not open";
  }
  writer.join();
  EXPECT_TRUE(file.inMemory);
  std::string path;
  readOutputPath(&file, &path);
  EXPECT_EQ(path, "out.csv");
  const int32_t counted = countPoints(&file);
  ASSERT_EQ(counted, count);
  std::vector<MeshPoint> table(static_cast<size_t>(counted) + 3);
  ASSERT_EQ(readPoints(&file, table.data(), counted), count);
  closePointsFile(&file);
  for (int i = 0; i < count; i += 997) {
    EXPECT_EQ(table[static_cast<size_t>(i)].x, manyPointLinesPoint(i).x);
    EXPECT_EQ(table[static_cast<size_t>(i)].y, manyPointLinesPoint(i).y);
    EXPECT_EQ(table[static_cast<size_t>(i)].z, manyPointLinesPoint(i).z);
  }
  EXPECT_EQ(table[static_cast<size_t>(count - 1)].x, count - 1);
}

}  // namespace

TEST(PointsFileSources, FifoIsReadWholeAndBothPassesAgree) {
  const std::string fifo = makeScratchDir() + "/points.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  expectPipeReadWhole(fifo, -1, fifo);
}

TEST(PointsFileSources, PipeNamedByProcPathIsReadWhole) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  expectPipeReadWhole("/proc/self/fd/" + std::to_string(ends[0]), ends[1], "");
  close(ends[0]);
}

// ---------------------------------------------------------------------------

TEST(PointsFilePasses, ReadingStopsAtTheTableCapacity) {
  const std::string dir = makeScratchDir();
  const std::string filePath = dir + "/points.tsv";
  writeFile(filePath, "p\n" + manyPointLines(10));
  MeshPointsFile file;
  ASSERT_EQ(openPointsFile(filePath.c_str(), &file), pointsFileOk);
  std::string path;
  readOutputPath(&file, &path);
  EXPECT_EQ(countPoints(&file), 10);
  const MeshPoint unset{-7, -7, -7};
  std::vector<MeshPoint> table(8, unset);
  EXPECT_EQ(readPoints(&file, table.data(), 4), 4);
  EXPECT_EQ(table[3].x, 3);
  EXPECT_EQ(table[4].x, unset.x);
  // Every pass rewinds: a second one reads the same from the start.
  EXPECT_EQ(readPoints(&file, table.data(), 7), 7);
  EXPECT_EQ(table[0].y, manyPointLinesPoint(0).y);
  EXPECT_EQ(table[6].z, manyPointLinesPoint(6).z);
  EXPECT_EQ(table[7].x, unset.x);
  EXPECT_EQ(readPoints(&file, table.data(), 0), 0);
  closePointsFile(&file);
  closePointsFile(&file);
}

TEST(PointsFilePasses, FileChangingBetweenThePassesIsReadNoFurtherThanTheCount) {
  const std::string dir = makeScratchDir();
  const std::string filePath = dir + "/points.tsv";
  writeFile(filePath, "p\n" + manyPointLines(3));
  MeshPointsFile file;
  ASSERT_EQ(openPointsFile(filePath.c_str(), &file), pointsFileOk);
  std::string path;
  readOutputPath(&file, &path);
  const int32_t counted = countPoints(&file);
  ASSERT_EQ(counted, 3);
  {
    std::ofstream grow(filePath, std::ios::binary | std::ios::app);
    grow << manyPointLines(50);
  }
  std::vector<MeshPoint> table(static_cast<size_t>(counted) + 3, MeshPoint{-7, -7, -7});
  EXPECT_EQ(readPoints(&file, table.data(), counted), 3);
  EXPECT_EQ(table[3].x, -7);
  // Shrunk to one point: the pass stores what is there.
  writeFile(filePath, "p\n1 2 3\n");
  EXPECT_EQ(readPoints(&file, table.data(), counted), 1);
  closePointsFile(&file);
}

// ---------------------------------------------------------------------------

// Lone CRs are dropped, as text mode drops every CR, so each one joins the
// numbers around it: the reading stays, the joins are noticed.
TEST(PointsFileLayoutNotes, DroppedCrsThatJoinNumbersAreFoundByLine) {
  const std::string loneCr = "o.csv\n1 1 1\n0 0 1\r4 0 2\r0 3 3\r\n5 5 5\n";
  expectPoints(readText(loneCr), {{1, 1, 1}, {0, 0, 14}, {0, 20, 3}, {3, 5, 5}});
  MeshPointsLayout layout = layoutOf(loneCr);
  EXPECT_EQ(layout.joinLine, 3);
  EXPECT_EQ(layout.joins, 2);  // the CR before the LF joins nothing
  // CR LF line ends, CRs beside blanks, and a CR at the end join nothing.
  layout = layoutOf("o.csv\r\n1 2 3\r\n4\r 5 \r6\r\n7 8 9\r");
  EXPECT_EQ(layout.joinLine, 0);
  EXPECT_EQ(layout.joins, 0);
  // A join past the end of the point list is no concern of the list.
  layout = layoutOf("o.csv\n1 2 3\nx y z\n4\r5 6\n");
  EXPECT_EQ(layout.joinLine, 0);
}

// The first read takes 1 MiB of a larger file: a CR as its last byte is
// judged by the first byte of the next read.
TEST(PointsFileLayoutNotes, JoinAcrossTwoReadsIsFound) {
  std::string text = "o.csv\n";
  while (text.size() < (size_t{1} << 20) - 6) text += "1 2 3\n";
  text.resize((size_t{1} << 20) - 2, ' ');
  text += "7\r8 9\n";  // the CR is byte 2^20 - 1
  text += manyPointLines(1000);
  const MeshPointsLayout layout = layoutOf(text);
  EXPECT_EQ(layout.joins, 1);
  EXPECT_EQ(layout.joinLine, 1 + static_cast<int64_t>(std::count(text.begin(), text.begin() + ((1 << 20) - 1), '\n')));
}

// Numbers are taken three at a time whatever the lines; a line with more
// or fewer (blank lines aside) is noticed, up to where the list ends.
TEST(PointsFileLayoutNotes, LinesWithOtherThanThreeNumbersAreCounted) {
  MeshPointsLayout layout = layoutOf("o.csv\n1 2\n\n3 4 5 6\n7 8 9\n1 2 3");
  EXPECT_EQ(layout.oddLine, 2);
  EXPECT_EQ(layout.oddNumbers, 2);
  EXPECT_EQ(layout.oddLines, 2);
  // Four columns: every line shifts the grouping; the last, where the list
  // ends inside a group, is the end's concern, not this one's.
  layout = layoutOf("o.csv\n1 2 3 9\n4 5 6 9\n7 8 9 9\n10 11 12 9\n");
  EXPECT_EQ(layout.oddLine, 2);
  EXPECT_EQ(layout.oddNumbers, 4);
  EXPECT_EQ(layout.oddLines, 3);
  // Three a line, CR LF or not, with blank lines and no final line end.
  layout = layoutOf("o.csv\r\n\r\n1 2 3\r\n  \t\n4 5 6\n7 8 9");
  EXPECT_EQ(layout.oddLine, 0);
  EXPECT_EQ(layout.oddLines, 0);
  // A header ends the list at once: nothing to judge.
  EXPECT_EQ(layoutOf("o.csv\nx y z\n1 2 3 4\n").oddLine, 0);
}
