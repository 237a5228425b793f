// Breakline and polygon files: the text form and DXF, hand-made and as
// ezdxf writes them, and every kind of bad input named by its line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "export/read/polylines.h"
#include "test_support.h"

namespace {

// The set as text: one polyline a line, "closed" or "open", then each
// vertex as x,y,z (or x,y,- without z), and @line when withLines.
std::string described(const PolylineSet& set, bool withLines = true) {
  std::string text;
  for (const Polyline& p : set.polylines) {
    text += p.closed ? "closed" : "open";
    for (int32_t v = p.firstVertex; v < p.firstVertex + p.vertexCount; ++v) {
      const PolylineVertex& at = set.vertices[static_cast<size_t>(v)];
      char item[128];
      std::snprintf(item, sizeof item, " %g,%g,", at.x, at.y);
      text += item;
      if (at.hasZ) std::snprintf(item, sizeof item, "%g", at.z);
      text += at.hasZ ? item : "-";
      if (withLines) text += '@' + std::to_string(at.line);
    }
    text += "\n";
  }
  return text;
}

std::string readText(const std::string& text, bool dxf = false) {
  PolylineSet set;
  ExportReadError error;
  const bool ok = dxf ? readPolylineDxf(text.data(), text.size(), &set, &error)
                      : readPolylineText(text.data(), text.size(), &set, &error);
  return ok ? described(set) : std::to_string(error.line) + ": " + error.message;
}

// DXF groups from "code value" pairs, one pair a string: pair k (from 0)
// has its value on line 2k + 2.
std::string dxf(const std::vector<std::string>& pairs) {
  std::string text;
  for (const std::string& pair : pairs) {
    const size_t space = pair.find(' ');
    text += pair.substr(0, space) + "\n" + (space == std::string::npos ? "" : pair.substr(space + 1)) + "\n";
  }
  return text;
}

std::string entities(const std::vector<std::string>& body) {
  std::vector<std::string> pairs{"0 SECTION", "2 ENTITIES"};
  pairs.insert(pairs.end(), body.begin(), body.end());
  pairs.insert(pairs.end(), {"0 ENDSEC", "0 EOF"});
  return dxf(pairs);
}

}  // namespace

TEST(PolylineText, VerticesSeparatorsAndClosedRings) {
  // A byte order mark, CR LF, blanks, tabs and commas; two blank lines
  // between polylines; "x y" without z; a ring that comes back to its start.
  EXPECT_EQ(readText("\xEF\xBB\xBF" "1 2 3\r\n4\t5\t6\r\n  7 , 8,9  \n\n \t\n10 20\n30 40 1.5\n"
                     "\n0 0 1\n10 0 2\n10 10 3\n0 0 1\n"),
            "open 1,2,3@1 4,5,6@2 7,8,9@3\n"
            "open 10,20,-@6 30,40,1.5@7\n"
            "closed 0,0,1@9 10,0,2@10 10,10,3@11\n");
  // Exponents, signs and a last line without its end.
  EXPECT_EQ(readText("+1e3 -2.5E-1 .5\n-0 1e-300 0"), "open 1000,-0.25,0.5@1 -0,1e-300,0@2\n");
}

TEST(PolylineText, BadInputIsNamedByItsLine) {
  EXPECT_EQ(readText("1 2 3\n1 2 3 4\n"), "2: expected \"x y z\" or \"x y\", found more numbers: \"1 2 3 4\"");
  EXPECT_EQ(readText("1 2 3\n5\n"), "2: expected \"x y z\" or \"x y\", found \"5\"");
  EXPECT_EQ(readText("x y z\n1 2 3\n"), "1: expected a number, found \"x\"");
  EXPECT_EQ(readText("1 2 3\n4,,5\n"), "2: expected a number, found \"\"");
  EXPECT_EQ(readText("1 2 3\n4 5 1e999\n"), "2: \"1e999\" is not a finite number");
  EXPECT_EQ(readText("1 2 3\n4 5 nan\n"), "2: \"nan\" is not a finite number");
  EXPECT_EQ(readText("1 2 3\n4 5 -inf\n"), "2: \"-inf\" is not a finite number");
  EXPECT_EQ(readText("1 2 3\n4 5 6\n\n7 8 9\n\n1 1 1\n2 2 2\n"),
            "4: a line needs at least two vertices, this one has 1");
  EXPECT_EQ(readText(""), "0: holds no line (one vertex \"x y z\" a line)");
  EXPECT_EQ(readText("\n\n"), "0: holds no line (one vertex \"x y z\" a line)");
  EXPECT_EQ(readText(std::string("1 2 3\n4 5\0 6\n", 13)), "2: expected a number, found \"5?\"");
}

