// Hostile and unusual input, end to end through the real binary: every run
// must end with its documented status in bounded time, and whatever CSV file
// it leaves must have the documented layout. Complete runs end with the
// final busy-wait, so the cases are grouped and cheap early ends preferred.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "../fuzz/mesh_input.h"
#include "test_support.h"

namespace {

constexpr int kTimeoutSeconds = 60;
const std::string kOutOfRange = "Average long side length is out of range.\n";
const std::string kEmptyMeshFile = "0\r\n0\r\n********\r\n";

std::string csvOpenFailure(const std::string& path) {
  return "Failed to open CSV file \"" + path + "\"\nPress any key to exit.";
}

std::map<std::string, std::string> folderContents(const std::string& dir) {
  std::map<std::string, std::string> contents;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    contents[name] = entry.is_regular_file() ? readFile(dir + "/" + name) : "<not a file>";
  }
  return contents;
}

// Whether this process may still write there after its permissions were
// taken away (root may; so may anyone where folders have no such bit).
bool mayStillCreateIn(const std::string& dir) {
  const std::string probe = dir + "/probe";
  const bool created = std::ofstream(nativePath(probe)).good();
  if (created) std::filesystem::remove(probe);
  return created;
}

bool mayStillWrite(const std::string& path) { return std::ofstream(nativePath(path), std::ios::app).good(); }

ProcessResult run(const std::string& tsvPath, const std::string& workDir = "") {
  return runTsvmeshBinary({tsvPath}, workDir, "", kTimeoutSeconds);
}

// Three points that make one triangle with sides 3, 4 and 5.
const std::string kThreePoints = "0 0 1\n4 0 2\n0 3 3\n";

bool isDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A coordinate as the file writes it: -?digits.dd
bool isTwoDecimals(const std::string& text) {
  const size_t start = (!text.empty() && text[0] == '-') ? 1 : 0;
  const size_t dot = text.find('.');
  return dot != std::string::npos && dot > start && text.size() == dot + 3 &&
         isDigits(text.substr(start, dot - start)) && isDigits(text.substr(dot + 1));
}

struct CsvFile {
  int64_t count = -1;
  bool hasAverage = false;
  int64_t average = -1;
  std::vector<std::string> triangleLines;  // without their CR LF
};

// Reads a finished CSV file and gives the first way in which its layout is
// broken, or "": bytes 0-15 hold the count line, the average line (missing
// when the statistic was out of range) and the rest of the placeholder
// (asterisks and CR LF, or a lone LF); from byte 16 on, three lines per
// triangle, each of three two-decimal values with two commas, ending CR LF.
std::string csvLayoutProblem(const std::string& bytes, CsvFile* csv) {
  if (bytes.size() < 16) return "shorter than the placeholder";
  const std::string head = bytes.substr(0, 16);
  size_t at = head.find("\r\n");
  if (at == std::string::npos || !isDigits(head.substr(0, at))) return "no count line";
  csv->count = std::stoll(head.substr(0, at));
  at += 2;
  const size_t averageEnd = head.find("\r\n", at);
  if (averageEnd != std::string::npos && isDigits(head.substr(at, averageEnd - at))) {
    csv->hasAverage = true;
    csv->average = std::stoll(head.substr(at, averageEnd - at));
    at = averageEnd + 2;
  }
  const std::string rest = head.substr(at);
  const bool asterisks = rest.size() >= 2 && rest.compare(rest.size() - 2, 2, "\r\n") == 0 &&
                         rest.find_first_not_of('*') == rest.size() - 2;
  if (!asterisks && rest != "\n") return "placeholder remnant \"" + rest + "\"";

  size_t line = 16;
  while (line < bytes.size()) {
    const size_t end = bytes.find("\r\n", line);
    if (end == std::string::npos) return "last line without CR LF";
    const std::string text = bytes.substr(line, end - line);
    const size_t first = text.find(',');
    const size_t second = first == std::string::npos ? first : text.find(',', first + 1);
    if (second == std::string::npos || text.find(',', second + 1) != std::string::npos ||
        !isTwoDecimals(text.substr(0, first)) || !isTwoDecimals(text.substr(first + 1, second - first - 1)) ||
        !isTwoDecimals(text.substr(second + 1)) || text.find('\n') != std::string::npos) {
      return "bad triangle line \"" + text + "\"";
    }
    csv->triangleLines.push_back(text);
    line = end + 2;
  }
  if (static_cast<int64_t>(csv->triangleLines.size()) != 3 * csv->count) {
    return std::to_string(csv->triangleLines.size()) + " lines for " + std::to_string(csv->count) + " triangles";
  }
  return "";
}

