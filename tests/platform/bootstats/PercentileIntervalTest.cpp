// The percentile rule: whole-number positions, interpolation on the normal scale, and samples too
// small for the level; the percentile and BCa intervals built on it.
#include <omf/platform/bootstats/MCBSBCaCI.h>
#include <omf/platform/bootstats/MCBSPercentileCI.h>
#include <omf/platform/bootstats/PercentileRule.h>
#include <omf/platform/status/SystemMissing.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

using namespace omf;

using MCCommon::kSystemMissing;
using omf::bootstats::OrderStatistics;
using omf::bootstats::PercentileAtProbability;

namespace {

// 1, 2, ..., r in a scrambled order, so t(k) = k.
std::vector<double> Scrambled(std::size_t r) {
  std::vector<double> v(r);
  std::iota(v.begin(), v.end(), 1.0);
  std::shuffle(v.begin(), v.end(), std::mt19937(static_cast<unsigned>(r)));
  return v;
}

// Standard normal quantiles from published tables, independent of the library's own.
constexpr double kZ80 = 0.8416212335729144;
constexpr double kZ85 = 1.0364333894937894;
constexpr double kZ90 = 1.2815515655446008;

} // namespace

TEST(PercentileRule, WholeInterpolatedAndTooFewSamples) {
  struct Case {
    std::size_t r;
    double p;
    double expected;
  };
  const double interpolated = 8 + (kZ85 - kZ80) / (kZ90 - kZ80);
  const Case cases[] = {
      {39, 0.025, 1},              // (R+1)p = 1: the smallest value
      {39, 0.975, 39},             // (R+1)p = R: the largest value
      {79, 0.025, 2},              // whole number 2
      {79, 0.975, 78},             // whole number 78
      {38, 0.025, kSystemMissing}, // (R+1)p = 0.975 < 1
      {38, 0.975, kSystemMissing}, // (R+1)p = 38.025 > R
      {2, 0.5, 1.5},               // between t(1) and t(2), halfway by the symmetry of z
      {4, 0.5, 2.5},               // between t(2) and t(3), likewise
      {9, 0.85, interpolated},     // (R+1)p = 8.5: between z(0.8) and z(0.9)
      {0, 0.5, kSystemMissing},    // no values
      {10, 0, kSystemMissing},     // probability 0
      {10, 1, kSystemMissing},     // probability 1
      {10, std::nan(""), kSystemMissing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "R = " << c.r << ", p = " << c.p);
    OrderStatistics sample;
    sample.Assign(Scrambled(c.r));
    const double bound = PercentileAtProbability(sample, c.p);
    if (c.expected == kSystemMissing)
      EXPECT_EQ(bound, kSystemMissing);
    else
      EXPECT_NEAR(bound, c.expected, 1e-12 * c.expected);
  }
}

// Ranks asked in an order that mixes the tails, neighbours and the middle, over samples that are random,
// sorted either way or full of ties, each checked against a full sort.
TEST(PercentileRule, OrderStatisticsAreExactInAnyRequestOrder) {
  std::mt19937 gen(7);
  std::normal_distribution<double> normal;
  std::vector<std::vector<double>> samples(4, std::vector<double>(1000));
  for (double& v : samples[0])
    v = normal(gen);
  std::iota(samples[1].begin(), samples[1].end(), 0.0);
  std::iota(samples[2].rbegin(), samples[2].rend(), 0.0);
  for (double& v : samples[3])
    v = static_cast<double>(gen() % 3);
  samples.push_back(std::vector<double>(samples[0].begin(), samples[0].begin() + 301));
  for (const auto& values : samples) {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t r = values.size();
    OrderStatistics sample;
    sample.Assign(values);
    for (std::size_t rank :
         {r / 2, std::size_t{25}, std::size_t{26}, std::size_t{24}, r - 24, r - 25, r, std::size_t{1},
          r / 2 + 1, r / 2 - 1, std::size_t{26}, std::size_t{2}, r - 1, r / 3, r - 60})
      EXPECT_EQ(sample.At(rank), sorted[rank - 1]) << "rank " << rank << " of " << r;
  }
}

TEST(PercentileInterval, NeedsThirtyNineSamplesAtNinetyFivePercent) {
  MCBSPercentileCI ci;
  ci.SetBootstrapStats(Scrambled(38));
  EXPECT_EQ(ci.GetCI(0.95), std::make_pair(kSystemMissing, kSystemMissing));

  std::vector<double> values = Scrambled(39);
  values.insert(values.begin() + 5, kSystemMissing); // missing values are left out
  ci.SetBootstrapStats(values);
  EXPECT_EQ(ci.GetCI(0.95), std::make_pair(1.0, 39.0));
  EXPECT_EQ(ci.GetCI(0.90), std::make_pair(2.0, 38.0));
  EXPECT_EQ(ci.GetCI(0), std::make_pair(kSystemMissing, kSystemMissing));
  EXPECT_EQ(ci.GetCI(95), std::make_pair(kSystemMissing, kSystemMissing));
}

// The bias correction shifts both bounds; with no acceleration the adjusted probabilities are
// Phi(2 z0 + z(p)). A large shift pushes the upper bound past the largest value.
TEST(BCaInterval, BiasCorrectionAndItsLimits) {
  const std::vector<double> values = Scrambled(99);
  struct Case {
    double observed;
    bool lowerMissing;
    bool upperMissing;
  };
  const Case cases[] = {
      {50.5, false, false}, // 50 of 99 below: z0 near 0, adjusted (R+1)p of 2.65 and 97.6
      {75, false, true},    // 74 below: the upper bound would need (R+1)p = 99.95
      {1, true, true},      // none below
      {99.5, true, true},   // all below
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.observed);
    MCBSBCaCI bca(c.observed);
    bca.SetBootstrapStats(values);
    const auto [lower, upper] = bca.GetCI(0.95);
    EXPECT_EQ(lower == kSystemMissing, c.lowerMissing);
    EXPECT_EQ(upper == kSystemMissing, c.upperMissing);
    EXPECT_EQ(bca.GetAcceleration(), 0); // no jackknife values
  }
  MCBSBCaCI bca(75);
  bca.SetBootstrapStats(values);
  const double z0 = 0.6665642591979041; // z(74/99), computed elsewhere
  EXPECT_NEAR(bca.GetBiasCorrection(), z0, 1e-12);
  OrderStatistics sample;
  sample.Assign(values);
  const double adjusted = 0.5 * std::erfc(-(2 * z0 - 1.9599639845400536) / std::sqrt(2.0));
  EXPECT_NEAR(bca.GetCI(0.95).first, PercentileAtProbability(sample, adjusted), 1e-12);
}
