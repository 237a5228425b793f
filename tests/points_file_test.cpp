// The points file: its layout, its text mode, its sources, the two passes,
// the point sort and the two tables.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
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
// leak numbers into the points.
TEST(PointsFileLayout, PathLineComesThroughWholeAtAnyLength) {
  const std::string points = "10 20 30\n40 50 60 70 80 90\n";
  for (size_t length : {size_t{0}, size_t{1}, size_t{125}, size_t{126}, size_t{130}, size_t{5000},
                        (size_t{1} << 20) - 1, size_t{1} << 20, (size_t{3} << 19) + 17}) {
    std::string path;
    while (path.size() < length) path += "12 ";
    path.resize(length);
    const ReadResult got = readText(path + "\n" + points);
    SCOPED_TRACE("path length " + std::to_string(length));
    EXPECT_TRUE(got.path == path) << "got a path of " << got.path.size() << " bytes";
    expectPoints(got, {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}});
  }
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

namespace {

// Sorts through the run's path: the triangle table's room as scratch.
void sortAsTheRunDoes(std::vector<MeshPoint>* points) {
  const int32_t n = static_cast<int32_t>(points->size());
  std::vector<MeshTriangle> triangles(static_cast<size_t>(n) * 4 + 1);
  sortPointsByX(points->data(), n, triangles.data(), triangles.size() * sizeof(MeshTriangle));
}

void expectSameSequence(const std::vector<MeshPoint>& got, const std::vector<MeshPoint>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_TRUE(sameBits(got[i].x, want[i].x) && sameBits(got[i].y, want[i].y) &&
                sameBits(got[i].z, want[i].z))
        << "slot " << i << ": got (" << got[i].x << ", " << got[i].y << ") want (" << want[i].x
        << ", " << want[i].y << ")";
  }
}

std::vector<MeshPoint> stableSortedByX(std::vector<MeshPoint> points) {
  std::stable_sort(points.begin(), points.end(),
                   [](const MeshPoint& a, const MeshPoint& b) { return a.x < b.x; });
  return points;
}

}  // namespace

TEST(PointSort, CompareLooksAtXAlone) {
  EXPECT_EQ(comparePointsByX({1, 9, 9}, {2, 0, 0}), -1);
  EXPECT_EQ(comparePointsByX({2, 0, 0}, {1, 9, 9}), 1);
  EXPECT_EQ(comparePointsByX({5, 1, 2}, {5, 3, 4}), 0);
  EXPECT_EQ(comparePointsByX({-0.0, 1, 1}, {0.0, 2, 2}), 0);
  EXPECT_EQ(comparePointsByX({0.0, 1, 1}, {-0.0, 2, 2}), 0);
  EXPECT_EQ(comparePointsByX({-DBL_MAX, 0, 0}, {-DBL_MIN, 0, 0}), -1);
}

TEST(PointSort, EqualXKeepTheirFileOrder) {
  std::vector<MeshPoint> points = {{5, 1, 10}, {5, 2, 20}, {5, 3, 30}};
  for (size_t i = 0; i < 3; ++i) {
    for (size_t j = 0; j < 3; ++j) EXPECT_EQ(comparePointsByX(points[i], points[j]), 0);
  }
  sortAsTheRunDoes(&points);
  expectSameSequence(points, {{5, 1, 10}, {5, 2, 20}, {5, 3, 30}});
  points = {{5, 1, 0}, {2, 0, 0}, {5, 2, 0}, {-1, 0, 0}, {5, 3, 0}};
  sortAsTheRunDoes(&points);
  expectSameSequence(points, {{-1, 0, 0}, {2, 0, 0}, {5, 1, 0}, {5, 2, 0}, {5, 3, 0}});
}

TEST(PointSort, DescendingXComesOutAscendingWithYAndZAlong) {
  std::vector<MeshPoint> points = {{3, 30, 300}, {2, 20, 200}, {1, 10, 100}, {-4, -40, -400}};
  sortAsTheRunDoes(&points);
  expectSameSequence(points, {{-4, -40, -400}, {1, 10, 100}, {2, 20, 200}, {3, 30, 300}});
  // Long enough for the bulk sort, not just the short one.
  std::vector<MeshPoint> many;
  for (int i = 5000; i > 0; --i) many.push_back({i * 0.5, i * 2.0, -i * 1.0});
  sortAsTheRunDoes(&many);
  for (int i = 1; i <= 5000; ++i) {
    const MeshPoint& p = many[static_cast<size_t>(i - 1)];
    ASSERT_EQ(p.x, i * 0.5);
    ASSERT_EQ(p.y, i * 2.0);
    ASSERT_EQ(p.z, -i * 1.0);
  }
}

TEST(PointSort, NegativeAndPositiveZeroAreEqual) {
  std::vector<MeshPoint> points = {{0.0, 1, 0}, {-0.0, 2, 0}, {0.0, 3, 0}, {-0.0, 4, 0}, {-1, 5, 0}};
  const std::vector<MeshPoint> want = stableSortedByX(points);
  ASSERT_EQ(want[1].y, 1);  // the oracle itself keeps the zeros in file order
  sortAsTheRunDoes(&points);
  expectSameSequence(points, want);
  // Already in order once the zeros are equal: nothing moves.
  points = {{-0.0, 1, 0}, {0.0, 2, 0}, {-0.0, 3, 0}};
  sortAsTheRunDoes(&points);
  expectSameSequence(points, {{-0.0, 1, 0}, {0.0, 2, 0}, {-0.0, 3, 0}});
  // The same in bulk, zeros of both signs among other values.
  std::vector<MeshPoint> many;
  for (int i = 0; i < 3000; ++i) {
    const double x = i % 3 == 0 ? 0.0 : (i % 3 == 1 ? -0.0 : (i % 7) - 3.0);
    many.push_back({x, static_cast<double>(i), 0});
  }
  const std::vector<MeshPoint> manyWant = stableSortedByX(many);
  sortAsTheRunDoes(&many);
  expectSameSequence(many, manyWant);
}

