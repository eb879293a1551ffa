#pragma once
// The parameters of one imputation going into a pool calculator, and the pooled results coming out of
// it. All lists are parallel: one element per parameter.
#include <vector>

namespace omf {

struct MPParamContainer {
  // What the imputation supplies.
  enum Mode : int { kEstimatesOnly = 1, kWithStdErrors = 2 };

  int fMode = kWithStdErrors;
  // In: one imputation's estimates. Out (after Pool): the pooled estimates.
  std::vector<double> fParams;
  // In: the standard error of each estimate (mode 2 only).
  std::vector<double> fStdErrors;
  // Out: the between-imputation variance of each parameter; exactly 0 when the estimates do not vary.
  std::vector<double> fVariances;
  // Out: the pooled standard error of each parameter (mode 2 only; empty in mode 1).
  std::vector<double> fPooledStdErrors;
};

} // namespace omf
