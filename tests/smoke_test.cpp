#include <gtest/gtest.h>

#include "test_support.h"

TEST(Smoke, NoArgumentEndsWithMinusOneAndSilence) {
  ProcessResult run = runTsvmeshBinary({});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
}
