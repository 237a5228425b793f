// The rare number forms, whose values come from the number scanner's own
// slow conversion (input/number_scanner) rather than any C library: the
// values glibc's "%lf" gives, on every system.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "test_support.h"

TEST(NumberForms, HexLongUnderflowingAndCutShortNumbersReadAsGlibcReadsThem) {
  const std::string longOne = "1" + std::string(400, '0') + "e-400";
  const std::string dir = makeScratchDir();
  writeFile(dir + "/forms.tsv",
            "out.csv\n"
            "0x1.8p3 -0x.8p1 0X1P-1074\n"
            "1e-400 -1e-400 2.4703282292062328e-324\n" +
                longOne + " 0x1p-1075 0x3p-1076\n"
                "1e+ 0x1p 0x.\n"
                "-0x. 1E5 +.5e-1\n"
                "inf 1 2\n");
  const ReadResult read = readPointsFileAt(dir + "/forms.tsv");
  ASSERT_EQ(read.counted, 5);
  ASSERT_EQ(read.points.size(), 5u);
  const double tiny = std::ldexp(1.0, -1074);
  const double expected[5][3] = {{12.0, -1.0, tiny}, {0.0, -0.0, tiny}, {1.0, 0.0, tiny},
                                 {1.0, 1.0, 0.0},   {-0.0, 1e5, 0.05}};
  for (int i = 0; i < 5; ++i) {
    const double got[3] = {read.points[i].x, read.points[i].y, read.points[i].z};
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(got[k], expected[i][k]) << "point " << i << " value " << k;
      EXPECT_EQ(std::signbit(got[k]), std::signbit(expected[i][k])) << "point " << i << " value " << k;
    }
  }
}
