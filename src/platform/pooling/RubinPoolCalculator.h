#pragma once
// Rubin's rules for m imputations, per parameter with estimates Q_i and standard errors s_i:
//   Q = mean Q_i, U = mean s_i^2, B = sum (Q_i - Q)^2 / (m - 1), T = U + (1 + 1/m) B,
//   r = (1 + 1/m) B / U, v = (m - 1)(1 + 1/r)^2, g = (r + 2/(v + 3)) / (r + 1), efficiency 1/(1 + g/m).
// Limits: B = 0 gives r = 0, g = 0, efficiency 1 and a missing v (so missing significance and
// interval); U = 0 with B > 0 gives r = +infinity, v = m - 1, g = 1.
#include <omf/platform/pooling/IMPPoolCalculator.h>

namespace omf {

namespace pooling {

class RubinPoolCalculator final : public IMPPoolCalculator {
public:
  MCCommon::MCStatus AddImputation(MPParamContainer& params) override;
  MCCommon::MCStatus Pool(MPParamContainer& params) override;
  std::size_t GetNumImputations() const override { return _imputations; }
  void Reset() override;
  MCCommon::MCStatus Diagnostics(std::vector<double>& df, std::vector<double>& relIncrease,
                                 std::vector<double>& fractionMissing, std::vector<double>& efficiency,
                                 std::vector<double>& significance) override;
  MCCommon::MCStatus ConfidenceInterval(std::vector<double>& lower, std::vector<double>& upper,
                                        double level) override;
  MCCommon::MCStatus TestStatistic(std::vector<double>& statistic, double nullValue) override;
  MCCommon::MCStatus DfAndSignificance(const std::vector<double>& nullValues, std::vector<double>& df,
                                       std::vector<double>& statistic,
                                       std::vector<double>& significance) override;

private:
  struct Pooled {
    double estimate;
    double between;  // B
    double total;    // T
    double riv;      // r
    double df;       // v, missing when B = 0
    double fraction; // g
  };

  long ValidateImputation(const MPParamContainer& params) const;
  // The error that keeps results from being read, or 0.
  long ResultsUnavailable() const;
  double TStatistic(const Pooled& p, double nullValue) const;

  int _mode = 0; // fixed by the first imputation
  std::size_t _imputations = 0;
  std::size_t _parameters = 0;
  // Running mean and sum of squared deviations of the estimates (Welford's update, which keeps B
  // exactly 0 when every imputation gives the same estimate), and the sum of squared standard errors.
  std::vector<double> _mean;
  std::vector<double> _sumSqDev;
  std::vector<double> _sumSqStdErr;
  bool _pooled = false;
  std::vector<Pooled> _results;
};

} // namespace pooling

} // namespace omf
