#pragma once
// The bias-corrected and accelerated bootstrap interval. Bias correction z0 = z(share of bootstrap
// values below the observed value). Acceleration from the jackknife values: per group, with W the
// group's weight sum and m the weighted mean of its jackknife values, each case has
// U = (W - 1)(m - value), and a = sum(w U^3) / (6 (sum(w U^2))^1.5), 0 when that sum is 0. Each bound is
// the percentile-rule value at Phi(z0 + (z0 + z(p)) / (1 - a (z0 + z(p)))), p = (1 - level)/2 and
// 1 - (1 - level)/2. With unit weights and one group this is the usual jackknife BCa interval.
#include <memory>
#include <utility>
#include <vector>

namespace omf {

class MCBSBCaCI {
public:
  explicit MCBSBCaCI(double observed);
  ~MCBSBCaCI();
  MCBSBCaCI(const MCBSBCaCI&) = delete;
  MCBSBCaCI& operator=(const MCBSBCaCI&) = delete;

  // The weight sum W of each group, indexed by group number. Every group of a jackknife case needs one.
  void SetSumWeights(const std::vector<double>& sums);

  // Missing values are left out.
  void SetBootstrapStats(const std::vector<double>& values);

  // One jackknife case: its value, its case weight and its group.
  void AddJackknifeStat(double value, double weight, unsigned group);

  // (lower, upper) at `level`, a fraction such as 0.95. Both are missing when no bootstrap value or
  // every one lies below the observed value, when a jackknife case is unusable (a missing value, a
  // negative or non-finite weight, a group without a weight sum) or the level is outside (0, 1); one
  // is missing when the sample is too small for its adjusted probability.
  std::pair<double, double> GetCI(double level);

  // z0, or missing when it cannot be computed.
  double GetBiasCorrection();

  // a, or missing when a jackknife case is unusable.
  double GetAcceleration();

private:
  struct Impl;
  std::unique_ptr<Impl> _my;
};

} // namespace omf
