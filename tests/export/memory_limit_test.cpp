// tsvmesh-export when memory runs out: a clear message and status 1 for
// the output that could not be made, nothing of it left behind, and the
// run's other outputs written all the same. POSIX only (the limit is set
// by the shell's ulimit); sanitizers reserve more address space than any
// such limit allows, so their builds skip it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

TEST(MemoryLimit, AGridBeyondTheMemoryFailsAloneWithAMessage) {
  if (TSVMESH_UNDER_SANITIZER) GTEST_SKIP() << "a sanitizer's shadow memory does not fit under ulimit -v";
  if (!std::string(TSVMESH_EMULATOR).empty()) GTEST_SKIP() << "an emulator's own memory does not fit under ulimit -v";
  const std::string dir = makeScratchDir();
  // Two faces over 10 km square: 10^8 cells of 1 m, 800 MB of samples.
  writeFile(dir + "/big.csv",
            "2\r\n14142\r\n****\r\n0.00,0.00,100.00\r\n10000.00,0.00,101.00\r\n0.00,10000.00,102.00\r\n"
            "10000.00,0.00,101.00\r\n10000.00,10000.00,103.50\r\n0.00,10000.00,102.00\r\n");
  writeFile(dir + "/big.asc", "old");
  const std::string command = "ulimit -v 400000 && exec '" + std::string(TSVMESH_EXPORT_BINARY) +
                              "' big.csv big.asc big.obj --cell 1";
  const ProcessResult run = runProgram("/bin/sh", {"sh", "-c", command}, dir, "", 120);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tsvmesh-export: big.asc: not enough memory to make it\n");
  EXPECT_EQ(readFile(dir + "/big.asc"), "old");
  EXPECT_EQ(readFile(dir + "/big.obj").substr(0, 28), "# tsvmesh triangle count 2\n#");
}