// A complete run: status 0, the transcript in order, a CSV of sound layout
// whose count matches the transcript, and on standard error `warning` (where
// the point list was cut short) before anything else. Gives the file as read.
CsvFile expectCompleteRun(const ProcessResult& result, const std::string& csvPath,
                          const std::string& warning = "") {
  CsvFile csv;
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.rfind("\nProcessing Points.", 0), 0u) << result.out;
  if (!fileExists(csvPath)) {
    ADD_FAILURE() << "no CSV file at " << csvPath;
    return csv;
  }
  const std::string problem = csvLayoutProblem(readFile(csvPath), &csv);
  EXPECT_EQ(problem, "");
  const std::string formed = "\n\nFormed " + std::to_string(csv.count) +
                             " triangles.  Checking avg tri side length.\n\n";
  EXPECT_NE(result.out.find(formed), std::string::npos) << result.out;
  if (csv.hasAverage) {
    EXPECT_EQ(result.err, warning);
    const std::string last = "Average long side length = " + std::to_string(csv.average) + ".";
    EXPECT_TRUE(result.out.size() >= last.size() &&
                result.out.compare(result.out.size() - last.size(), last.size(), last) == 0)
        << result.out;
  } else {
    EXPECT_EQ(result.err, warning + kOutOfRange);
    EXPECT_EQ(result.out.find("Average long side length ="), std::string::npos) << result.out;
  }
  return csv;
}

std::string randomBytes(size_t count, uint32_t seed) {
  std::mt19937 generator(seed);  // the engine's output is fixed by the standard
  std::string bytes;
  for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<char>(generator() & 0xFF));
  return bytes;
}

TEST(HostileInput, FilesWithoutThreePointsEndWithoutAFile) {
  const std::string dir = makeScratchDir();
  const std::string binary = randomBytes(65536, 20240611);
  struct Case {
    const char* name;
    std::string bytes;
    int64_t endLine;  // where the point list is cut short; 0 for nowhere
  };
  const std::vector<Case> files = {
      {"empty", "", 0},
      {"only a path", "out.csv\n", 0},
      {"only a path without line end", "out.csv", 0},
      {"no line end at all", "out.csv 0 0 1 4 0 2 0 3 3 8 8 8", 0},
      {"NUL bytes", "out.csv\n" + std::string(3, '\0') + " " + kThreePoints, 2},
      {"random binary", binary, 2},
      {"a path, then random binary", "out.csv\n" + binary, 2},
  };
  const std::string tsvPath = dir + "/points.tsv";
  for (const auto& [name, bytes, endLine] : files) {
    SCOPED_TRACE(name);
    writeFile(tsvPath, bytes);
    const ProcessResult result = run(tsvPath, dir);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, (endLine > 0 ? pointsEndWarning(endLine, tsvPath) : "") + fewerPointsWarning(tsvPath));
    EXPECT_EQ(folderContents(dir), (std::map<std::string, std::string>{{"points.tsv", bytes}}));
  }
}

