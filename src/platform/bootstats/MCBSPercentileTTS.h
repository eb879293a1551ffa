#pragma once
// The bootstrap percentile-t significance of a statistic against a null value. The observed
// t = (observed - null) / observed standard error is compared with each sample's
// t_i = (value_i - observed) / standard error_i; the probability is the share of samples at least as
// extreme: |t_i| >= |t| two-tailed, t_i <= t for the lower tail, t_i >= t for the upper tail.
#include <cstddef>

namespace omf {

class MCBSPercentileTTS {
public:
  enum AltHypType : int { kLowerTail = 0, kUpperTail = 1, kTwoTailed = 2 };

  MCBSPercentileTTS(double observed, double observedStdError, double nullValue);

  // One bootstrap sample's value and standard error, in sample order.
  void AddBootstrapStats(double value, double stdError);

  // The probability, or -1 when it cannot be computed: no samples, an observed or sample value or
  // standard error that is missing, a standard error that is 0 or negative, or an unknown type.
  double GetProbability(AltHypType type) const;

private:
  double _observed;
  double _observedT;
  bool _computable;
  std::size_t _samples = 0;
  std::size_t _atOrBelow = 0;
  std::size_t _atOrAbove = 0;
  std::size_t _asExtreme = 0;
};

} // namespace omf