TEST(PolylineDxf, LinesPolylinesAndTheirHeights) {
  const std::string drawing = dxf({
      "999 made by hand", "0 SECTION", "2 BLOCKS", "0 LINE", "10 99", "20 99", "30 99", "11 98", "21 98",
      "31 98", "0 ENDSEC",
      "0 SECTION", "2 ENTITIES",
      "0 LINE", "8 KERB", "10 1", "20 2", "30 3", "11 4", "21 5", "31 6",
      "0 LINE", "10 1", "20 2", "11 4", "21 5",  // no z at all
      "0 LWPOLYLINE", "90 3", "70 1", "38 12.5", "10 0", "20 0", "10 10", "20 0", "10 10", "20 10",
      "0 LWPOLYLINE", "90 2", "70 0", "10 0", "20 0", "10 5", "20 5",  // no elevation
      "0 POLYLINE", "66 1", "70 8", "10 0", "20 0", "30 0",
      "0 VERTEX", "70 32", "10 1", "20 1", "30 7", "0 VERTEX", "70 32", "10 2", "20 1", "30 8", "0 SEQEND",
      "0 POLYLINE", "66 1", "70 1", "10 0", "20 0", "30 4.25",
      "0 VERTEX", "10 1", "20 1", "0 VERTEX", "10 2", "20 1", "0 VERTEX", "10 2", "20 2", "0 SEQEND",
      // A polyface mesh and a text are no lines.
      "0 POLYLINE", "66 1", "70 64", "0 VERTEX", "70 192", "10 0", "20 0", "30 0", "0 SEQEND",
      "0 TEXT", "10 0", "20 0", "1 label",
      "0 ENDSEC", "0 EOF"});
  EXPECT_EQ(readText(drawing, true),
            "open 1,2,3@32 4,5,6@38\n"
            "open 1,2,-@46 4,5,-@50\n"
            "closed 0,0,12.5@62 10,0,12.5@66 10,10,12.5@70\n"
            "open 0,0,-@80 5,5,-@84\n"
            "open 1,1,7@104 2,1,8@114\n"
            "closed 1,1,4.25@136 2,1,4.25@142 2,2,4.25@148\n");
}

TEST(PolylineDxf, BadDrawingsAreNamedByTheirLine) {
  EXPECT_EQ(readText(entities({"0 LWPOLYLINE", "10 0", "20 0", "42 0.5", "10 1", "20 1"}), true),
            "6: an arc (bulge, group 42); explode arcs into lines");
  EXPECT_EQ(readText(entities({"0 LINE", "10 x", "20 0", "11 1", "21 1"}), true),
            "8: group 10: expected a number, found \"x\"");
  EXPECT_EQ(readText(entities({"0 LINE", "10 0", "20 1e400", "11 1", "21 1"}), true),
            "10: group 20: \"1e400\" is not a finite number");
  EXPECT_EQ(readText(entities({"0 POLYLINE", "70 8", "0 VERTEX", "10 0", "20 0", "0 VERTEX", "10 1", "20 1"}), true),
            "22: a POLYLINE's vertices do not end with SEQEND");
  EXPECT_EQ(readText(entities({"0 LWPOLYLINE", "10 0", "20 0", "210 0", "220 0", "230 -1", "10 1", "20 1"}), true),
            "6: LWPOLYLINE drawn in a tilted or mirrored plane (group 210); "
            "only lines drawn in the plan view are read");
  EXPECT_EQ(readText(entities({"0 LWPOLYLINE", "10 0", "20 0"}), true),
            "8: a line needs at least two vertices, this one has 1");
  EXPECT_EQ(readText("0\nSECTION\nfoo\nENTITIES\n", true), "3: expected a DXF group code, found \"foo\"");
  EXPECT_EQ(readText("0\nSECTION\n2", true), "3: the file ends after a DXF group code, without its value");
  EXPECT_EQ(readText(entities({"0 TEXT", "1 hello"}), true),
            "0: holds no LINE, POLYLINE or LWPOLYLINE in its ENTITIES");
  EXPECT_EQ(readText(std::string("AutoCAD Binary DXF\r\n\x1a\0", 22), true),
            "0: a binary DXF; save the drawing as ASCII DXF");
}