TEST(HostileInput, NulAndEndOfTextBytesEndThePointList) {
  const std::string dir = makeScratchDir();
  // After two points a NUL cuts the list short, a 0x1A ends the file: no CSV.
  const std::string tsvPath = dir + "/points.tsv";
  const std::vector<std::pair<std::string, std::string>> cut = {
      {"0 0 1\n4 0 2\n" + std::string(1, '\0') + "0 3 3\n", pointsEndWarning(4, tsvPath)},
      {"0 0 1\n4 0 2\n\x1a" "0 3 3\n7 7 7\n", ""}};
  for (const auto& [points, warning] : cut) {
    SCOPED_TRACE(points);
    writeFile(tsvPath, dir + "/out.csv\n" + points);
    const ProcessResult result = run(tsvPath);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, warning + fewerPointsWarning(tsvPath));
    EXPECT_FALSE(fileExists(dir + "/out.csv"));
  }

  // Three points, then a NUL and random binary: the run completes with them.
  writeFile(tsvPath, dir + "/out.csv\n" + kThreePoints + std::string(1, '\0') + randomBytes(4096, 7));
  const CsvFile csv = expectCompleteRun(run(tsvPath), dir + "/out.csv", pointsEndWarning(5, tsvPath));
  EXPECT_EQ(csv.count, 1);
  EXPECT_EQ(csv.average, 5);
  EXPECT_EQ(std::multiset<std::string>(csv.triangleLines.begin(), csv.triangleLines.end()),
            (std::multiset<std::string>{"0.00,0.00,1.00", "4.00,0.00,2.00", "0.00,3.00,3.00"}));
}

TEST(HostileInput, NonFiniteNumbersEndThePointList) {
  const std::string dir = makeScratchDir();
  // Each value ends the list at the third point: two points, no CSV.
  const std::vector<std::string> thirdPoints = {"inf 3 3", "0 -inf 3", "0 3 nan", "NAN(12) 3 3",
                                                "0 1e999 3", "-1e999 3 3", "0 3 Infinity"};
  const std::string tsvPath = dir + "/points.tsv";
  for (const std::string& third : thirdPoints) {
    SCOPED_TRACE(third);
    writeFile(tsvPath, dir + "/out.csv\n0 0 1\n4 0 2\n" + third + "\n0 3 3\n5 5 5\n");
    const ProcessResult result = run(tsvPath);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, pointsEndWarning(4, tsvPath) + fewerPointsWarning(tsvPath));
    EXPECT_FALSE(fileExists(dir + "/out.csv"));
  }
}

TEST(HostileInput, HexadecimalAndNegativeZeroAreNumbers) {
  const std::string dir = makeScratchDir();
  // 0x10 is 16 and 0x1.8p3 is 12; -0 keeps its sign on the way out. The
  // infinity after them ends the list, so (5, 5, 5) is not taken.
  writeFile(dir + "/points.tsv", dir + "/out.csv\n0 0 1\n0x10 0 2\n-0 0x1.8p3 3\ninf 1 1\n5 5 5\n");
  const CsvFile csv =
      expectCompleteRun(run(dir + "/points.tsv"), dir + "/out.csv", pointsEndWarning(5, dir + "/points.tsv"));
  EXPECT_EQ(csv.count, 1);
  EXPECT_EQ(csv.average, 20);  // the longest side, from (16, 0) to (0, 12)
  EXPECT_EQ(std::multiset<std::string>(csv.triangleLines.begin(), csv.triangleLines.end()),
            (std::multiset<std::string>{"0.00,0.00,1.00", "16.00,0.00,2.00", "-0.00,12.00,3.00"}));
}

TEST(HostileInput, LinesOfAMillionCharacters) {
  const std::string dir = makeScratchDir();
  // A number of 1.1 million characters, longer than the read buffer, is 4.
  writeFile(dir + "/points.tsv",
            dir + "/out.csv\n0 0 1\n4." + std::string(1100000, '0') + " 0 2\n0 3 3\n");
  const CsvFile csv = expectCompleteRun(run(dir + "/points.tsv"), dir + "/out.csv");
  EXPECT_EQ(csv.count, 1);
  EXPECT_EQ(csv.average, 5);

  // A million digits overflow to infinity and end the list after two points.
  writeFile(dir + "/few.tsv", dir + "/few.csv\n0 0 1\n4 0 2\n" + std::string(1000000, '7') + " 3 3\n0 3 3\n");
  const ProcessResult few = run(dir + "/few.tsv");
  EXPECT_EQ(few.status, 0);
  EXPECT_EQ(few.out, "");
  EXPECT_EQ(few.err, pointsEndWarning(4, dir + "/few.tsv") + fewerPointsWarning(dir + "/few.tsv"));
  EXPECT_FALSE(fileExists(dir + "/few.csv"));
}

