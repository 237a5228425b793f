#include "test_support.h"

#include "input/points_file.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

const char* tsvmeshBinary() { return TSVMESH_BINARY; }

std::string pointsEndWarning(int64_t line, const std::string& tsvPath) {
  return "Points end at line " + std::to_string(line) + " of \"" + tsvPath + "\"; the rest of the file is not read.\n";
}

std::string fewerPointsWarning(const std::string& tsvPath) {
  return "Fewer than 3 points in \"" + tsvPath + "\": no triangle file is written.\n";
}

std::string crJoinWarning(int64_t line, int64_t joins, const std::string& tsvPath) {
  return "A carriage return joins two numbers at line " + std::to_string(line) + " of \"" + tsvPath +
         "\"; they are read as one" + (joins > 1 ? " (" + std::to_string(joins) + " joins in all)" : "") + ".\n";
}

std::string oddLineWarning(int64_t line, int32_t numbers, int64_t lines, const std::string& tsvPath) {
  return "Line " + std::to_string(line) + " of \"" + tsvPath + "\" holds " + std::to_string(numbers) +
         (numbers == 1 ? " number" : " numbers") + ", not 3; points are taken three numbers at a time, across lines" +
         (lines > 1 ? " (" + std::to_string(lines) + " such lines)" : "") + ".\n";
}

ExecLine execLineFor(const std::string& program, const std::vector<std::string>& argv) {
  std::istringstream emulator(TSVMESH_EMULATOR);
  ExecLine line;
  for (std::string word; emulator >> word;) line.argv.push_back(word);
  if (line.argv.empty()) return {program, argv};
  line.file = line.argv[0];
  if (!argv.empty() && line.file.find("qemu") != std::string::npos) {
    line.argv.push_back("-0");  // qemu-user: the argv[0] the program sees
    line.argv.push_back(argv[0]);
  }
  line.argv.push_back(program);
  if (!argv.empty()) line.argv.insert(line.argv.end(), argv.begin() + 1, argv.end());
  return line;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(nativePath(path), std::ios::binary | std::ios::trunc);
  if (!file) throw std::runtime_error("cannot write " + path);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
  std::ifstream file(nativePath(path), std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

ProcessResult runTsvmeshBinary(const std::vector<std::string>& args, const std::string& workDir,
                               const std::string& stdinPath, int timeoutSeconds) {
  std::vector<std::string> argv{tsvmeshBinary()};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProgram(tsvmeshBinary(), argv, workDir, stdinPath, timeoutSeconds);
}

ReadResult readPointsFileAt(const std::string& filePath) {
  ReadResult result;
  MeshPointsFile file;
  result.status = openPointsFile(filePath.c_str(), &file);
  if (result.status != pointsFileOk) return result;
  result.status = readOutputPath(&file, &result.path);
  if (result.status != pointsFileOk) {
    closePointsFile(&file);
    return result;
  }
  result.counted = countPoints(&file);
  result.points.resize(static_cast<size_t>(result.counted) + 3);
  const int32_t stored = readPoints(&file, result.points.data(), result.counted);
  result.points.resize(static_cast<size_t>(stored));
  closePointsFile(&file);
  return result;
}
