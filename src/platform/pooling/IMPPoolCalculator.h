#pragma once
// Combines the parameter estimates of several imputed data sets by Rubin's rules. Feed every
// imputation with AddImputation, then call Pool; the other calls read the pooled results. Every output
// list gets one element per pooled parameter, the system-missing value where a result cannot be
// computed (also when the call fails). Data never throws: a call that cannot do its work returns a
// status that is not OK, whose code GetPoolingErrorString explains.
#include <omf/platform/pooling/MPParamContainer.h>
#include <omf/platform/status/MCStatus.h>

#include <cstddef>
#include <vector>

namespace omf {

class IMPPoolCalculator {
public:
  virtual ~IMPPoolCalculator() = default;

  // Takes the estimates (and, in mode 2, standard errors) now in the container as one imputation and
  // empties those two lists, whether or not they were accepted. The first imputation fixes the mode and
  // the number of parameters; a rejected imputation leaves the calculator as it was.
  virtual MCCommon::MCStatus AddImputation(MPParamContainer& params) = 0;

  // Pools the imputations added so far into the container: pooled estimates into fParams, the
  // between-imputation variances into fVariances, the pooled standard errors into fPooledStdErrors
  // (mode 2), the imputations' mode into fMode. Needs at least two imputations; without them fParams
  // and fVariances hold one missing value per parameter and fPooledStdErrors is empty.
  virtual MCCommon::MCStatus Pool(MPParamContainer& params) = 0;

  // The number of imputations accepted so far.
  virtual std::size_t GetNumImputations() const = 0;

  // Forgets every imputation and result, so that the calculator can pool another set.
  virtual void Reset() = 0;

  // Per parameter: degrees of freedom, relative increase in variance, fraction of missing information,
  // relative efficiency and the two-tailed significance of the estimate against 0.
  virtual MCCommon::MCStatus Diagnostics(std::vector<double>& df, std::vector<double>& relIncrease,
                                         std::vector<double>& fractionMissing,
                                         std::vector<double>& efficiency,
                                         std::vector<double>& significance) = 0;

  // Per parameter: the interval at `level` (a fraction, e.g. 0.95) from Student's t.
  virtual MCCommon::MCStatus ConfidenceInterval(std::vector<double>& lower, std::vector<double>& upper,
                                                double level) = 0;

  // Per parameter: t = (estimate - nullValue) / pooled standard error.
  virtual MCCommon::MCStatus TestStatistic(std::vector<double>& statistic, double nullValue) = 0;

  // Per parameter: the degrees of freedom, F = t^2 on 1 and df degrees of freedom, and its upper-tail
  // probability. `nullValues` holds one value for every parameter, or a single value for all.
  virtual MCCommon::MCStatus DfAndSignificance(const std::vector<double>& nullValues, std::vector<double>& df,
                                               std::vector<double>& statistic,
                                               std::vector<double>& significance) = 0;
};

} // namespace omf
