// The manual page against the program: its list of formats is the format
// table's, row by row in table order with each row's description, and every
// option --help shows is described in it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/cli/command_line.h"
#include "export/cli/formats.h"
#include "test_support.h"

namespace {

// A roff line as it reads: "\-" is "-", "\e" a backslash, "\(aq" and
// "\(dq" quotes, font changes ("\fB") dropped.
std::string plainText(const std::string& line) {
  std::string text;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\' || i + 1 == line.size()) {
      text += line[i];
      continue;
    }
    const char next = line[++i];
    if (next == '-') text += '-';
    if (next == 'e') text += '\\';
    if (next == 'f' && i + 1 < line.size()) ++i;
    if (next == '(' && i + 2 < line.size()) {
      const std::string name = line.substr(i + 1, 2);
      text += name == "aq" ? "'" : name == "dq" ? "\"" : "";
      i += 2;
    }
  }
  return text;
}

// The lines of the section that ".SH NAME" opens, as plain text.
std::vector<std::string> sectionLines(const std::string& page, const std::string& name) {
  std::vector<std::string> lines;
  bool inside = false;
  size_t start = 0;
  while (start < page.size()) {
    size_t end = page.find('\n', start);
    if (end == std::string::npos) end = page.size();
    const std::string line = page.substr(start, end - start);
    start = end + 1;
    if (line.rfind(".SH ", 0) == 0) {
      inside = line == ".SH " + name;
      continue;
    }
    if (inside) lines.push_back(plainText(line));
  }
  return lines;
}

std::string manualPage() { return readFile(std::string(TSVMESH_SOURCE_DIR) + "/docs/tsvmesh-export.1"); }

struct ManualFormat {
  std::string extension;  // without the dot
  std::string firstLine;  // the entry's first line of text
};

// Each ".TP" entry of FORMATS whose tag is ".B .EXT".
std::vector<ManualFormat> manualFormats(const std::vector<std::string>& lines) {
  std::vector<ManualFormat> formats;
  for (size_t i = 0; i + 2 < lines.size(); ++i) {
    if (lines[i] != ".TP" || lines[i + 1].rfind(".B .", 0) != 0) continue;
    formats.push_back({lines[i + 1].substr(4), lines[i + 2]});
  }
  return formats;
}

TEST(ManualPage, ListsEveryFormatInTableOrderWithItsDescription) {
  const std::string page = manualPage();
  ASSERT_FALSE(page.empty()) << "docs/tsvmesh-export.1 not found under " << TSVMESH_SOURCE_DIR;
  const std::vector<ManualFormat> listed = manualFormats(sectionLines(page, "FORMATS"));
  ASSERT_EQ(listed.size(), static_cast<size_t>(exportFormatCount()))
      << "the manual's FORMATS section and the format table differ in length";
  for (int32_t f = 0; f < exportFormatCount(); ++f) {
    const ExportFormat& format = exportFormatAt(f);
    const ManualFormat& entry = listed[static_cast<size_t>(f)];
    EXPECT_EQ(entry.extension, format.extension) << "row " << f << " of the table";
    const std::string description = format.description;
    ASSERT_EQ(entry.firstLine.substr(0, description.size()), description)
        << "." << format.extension << ": the manual's first line should be the table's description";
    // Only punctuation may follow the description on its line.
    EXPECT_EQ(entry.firstLine.find_first_not_of(".;:,", description.size()), std::string::npos)
        << "." << format.extension << ": " << entry.firstLine;
  }
}

// Whether a tag line of OPTIONS (".B", ".BI", ".BR") names the option as a
// whole word: "--contour" is not "--contour-base".
bool tagNames(const std::vector<std::string>& lines, const std::string& name) {
  for (const std::string& line : lines) {
    if (line.rfind(".B", 0) != 0) continue;
    for (size_t at = line.find(name); at != std::string::npos; at = line.find(name, at + 1)) {
      const size_t after = at + name.size();
      if (after == line.size() || std::string("abcdefghijklmnopqrstuvwxyz-").find(line[after]) == std::string::npos) {
        return true;
      }
    }
  }
  return false;
}

TEST(ManualPage, DescribesEveryOptionThatHelpShows) {
  const std::vector<std::string> options = sectionLines(manualPage(), "OPTIONS");
  ASSERT_FALSE(options.empty());
  const std::string usage = exportUsageText();
  int32_t checked = 0;
  for (size_t start = 0; start < usage.size();) {
    size_t end = usage.find('\n', start);
    if (end == std::string::npos) end = usage.size();
    const std::string line = usage.substr(start, end - start);
    start = end + 1;
    // "--name VALUE  what", or "--a, --b  what": every "--" word before the
    // two blanks is an option name.
    if (line.rfind("--", 0) != 0) continue;
    const std::string names = line.substr(0, line.find("  "));
    for (size_t at = names.find("--"); at != std::string::npos; at = names.find("--", at + 2)) {
      const std::string name = names.substr(at, names.find_first_of(" ,=", at) - at);
      EXPECT_TRUE(tagNames(options, name)) << name << " is not described under OPTIONS";
      ++checked;
    }
  }
  EXPECT_GE(checked, 10);
}

}  // namespace
