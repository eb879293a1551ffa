// The BCa acceleration from weighted and grouped jackknife values. The statistic used is the weighted
// mean of all data: its jackknife values are computed here by brute force (one unit of a case left
// out of the data expanded by frequency weights, the mean recomputed), while the expected acceleration
// comes from the raw data by algebra: leaving one unit of case i out of N units gives U_i =
// (W_g - 1)/(N - 1) (x_i - mean_g), mean_g the weighted mean of its group g of weight W_g.
#include <omf/platform/bootstats/MCBSBCaCI.h>
#include <omf/platform/status/SystemMissing.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace omf;

using MCCommon::kSystemMissing;

namespace {

struct Case {
  double x;
  unsigned weight; // a frequency
  unsigned group;
};

// The mean of all units after removing one unit of case `left`, by summing the expanded data.
double LeaveOneUnitOut(const std::vector<Case>& data, std::size_t left) {
  double sum = 0;
  double units = 0;
  for (std::size_t i = 0; i < data.size(); ++i)
    for (unsigned copy = (i == left ? 1 : 0); copy < data[i].weight; ++copy) {
      sum += data[i].x;
      units += 1;
    }
  return sum / units;
}

double ExpectedAcceleration(const std::vector<Case>& data) {
  std::vector<double> groupWeight(3), groupSum(3);
  double n = 0;
  for (const Case& c : data) {
    groupWeight[c.group] += c.weight;
    groupSum[c.group] += c.weight * c.x;
    n += c.weight;
  }
  double cubes = 0, squares = 0;
  for (const Case& c : data) {
    const double u = (groupWeight[c.group] - 1) / (n - 1) * (c.x - groupSum[c.group] / groupWeight[c.group]);
    cubes += c.weight * u * u * u;
    squares += c.weight * u * u;
  }
  return cubes / (6 * std::pow(squares, 1.5));
}

std::vector<double> WeightSums(const std::vector<Case>& data) {
  std::vector<double> sums;
  for (const Case& c : data) {
    sums.resize(std::max<std::size_t>(sums.size(), c.group + 1));
    sums[c.group] += c.weight;
  }
  return sums;
}

double Acceleration(const std::vector<Case>& data) {
  MCBSBCaCI bca(0);
  bca.SetSumWeights(WeightSums(data));
  for (std::size_t i = 0; i < data.size(); ++i)
    bca.AddJackknifeStat(LeaveOneUnitOut(data, i), data[i].weight, data[i].group);
  return bca.GetAcceleration();
}

// Every unit as a case of its own, with weight 1.
std::vector<Case> Expanded(const std::vector<Case>& data) {
  std::vector<Case> units;
  for (const Case& c : data)
    units.insert(units.end(), c.weight, Case{c.x, 1, c.group});
  return units;
}

} // namespace

TEST(JackknifeAcceleration, WeightedAndGroupedMatchBruteForce) {
  const std::vector<Case> oneGroupUnit = {{1, 1, 0}, {2, 1, 0}, {2.5, 1, 0}, {7, 1, 0}, {3, 1, 0}};
  const std::vector<Case> oneGroupWeighted = {{1, 2, 0}, {4, 1, 0}, {2.5, 3, 0}, {11, 1, 0}};
  const std::vector<Case> twoGroups = {{1, 2, 0}, {4, 1, 0},  {2.5, 3, 0}, {10, 1, 1},
                                       {7, 2, 1}, {13, 1, 1}, {8, 1, 1},   {9.5, 4, 2}};
  for (const auto* data : {&oneGroupUnit, &oneGroupWeighted, &twoGroups}) {
    SCOPED_TRACE(data->size());
    const double expected = ExpectedAcceleration(*data);
    EXPECT_NE(expected, 0);
    EXPECT_NEAR(Acceleration(*data), expected, 1e-12 * std::fabs(expected));
    // Frequency weights mean the same as repeating the cases.
    EXPECT_NEAR(Acceleration(Expanded(*data)), expected, 1e-12 * std::fabs(expected));
  }
  // Unit weights in one group: the familiar skewness form sum d^3 / (6 (sum d^2)^1.5), d = x - mean.
  double cubes = 0, squares = 0;
  for (double d : {-2.1, -1.1, -0.6, 3.9, -0.1}) {
    cubes += d * d * d;
    squares += d * d;
  }
  const double skewness = cubes / (6 * std::pow(squares, 1.5));
  EXPECT_NEAR(Acceleration(oneGroupUnit), skewness, 1e-12 * std::fabs(skewness));
}

TEST(JackknifeAcceleration, ZeroWithoutSpreadAndMissingForUnusableCases) {
  struct Row {
    const char* what;
    std::vector<double> sums;
    double value;
    double weight;
    unsigned group;
    double expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Row rows[] = {
      {"equal values", {3}, 5, 1, 0, 0},
      {"missing value", {3}, kSystemMissing, 1, 0, kSystemMissing},
      {"NaN value", {3}, nan, 1, 0, kSystemMissing},
      {"negative weight", {3}, 5, -1, 0, kSystemMissing},
      {"missing weight", {3}, 5, kSystemMissing, 0, kSystemMissing},
      {"group without a weight sum", {3}, 5, 1, 1, kSystemMissing},
      {"missing weight sum", {kSystemMissing, 3}, 5, 1, 0, kSystemMissing},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    MCBSBCaCI bca(5.5);
    bca.SetSumWeights(r.sums);
    bca.AddJackknifeStat(5, 1, 0);
    bca.AddJackknifeStat(5, 1, 0);
    bca.AddJackknifeStat(r.value, r.weight, r.group);
    EXPECT_EQ(bca.GetAcceleration(), r.expected);
    bca.SetBootstrapStats({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    if (r.expected == kSystemMissing)
      EXPECT_EQ(bca.GetCI(0.5), std::make_pair(kSystemMissing, kSystemMissing));
    else
      EXPECT_NE(bca.GetCI(0.5).first, kSystemMissing);
  }
}