TEST(HostileInput, TheWholeFirstLineIsThePath) {
  const std::string dir = makeScratchDir();
  // 4,000 characters: too long a name for the system, so the CSV cannot be
  // created, and the line's characters are not taken for point data.
  const std::string tooLong(4000, 'a');
  writeFile(dir + "/points.tsv", tooLong + "\n" + kThreePoints);
  const ProcessResult failed = run(dir + "/points.tsv", dir);
  EXPECT_EQ(failed.status, 255);
  EXPECT_EQ(failed.err, csvOpenFailure(tooLong));
  EXPECT_EQ(failed.out.rfind("\nProcessing Points.", 0), 0u);
  EXPECT_EQ(folderContents(dir).size(), 1u);

  // 200 characters with blanks and non-ASCII letters: the file has exactly that name.
  std::string name = "mesh of the survey, äöü 日本 ";
  while (dir.size() + 1 + name.size() + 4 < 200) name += "x";
  name += ".csv";
  const std::string path = dir + "/" + name;
  ASSERT_EQ(path.size(), 200u);
  writeFile(dir + "/points.tsv", path + "\r\n" + kThreePoints);
  const CsvFile csv = expectCompleteRun(run(dir + "/points.tsv"), path);
  EXPECT_EQ(csv.count, 1);
  EXPECT_EQ(folderContents(dir).size(), 2u);
}

TEST(HostileInput, OutputPathsThatCannotBeCreated) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/keep.csv", "an earlier mesh\r\n");
  std::filesystem::create_directory(dir + "/folder");
  writeFile(dir + "/folder/inside.txt", "kept");
  std::vector<std::string> paths = {
      dir + "/folder",                // a folder
      dir + "/folder/",               // a folder, with a slash
      dir + "/keep.csv/",             // a file named as a folder
      dir + "/keep.csv/out.csv",      // a file as a parent folder
      "/proc/tsvmesh-hostile.csv",    // a file system that takes no new files
      dir + "/no such folder/out.csv",
  };
  std::filesystem::create_directory(dir + "/locked");
  std::filesystem::permissions(dir + "/locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  if (!mayStillCreateIn(dir + "/locked")) paths.push_back(dir + "/locked/out.csv");
  // A NUL in the path: never opened, and the message shows the path up to it.
  paths.push_back(dir + "/n" + std::string(1, '\0') + "ul.csv");
  const std::map<std::string, std::string> before = folderContents(dir);
  const std::string tsvPath = makeScratchDir() + "/points.tsv";
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    writeFile(tsvPath, path + "\n" + kThreePoints);
    const ProcessResult result = run(tsvPath);
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.err, csvOpenFailure(path.substr(0, path.find('\0'))));
    EXPECT_EQ(folderContents(dir), before);
    EXPECT_EQ(readFile(dir + "/folder/inside.txt"), "kept");
  }
}

TEST(HostileInput, FullDeviceReportsTheWriteFailure) {
  if (!fileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string dir = makeScratchDir();
  writeFile(dir + "/points.tsv", "/dev/full\n" + kThreePoints);
  const ProcessResult result = run(dir + "/points.tsv");
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.out, "\nProcessing Points..");
  EXPECT_EQ(result.err, "Failed to write CSV file \"/dev/full\"\nPress any key to exit.");
}

std::string pointsAtScale(double scale) {
  // Ten points spread over [-scale, scale], written in full precision.
  std::string text;
  const int grid[10][2] = {{-9, 3}, {7, -8}, {2, 9}, {-4, -6}, {9, 1}, {-1, 0}, {5, 6}, {-7, -2}, {3, -4}, {0, 8}};
  for (int i = 0; i < 10; ++i) {
    char line[128];
    std::snprintf(line, sizeof line, "%.17g %.17g %d\n", grid[i][0] * scale / 9, grid[i][1] * scale / 9, i);
    text += line;
  }
  return text;
}

