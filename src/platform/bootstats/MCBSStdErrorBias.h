#pragma once
// Bias and standard error of a statistic from its bootstrap values: bias = mean of the values minus the
// observed value, standard error = their standard deviation with the n - 1 denominator. Missing values
// are left out.
#include <cstddef>
#include <vector>

class MCBSStdErrorBias {
public:
  void AddBootstrapStat(double value);

  // The number of values taken (missing ones left out).
  std::size_t GetCount() const { return _values.size(); }

  // Missing without values or when the observed value is missing.
  double GetBias(double observed) const;

  // Missing with fewer than two values.
  double GetStandardError() const;

private:
  void Summarize() const;

  std::vector<double> _values;
  // Mean and sum of squared deviations, computed on first use after the last value came in.
  mutable bool _summarized = false;
  mutable double _mean = 0;
  mutable double _sumSqDev = 0;
};
