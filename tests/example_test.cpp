// The bundled example, run as the README runs it; its CSV worked out by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_support.h"

TEST(ExampleTest, SurveyExampleGivesTheHandCheckedFile) {
  // The example names build/survey.csv, relative to the folder it runs in.
  const std::string dir = makeScratchDir();
  ASSERT_TRUE(std::filesystem::create_directory(dir + "/build"));
  const std::string example = std::string(TSVMESH_SOURCE_DIR) + "/examples/survey.tsv";
  ProcessResult run = runTsvmeshBinary({example}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  // Five points: one progress mark. Longest sides 3, 4, 4, 3: average 14 / 4 = 3.
  EXPECT_EQ(run.out,
            "\nProcessing Points..\n\nFormed 4 triangles.  Checking avg tri side length.\n\n"
            "Average long side length = 3.");
  const std::string expected =
      "4\r\n3\r\n********\r\n"
      "2.00,1.00,11.00\r\n1.00,3.00,12.25\r\n3.00,4.00,13.75\r\n"
      "2.00,1.00,11.00\r\n3.00,4.00,13.75\r\n4.00,0.00,9.80\r\n"
      "0.00,0.00,10.50\r\n2.00,1.00,11.00\r\n4.00,0.00,9.80\r\n"
      "0.00,0.00,10.50\r\n1.00,3.00,12.25\r\n2.00,1.00,11.00\r\n";
  EXPECT_EQ(readFile(dir + "/build/survey.csv"), expected);
}

TEST(ExampleTest, InstalledExampleWritesIntoTheCurrentFolder) {
#if defined(TSVMESH_CMAKE_COMMAND) && defined(TSVMESH_BUILD_DIR)
  const std::string prefix = makeScratchDir();
  const std::string install = std::string("\"") + TSVMESH_CMAKE_COMMAND + "\" --install \"" + TSVMESH_BUILD_DIR +
                              "\" --prefix \"" + prefix + "\" > /dev/null";
  ASSERT_EQ(std::system(install.c_str()), 0) << install;
  const std::string example = prefix + "/share/doc/tsvmesh/examples/survey.tsv";
  const std::string work = makeScratchDir();
  const ProcessResult run = runProgram(prefix + "/bin/tsvmesh", {"tsvmesh", example}, work, "", 60);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(readFile(work + "/survey.csv").substr(0, 16), "4\r\n3\r\n********\r\n");
  // Only the first line differs from the source tree's example.
  const std::string source = readFile(std::string(TSVMESH_SOURCE_DIR) + "/examples/survey.tsv");
  EXPECT_EQ(readFile(example), "survey.csv" + source.substr(source.find('\n')));
#else
  GTEST_SKIP() << "the installed layout is checked on Unix systems";
#endif
}