TEST(HostileInput, HugeCoordinatesEndNormally) {
  const std::string dir = makeScratchDir();
  // 1e15 and 1e100: a mesh of every point, its sides too long for the
  // 32-bit statistic, which says so on standard error.
  for (const double scale : {1e15, 1e100}) {
    SCOPED_TRACE(scale);
    writeFile(dir + "/points.tsv", dir + "/out.csv\n" + pointsAtScale(scale));
    const CsvFile csv = expectCompleteRun(run(dir + "/points.tsv"), dir + "/out.csv");
    EXPECT_GT(csv.count, 0);
    EXPECT_FALSE(csv.hasAverage);
  }
  // 1e300: the enclosing triangle's squared radius overflows, so it has no
  // circle, no point ever enters it, and the mesh stays empty.
  writeFile(dir + "/points.tsv", dir + "/out.csv\n" + pointsAtScale(1e300));
  const CsvFile csv = expectCompleteRun(run(dir + "/points.tsv"), dir + "/out.csv");
  EXPECT_EQ(csv.count, 0);
  EXPECT_EQ(readFile(dir + "/out.csv"), kEmptyMeshFile);
}

TEST(HostileInput, PointsCloserThanTheLevelToleranceEndNormally) {
  const std::string dir = makeScratchDir();
  // A set the fuzzer found: 100 points on an 11 x 11 grid of 1e-7 steps. Thin
  // triangles pass for level ones, which are never removed, until all 4n
  // slots of the table are used; the run still ends normally and writes the
  // unfinished mesh, super-triangle corners and all.
  const std::string bytes = readFile(std::string(TSVMESH_SOURCE_DIR) + "/fuzz/corpus/triangulation/finding_below_tolerance");
  const FuzzPointSet set = decodeFuzzPointSet(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  std::string points;
  for (int32_t i = 0; i < set.n; ++i) {
    char line[96];
    const MeshPoint& p = set.points[static_cast<size_t>(i)];
    std::snprintf(line, sizeof line, "%.17g %.17g %.17g\n", p.x, p.y, p.z);
    points += line;
  }
  writeFile(dir + "/points.tsv", dir + "/out.csv\n" + points);
  const CsvFile csv = expectCompleteRun(run(dir + "/points.tsv"), dir + "/out.csv");
  EXPECT_EQ(csv.count, 4 * set.n);
}

TEST(HostileInput, DegenerateSetsGiveAnEmptyMesh) {
  const std::string dir = makeScratchDir();
  std::string onALine;
  for (int i = 0; i < 50; ++i) onALine += std::to_string(i * 3 - 70) + " " + std::to_string(i * 2 + 1) + " 1\n";
  std::string allEqual;
  for (int i = 0; i < 20; ++i) allEqual += "12.5 -3.25 " + std::to_string(i) + "\n";
  std::string oneX;
  for (int i = 0; i < 10000; ++i) oneX += "5 " + std::to_string((i * 7919) % 10000) + " 0\n";
  for (const std::string& points : {onALine, allEqual, oneX}) {
    SCOPED_TRACE(points.substr(0, 40));
    writeFile(dir + "/points.tsv", dir + "/out.csv\n" + points);
    const ProcessResult result = run(dir + "/points.tsv");
    const CsvFile csv = expectCompleteRun(result, dir + "/out.csv");
    EXPECT_EQ(csv.count, 0);
    EXPECT_EQ(readFile(dir + "/out.csv"), kEmptyMeshFile);
    EXPECT_NE(result.out.find("Formed 0 triangles.  "), std::string::npos);
  }
}

TEST(HostileInput, PointsOnOneCircleAndThreePoints) {
  const std::string dir = makeScratchDir();
  // The 36 integer points on the circle of radius 65: all cocircular, so
  // rounding decides each in-circle test; the run still ends normally.
  std::string circle;
  for (int x = -65; x <= 65; ++x) {
    for (int y = -65; y <= 65; ++y) {
      if (x * x + y * y == 65 * 65) circle += std::to_string(x) + "\t" + std::to_string(y) + "\t1\n";
    }
  }
  writeFile(dir + "/points.tsv", dir + "/out.csv\n" + circle);
  const CsvFile onCircle = expectCompleteRun(run(dir + "/points.tsv"), dir + "/out.csv");
  EXPECT_GT(onCircle.count, 0);
  EXPECT_LE(onCircle.count, 4 * 36);

  writeFile(dir + "/points.tsv", dir + "/out.csv\n0 0 1.25\n3 0 2\n0 4 0.5\n");
  const CsvFile three = expectCompleteRun(run(dir + "/points.tsv"), dir + "/out.csv");
  EXPECT_EQ(three.count, 1);
  EXPECT_EQ(three.average, 5);
  EXPECT_EQ(std::multiset<std::string>(three.triangleLines.begin(), three.triangleLines.end()),
            (std::multiset<std::string>{"0.00,0.00,1.25", "3.00,0.00,2.00", "0.00,4.00,0.50"}));
}

TEST(HostileInput, EarlyEndsLeaveAnExistingFileAlone) {
  const std::string dir = makeScratchDir();
  const std::string csvPath = dir + "/out.csv";
  writeFile(csvPath, "an earlier mesh\r\n");

  // The points file is missing.
  const ProcessResult missing = run(dir + "/absent.tsv");
  EXPECT_EQ(missing.status, 255);

  // Fewer than three points.
  writeFile(dir + "/few.tsv", csvPath + "\n0 0 1\n4 0 2\n");
  const ProcessResult few = run(dir + "/few.tsv");
  EXPECT_EQ(few.status, 0);
  EXPECT_EQ(few.out, "");
  EXPECT_EQ(few.err, fewerPointsWarning(dir + "/few.tsv"));

  // The CSV cannot be created: the path names the file as a folder.
  writeFile(dir + "/slash.tsv", csvPath + "/\n" + kThreePoints);
  const ProcessResult slash = run(dir + "/slash.tsv");
  EXPECT_EQ(slash.status, 255);
  EXPECT_EQ(slash.err, csvOpenFailure(csvPath + "/"));

  // A file the user may not write (root may, so only for others).
  std::filesystem::permissions(csvPath, std::filesystem::perms::owner_read);
  const bool locked = !mayStillWrite(csvPath);
  if (locked) {
    writeFile(dir + "/locked.tsv", csvPath + "\n" + kThreePoints);
    const ProcessResult refused = run(dir + "/locked.tsv");
    EXPECT_EQ(refused.status, 255);
    EXPECT_EQ(refused.err, csvOpenFailure(csvPath));
  }
  std::filesystem::permissions(csvPath, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  std::map<std::string, std::string> expected = {{"out.csv", "an earlier mesh\r\n"},
                                                 {"few.tsv", readFile(dir + "/few.tsv")},
                                                 {"slash.tsv", readFile(dir + "/slash.tsv")}};
  if (locked) expected["locked.tsv"] = readFile(dir + "/locked.tsv");
  EXPECT_EQ(folderContents(dir), expected);
}

}  // namespace

// Notepad's UTF-8 begins with a byte-order mark; the output's name does not.
TEST(HostileInput, AByteOrderMarkBeforeTheOutputPathIsNotPartOfTheName) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/bom.tsv", "\xEF\xBB\xBF" "out.csv\n0 0 1\n4 0 2\n0 3 3\n");
  const ProcessResult run = runTsvmeshBinary({"--no-wait", "bom.tsv"}, dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fileExists(dir + "/out.csv"));
  EXPECT_FALSE(fileExists(dir + "/\xEF\xBB\xBF" "out.csv"));
  EXPECT_EQ(readFile(dir + "/out.csv").substr(0, 3), "1\r\n");
}
