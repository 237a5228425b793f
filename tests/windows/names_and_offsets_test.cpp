// What is new on Windows: names beyond the code page, on the command line
// and in the points file's first line, and offsets past 4 GiB.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/files.h"
#include "platform/windows/names.h"
#include "test_support.h"

namespace {

const char* const points = "0 0 1\n4 0 2\n0 3 3\n4 3 4\n2 5 5\n";

void writeWide(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

bool existsWide(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(WindowsNames, WideArgumentAndUtf8FirstLine) {
  const std::string dir = makeScratchDir();
  // "relevé été ✓.tsv" and "résultat ☃.csv", outside any single-byte code page.
  const std::string tsv = dir + "/relev\xC3\xA9 \xC3\xA9t\xC3\xA9 \xE2\x9C\x93.tsv";
  const std::string csv = dir + "/r\xC3\xA9sultat \xE2\x98\x83.csv";
  writeWide(wideName(tsv), csv + "\r\n" + points);
  const ProcessResult run = runTsvmeshBinary({tsv});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(existsWide(wideName(csv)));
  EXPECT_EQ(run.out.substr(run.out.size() - 30), "\nAverage long side length = 4.");

  // A missing file is named in the message as given, in UTF-8 bytes.
  const ProcessResult missing = runTsvmeshBinary({dir + "/\xE2\x9C\x93 missing.tsv"});
  EXPECT_EQ(missing.status, 255);
  EXPECT_EQ(missing.err, "Failed to open TSV file \"" + dir + "/\xE2\x9C\x93 missing.tsv\"\nPress any key to exit.");
}

TEST(WindowsNames, FirstLineThatIsNotUtf8IsInTheAnsiCodePage) {
  const std::string dir = makeScratchDir();
  const std::string name = dir + "/r\xE9sum\xE9.csv";  // not UTF-8: 0xE9 stands alone
  wchar_t expected[MAX_PATH] = {};
  ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, expected, MAX_PATH), 0);
  writeFile(dir + "/in.tsv", name + "\n" + points);
  const ProcessResult run = runTsvmeshBinary({dir + "/in.tsv"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(existsWide(expected));
}

TEST(WindowsNames, PathsPastTheClassicLengthLimit) {
  std::string dir = makeScratchDir();
  for (int i = 0; i < 6; ++i) {
    dir += "/" + std::string(60, static_cast<char>('a' + i));
    ASSERT_TRUE(CreateDirectoryW(systemPath(dir.c_str()).c_str(), nullptr));
  }
  ASSERT_GT(dir.size(), static_cast<size_t>(MAX_PATH));
  writeWide(systemPath((dir + "/in.tsv").c_str()), dir + "/out.csv\n" + points);
  const ProcessResult run = runTsvmeshBinary({dir + "/in.tsv"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(existsWide(systemPath((dir + "/out.csv").c_str())));
}

TEST(WindowsNames, UnpairedSurrogatesSurviveTheRoundTrip) {
  const wchar_t name[] = {L'a', 0xD800, L'b', 0xDC01, 0xD83D, 0xDE00, 0};
  const std::string narrow = narrowName(name, 6);
  EXPECT_EQ(wideName(narrow), std::wstring(name));
}

TEST(WindowsFiles, OffsetsPast4GiB) {
  const std::string path = makeScratchDir() + "/sparse.bin";
  MeshFileHandle file = noFile;
  ASSERT_EQ(createFileForUpdate(path.c_str(), &file), 0);
  constexpr int64_t beyond4GiB = (int64_t{5} << 30) + 3;
  ASSERT_EQ(seekFile(file, beyond4GiB, meshSeekStart), beyond4GiB);
  ASSERT_TRUE(writeToFile(file, "tail", 4));
  EXPECT_EQ(seekFile(file, -2, meshSeekCurrent), beyond4GiB + 2);
  char read[4] = {};
  EXPECT_EQ(readFromFile(file, read, sizeof read), 2);
  EXPECT_EQ(std::string(read, 2), "il");
  EXPECT_TRUE(closeFile(file));

  MeshFileInfo info{};
  ASSERT_EQ(openFileForReading(path.c_str(), &file, &info), 0);
  EXPECT_TRUE(info.rewindable);
  EXPECT_EQ(info.size, beyond4GiB + 4);
  EXPECT_TRUE(closeFile(file));
  DeleteFileW(wideName(path).c_str());
}
