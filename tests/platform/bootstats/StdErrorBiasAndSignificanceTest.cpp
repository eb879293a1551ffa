// Bias and standard error at the edges, and the percentile-t significance in its three tails.
#include <omf/platform/bootstats/MCBSPercentileTTS.h>
#include <omf/platform/bootstats/MCBSStdErrorBias.h>
#include <omf/platform/status/SystemMissing.h>

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

using namespace omf;

using MCCommon::kSystemMissing;

TEST(StdErrorBias, CountsOnlyValuesThatAreNotMissing) {
  MCBSStdErrorBias none;
  EXPECT_EQ(none.GetBias(1), kSystemMissing);
  EXPECT_EQ(none.GetStandardError(), kSystemMissing);

  MCBSStdErrorBias one;
  one.AddBootstrapStat(4);
  one.AddBootstrapStat(kSystemMissing);
  EXPECT_EQ(one.GetCount(), 1u);
  EXPECT_EQ(one.GetBias(3), 1);
  EXPECT_EQ(one.GetStandardError(), kSystemMissing); // n - 1 = 0
  EXPECT_EQ(one.GetBias(kSystemMissing), kSystemMissing);

  // A tiny spread on large values: 1e9 + {1, 2, 3, 4}, standard deviation sqrt(5/3).
  MCBSStdErrorBias wide;
  for (double d : {1, 2, 3, 4})
    wide.AddBootstrapStat(1e9 + d);
  EXPECT_DOUBLE_EQ(wide.GetBias(1e9), 2.5);
  EXPECT_DOUBLE_EQ(wide.GetStandardError(), std::sqrt(5.0 / 3));
  wide.AddBootstrapStat(1e9 + 10); // results follow later values
  EXPECT_DOUBLE_EQ(wide.GetBias(1e9), 4);
}

// Observed 10 with standard error 2 against null 6: t = 2. The samples' t values are
// (value - 10) / stderr: -3, -2, -1, 0, 1, 2, 2.5, 4 below.
TEST(PercentileTSignificance, TailsAndWhenItCannotBeComputed) {
  const std::pair<double, double> samples[] = {{4, 2},  {6, 2},  {9, 1},  {10, 3},
                                               {11, 1}, {14, 2}, {15, 2}, {18, 2}};
  MCBSPercentileTTS test(10, 2, 6);
  for (auto [value, se] : samples)
    test.AddBootstrapStats(value, se);
  EXPECT_EQ(test.GetProbability(MCBSPercentileTTS::kTwoTailed), 5.0 / 8); // |t| >= 2: -3, -2, 2, 2.5, 4
  EXPECT_EQ(test.GetProbability(MCBSPercentileTTS::kLowerTail), 6.0 / 8); // t <= 2
  EXPECT_EQ(test.GetProbability(MCBSPercentileTTS::kUpperTail), 3.0 / 8); // t >= 2
  EXPECT_EQ(test.GetProbability(static_cast<MCBSPercentileTTS::AltHypType>(3)), -1);

  struct Row {
    const char* what;
    double observed, observedSe, value, se;
  };
  const Row rows[] = {
      {"observed standard error 0", 1, 0, 1, 1},
      {"observed standard error missing", 1, kSystemMissing, 1, 1},
      {"observed value missing", kSystemMissing, 1, 1, 1},
      {"sample standard error 0", 1, 1, 1, 0},
      {"sample standard error missing", 1, 1, 1, kSystemMissing},
      {"sample value missing", 1, 1, kSystemMissing, 1},
  };
  for (const Row& r : rows) {
    MCBSPercentileTTS bad(r.observed, r.observedSe, 0);
    bad.AddBootstrapStats(2, 1);
    bad.AddBootstrapStats(r.value, r.se);
    EXPECT_EQ(bad.GetProbability(MCBSPercentileTTS::kTwoTailed), -1) << r.what;
  }
  MCBSPercentileTTS empty(1, 1, 0);
  EXPECT_EQ(empty.GetProbability(MCBSPercentileTTS::kTwoTailed), -1);
}