TEST(PolylineFile, TheExtensionChoosesTheFormAndAMissingFileIsNamed) {
  const std::string dir = makeScratchDir();
  writeFile(dir + "/k.DXF", entities({"0 LINE", "10 1", "20 2", "30 3", "11 4", "21 5", "31 6"}));
  writeFile(dir + "/k.txt", "1 2 3\n4 5 6\n");
  PolylineSet set;
  ExportReadError error;
  ASSERT_TRUE(readPolylineFile((dir + "/k.DXF").c_str(), &set, &error)) << error.message;
  EXPECT_EQ(described(set), "open 1,2,3@8 4,5,6@14\n");
  ASSERT_TRUE(readPolylineFile((dir + "/k.txt").c_str(), &set, &error)) << error.message;
  EXPECT_EQ(described(set), "open 1,2,3@1 4,5,6@2\n");
  EXPECT_FALSE(readPolylineFile((dir + "/none.txt").c_str(), &set, &error));
  EXPECT_EQ(error.line, 0);
  EXPECT_EQ(error.message, "cannot open: not a readable file");
}

// Drawings written by ezdxf, an independent DXF library, in the old R12
// form (POLYLINE with VERTEX) and in R2000 (LWPOLYLINE). Debian's Python
// is a Linux program: under Wine it would not see the scratch folder.
TEST(PolylineFile, DrawingsWrittenByEzdxf) {
  const std::string dir = makeScratchDir();
  if (!hostToolsShareFiles()) GTEST_SKIP() << "the host's Python does not see this build's files";
  if (!fileExists("/usr/bin/python3") ||
      runProgram("/usr/bin/python3", {"python3", "-c", "import ezdxf"}, dir, "", 60).status != 0) {
    GTEST_SKIP() << "Debian's python3-ezdxf is missing";
  }
  const std::string script =
      "import ezdxf\n"
      "for version in ('R12', 'R2000'):\n"
      "  d = ezdxf.new(version); m = d.modelspace()\n"
      "  m.add_line((1, 2, 3), (4, 5, 6))\n"
      "  m.add_polyline3d([(0, 0, 1), (10, 0, 2), (10, 10, 3)], close=True)\n"
      "  m.add_polyline2d([(0, 0), (5, 0), (5, 5)], dxfattribs={'elevation': (0, 0, 7.5)})\n"
      "  if version != 'R12':\n"
      "    m.add_lwpolyline([(0, 0), (-3, 0), (-3, -3)], close=True, dxfattribs={'elevation': 2.25})\n"
      "  m.add_text('kerb')\n"
      "  d.saveas(version + '.dxf')\n";
  ASSERT_EQ(runProgram("/usr/bin/python3", {"python3", "-c", script}, dir, "", 60).status, 0);
  for (const char* version : {"R12", "R2000"}) {
    PolylineSet set;
    ExportReadError error;
    ASSERT_TRUE(readPolylineFile((dir + "/" + version + ".dxf").c_str(), &set, &error))
        << version << ":" << error.line << ": " << error.message;
    for (const PolylineVertex& at : set.vertices) EXPECT_GT(at.line, 0);
    std::string expected =
        "open 1,2,3 4,5,6\n"
        "closed 0,0,1 10,0,2 10,10,3\n"
        "open 0,0,7.5 5,0,7.5 5,5,7.5\n";
    if (std::string(version) != "R12") {
      expected += "closed 0,0,2.25 -3,0,2.25 -3,-3,2.25\n";
    }
    EXPECT_EQ(described(set, false), expected) << version;
  }
}