TEST(PointSort, RandomDataWithManyEqualXMatchesAStableSort) {
  std::mt19937_64 random(77);
  const double values[] = {-DBL_MAX, -1e300, -1000.5, -1, -DBL_MIN, -4.9e-324, -0.0, 0.0, 4.9e-324,
                           1e-300,   0.25,   1,       1.0000000000000002, 999.999999, 1e300, DBL_MAX};
  for (size_t n : {size_t{2}, size_t{5}, size_t{31}, size_t{32}, size_t{33}, size_t{100},
                   size_t{1000}, size_t{100000}}) {
    for (int spread : {3, 16, 0}) {
      std::vector<MeshPoint> points;
      for (size_t i = 0; i < n; ++i) {
        double x;
        if (spread == 0) {
          x = std::uniform_real_distribution<double>(-1e6, 1e6)(random);
        } else {
          x = values[std::uniform_int_distribution<int>(0, spread - 1)(random)];
        }
        points.push_back({x, static_cast<double>(i), -static_cast<double>(i)});
      }
      const std::vector<MeshPoint> want = stableSortedByX(points);
      SCOPED_TRACE("n " + std::to_string(n) + ", spread " + std::to_string(spread));
      std::vector<MeshPoint> runPath = points;
      sortAsTheRunDoes(&runPath);
      expectSameSequence(runPath, want);
      // Scratch of exactly n points is enough.
      std::vector<MeshPoint> exactScratch(n);
      std::vector<MeshPoint> exact = points;
      sortPointsByX(exact.data(), static_cast<int32_t>(n), exactScratch.data(),
                    n * sizeof(MeshPoint));
      expectSameSequence(exact, want);
      // Without usable scratch the sort still sorts, stably.
      std::vector<MeshPoint> noScratch = points;
      sortPointsByX(noScratch.data(), static_cast<int32_t>(n), nullptr, 0);
      expectSameSequence(noScratch, want);
    }
  }
}

// ---------------------------------------------------------------------------

namespace {

int heapCalls = 0;
size_t heapLastBytes = 0;
bool heapRefuses = false;

void* recordingAllocate(size_t bytes) {
  ++heapCalls;
  heapLastBytes = bytes;
  return heapRefuses ? nullptr : std::malloc(bytes);
}
void* recordingResize(void* block, size_t bytes) { return std::realloc(block, bytes); }
void recordingRelease(void* block) { std::free(block); }

class PointTables : public ::testing::Test {
 protected:
  void SetUp() override {
    heapCalls = 0;
    heapLastBytes = 0;
    heapRefuses = false;
    meshHeap = {recordingAllocate, recordingResize, recordingRelease};
  }
  void TearDown() override { resetMeshHeap(); }
};

}  // namespace

TEST_F(PointTables, TablesComeFromTheMeshHeapAtTheirSizes) {
  MeshPoint* points = allocatePointTable(5);
  ASSERT_NE(points, nullptr);
  EXPECT_EQ(heapCalls, 1);
  EXPECT_EQ(heapLastBytes, 8 * sizeof(MeshPoint));
  MeshTriangle* triangles = allocateTriangleTable(5);
  ASSERT_NE(triangles, nullptr);
  EXPECT_EQ(heapCalls, 2);
  EXPECT_EQ(heapLastBytes, 20 * sizeof(MeshTriangle));
  meshRelease(triangles);
  meshRelease(points);
}

TEST_F(PointTables, RefusedHeapGivesNoTable) {
  heapRefuses = true;
  EXPECT_EQ(allocatePointTable(10), nullptr);
  EXPECT_EQ(allocateTriangleTable(10), nullptr);
  EXPECT_EQ(heapCalls, 2);
}

TEST_F(PointTables, SizesBeyondA32BitCountAreRefusedWithoutAsking) {
  heapRefuses = true;
  EXPECT_EQ(allocatePointTable(INT32_MAX), nullptr);
  EXPECT_EQ(allocatePointTable(INT32_MAX - 2), nullptr);
  EXPECT_EQ(allocateTriangleTable(536870912), nullptr);
  EXPECT_EQ(allocateTriangleTable(INT32_MAX), nullptr);
  EXPECT_EQ(allocatePointTable(-1), nullptr);
  EXPECT_EQ(allocateTriangleTable(-1), nullptr);
  EXPECT_EQ(heapCalls, 0);
  // The largest sizes that fit are asked for in full.
  EXPECT_EQ(allocatePointTable(INT32_MAX - 3), nullptr);
  EXPECT_EQ(heapLastBytes, size_t{2147483647} * sizeof(MeshPoint));
  EXPECT_EQ(allocateTriangleTable(536870911), nullptr);
  EXPECT_EQ(heapLastBytes, size_t{2147483644} * sizeof(MeshTriangle));
  EXPECT_EQ(heapCalls, 2);
}
