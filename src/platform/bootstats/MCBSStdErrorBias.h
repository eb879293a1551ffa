#pragma once
// Bias and standard error of a statistic from its bootstrap values: bias = mean of the values minus the
// observed value, standard error = their standard deviation with the n - 1 denominator. Missing values
// are left out.
#include <omf/platform/status/SystemMissing.h>

#include <cmath>
#include <cstddef>

namespace omf {

class MCBSStdErrorBias {
public:
  // Inline: called once per bootstrap value, it then keeps the sums in registers.
  void AddBootstrapStat(double value) {
    if (MCCommon::IsSystemMissing(value) || std::isnan(value)) return;
    if (_count == 0) _shift = value;
    const double d = value - _shift;
    _sum += d;
    _sumSq += d * d;
    ++_count;
  }

  // The number of values taken (missing ones left out).
  std::size_t GetCount() const { return _count; }

  // Missing without values or when the observed value is missing.
  double GetBias(double observed) const;

  // Missing with fewer than two values.
  double GetStandardError() const;

private:
  // Sums of the values' deviations from the first value and of their squares: bootstrap values of one
  // statistic lie close together, so the shift keeps the sums free of cancellation without storing the
  // values or dividing per value.
  std::size_t _count = 0;
  double _shift = 0;
  double _sum = 0;
  double _sumSq = 0;
};

} // namespace omf
