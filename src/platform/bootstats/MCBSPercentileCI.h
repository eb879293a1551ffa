#pragma once
// The bootstrap percentile interval: each bound is the bootstrap value at probability (1 - level)/2 and
// 1 - (1 - level)/2 by the percentile rule (interpolated on the normal scale between order
// statistics; missing when the sample is too small for the level).
#include <memory>
#include <utility>
#include <vector>

namespace omf {

class MCBSPercentileCI {
public:
  MCBSPercentileCI();
  ~MCBSPercentileCI();
  MCBSPercentileCI(const MCBSPercentileCI&) = delete;
  MCBSPercentileCI& operator=(const MCBSPercentileCI&) = delete;

  // Missing values are left out.
  void SetBootstrapStats(const std::vector<double>& values);

  // (lower, upper) at `level`, a fraction such as 0.95; a bound that cannot be estimated is missing,
  // both are missing for a level outside (0, 1).
  std::pair<double, double> GetCI(double level);

private:
  struct Impl;
  std::unique_ptr<Impl> _my;
};

} // namespace omf
