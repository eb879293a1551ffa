#pragma once
// The bootstrap results of one cell: bias and standard error of the bootstrap values, the percentile
// interval (or the BCa interval when jackknife values came with them) and the percentile-t
// significance against 0. A result that cannot be computed is the system-missing value; a significance
// that cannot be computed is -1.
#include <utility>
#include <vector>

#include <omf/platform/bootspec/SvrBootstrapSpecs.h>

namespace omf {

class BootCalculator {
public:
  // The jackknife values are those of cases [jackknifeBegin, jackknifeEnd) of the case list, in order.
  BootCalculator(double observed, double observedStdError, const std::vector<double>& bootstrapStatistics,
                 const std::vector<double>& bootstrapStdErrors,
                 const std::vector<double>& jackknifeStatistics,
                 const std::vector<SvrJackknifeCase>& jackknifeCases, unsigned jackknifeBegin,
                 unsigned jackknifeEnd);

  double Bias() const { return _bias; }
  double StandardError() const { return _stdError; }
  // (lower, upper) at a level in percent.
  std::pair<double, double> ConfidenceInterval(double levelPct) const;
  // The probability of the alternative hypothesis type (2: two-tailed) against the null value.
  double Significance(double nullValue, int altHypType) const;

private:
  double _observed;
  double _observedStdError;
  const std::vector<double>& _bootstrap;
  const std::vector<double>& _bootstrapStdErrors;
  const std::vector<double>& _jackknife;
  const std::vector<SvrJackknifeCase>& _cases;
  unsigned _begin;
  unsigned _end;
  double _bias;
  double _stdError;
  bool _bootstrapComplete;
  bool _stdErrorsComplete;
  bool _jackknifeComplete;
};

} // namespace omf
