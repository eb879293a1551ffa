#include <omf/platform/pooling/RubinPoolCalculator.h>

#include <omf/platform/pooling/PoolingErrors.h>
#include <omf/platform/status/SystemMissing.h>

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <cmath>
#include <limits>

namespace omf {

namespace pooling {
namespace {

using MCCommon::IsFiniteValue;
using MCCommon::IsSystemMissing;
using MCCommon::kSystemMissing;
using MCCommon::MCStatus;

// Double precision throughout (no promotion to long double: the results need 1e-12, not 1e-18), and
// errors become NaN or infinity instead of exceptions; the inputs are checked before every call.
namespace bp = boost::math::policies;
using Policy = bp::policy<bp::promote_double<false>, bp::domain_error<bp::ignore_error>,
                          bp::overflow_error<bp::ignore_error>, bp::evaluation_error<bp::ignore_error>>;
using Normal = boost::math::normal_distribution<double, Policy>;
using StudentsT = boost::math::students_t_distribution<double, Policy>;
using FisherF = boost::math::fisher_f_distribution<double, Policy>;

// Two-tailed probability of |T| >= |t| with v degrees of freedom (v infinite: the normal limit).
double TwoTailed(double t, double df) {
  if (IsSystemMissing(t) || IsSystemMissing(df)) return kSystemMissing;
  const double tail =
      std::isinf(df) ? cdf(complement(Normal(), std::fabs(t))) : cdf(complement(StudentsT(df), std::fabs(t)));
  return 2 * tail;
}

// Upper-tail probability of F on 1 and v degrees of freedom.
double FUpperTail(double f, double df) {
  if (IsSystemMissing(f) || IsSystemMissing(df)) return kSystemMissing;
  if (std::isinf(df)) // F(1, infinity) is the square of a standard normal
    return 2 * cdf(complement(Normal(), std::sqrt(f)));
  return cdf(complement(FisherF(1, df), f));
}

// The t quantile with upper-tail probability `tail`.
double UpperQuantile(double tail, double df) {
  return std::isinf(df) ? quantile(complement(Normal(), tail)) : quantile(complement(StudentsT(df), tail));
}

// Sizes each list to `n` elements, all missing.
template <class... Lists> void FillMissing(std::size_t n, Lists&... lists) {
  (lists.assign(n, kSystemMissing), ...);
}

} // namespace

long RubinPoolCalculator::ValidateImputation(const MPParamContainer& params) const {
  if (params.fMode != MPParamContainer::kEstimatesOnly && params.fMode != MPParamContainer::kWithStdErrors)
    return kMPUnknownMode;
  if (params.fParams.empty()) return kMPNoEstimates;
  if (_imputations > 0 && params.fMode != _mode) return kMPModeDiffers;
  if (_imputations > 0 && params.fParams.size() != _parameters) return kMPParameterCountDiffers;
  const bool withStdErrors = params.fMode == MPParamContainer::kWithStdErrors;
  if (withStdErrors && params.fStdErrors.size() != params.fParams.size()) return kMPStdErrorCountMismatch;
  for (double q : params.fParams)
    if (!IsFiniteValue(q)) return kMPInvalidEstimate;
  if (withStdErrors)
    for (double s : params.fStdErrors)
      if (!IsFiniteValue(s) || s < 0) return kMPInvalidStdError;
  return kMPNoError;
}

MCStatus RubinPoolCalculator::AddImputation(MPParamContainer& params) {
  const long error = ValidateImputation(params);
  if (error == kMPNoError) {
    if (_imputations == 0) {
      _mode = params.fMode;
      _parameters = params.fParams.size();
      _mean.assign(_parameters, 0.0);
      _sumSqDev.assign(_parameters, 0.0);
      _sumSqStdErr.assign(_parameters, 0.0);
    }
    ++_imputations;
    const double n = static_cast<double>(_imputations);
    for (std::size_t j = 0; j < _parameters; ++j) {
      const double x = params.fParams[j];
      const double delta = x - _mean[j];
      _mean[j] += delta / n;
      _sumSqDev[j] += delta * (x - _mean[j]);
    }
    if (_mode == MPParamContainer::kWithStdErrors)
      for (std::size_t j = 0; j < _parameters; ++j)
        _sumSqStdErr[j] += params.fStdErrors[j] * params.fStdErrors[j];
    _pooled = false;
  }
  params.fParams.clear();
  params.fStdErrors.clear();
  return MCStatus(error);
}

MCStatus RubinPoolCalculator::Pool(MPParamContainer& params) {
  if (_imputations < 2) {
    _pooled = false;
    FillMissing(_parameters, params.fParams, params.fVariances);
    params.fStdErrors.clear();
    params.fPooledStdErrors.clear();
    return MCStatus(kMPTooFewImputations);
  }
  const double m = static_cast<double>(_imputations);
  const bool withStdErrors = _mode == MPParamContainer::kWithStdErrors;
  _results.resize(_parameters);
  for (std::size_t j = 0; j < _parameters; ++j) {
    Pooled& p = _results[j];
    p.estimate = _mean[j];
    p.between = _sumSqDev[j] / (m - 1);
    if (!withStdErrors) {
      p.total = p.riv = p.df = p.fraction = kSystemMissing;
      continue;
    }
    const double within = _sumSqStdErr[j] / m;
    const double inflated = (1 + 1 / m) * p.between;
    p.total = within + inflated;
    if (p.between == 0) {
      p.riv = 0;
      p.df = kSystemMissing;
      p.fraction = 0;
    } else if (within == 0) {
      p.riv = std::numeric_limits<double>::infinity();
      p.df = m - 1;
      p.fraction = 1;
    } else {
      p.riv = inflated / within;
      const double root = 1 + 1 / p.riv;
      p.df = (m - 1) * root * root;
      p.fraction = (p.riv + 2 / (p.df + 3)) / (p.riv + 1);
    }
  }
  _pooled = true;

  params.fMode = _mode;
  params.fStdErrors.clear();
  params.fParams.resize(_parameters);
  params.fVariances.resize(_parameters);
  params.fPooledStdErrors.resize(withStdErrors ? _parameters : 0);
  for (std::size_t j = 0; j < _parameters; ++j) {
    params.fParams[j] = _results[j].estimate;
    params.fVariances[j] = _results[j].between;
    if (withStdErrors) params.fPooledStdErrors[j] = std::sqrt(_results[j].total);
  }
  return MCStatus();
}

void RubinPoolCalculator::Reset() {
  _mode = 0;
  _imputations = 0;
  _parameters = 0;
  _mean.clear();
  _sumSqDev.clear();
  _sumSqStdErr.clear();
  _pooled = false;
  _results.clear();
}

long RubinPoolCalculator::ResultsUnavailable() const {
  if (!_pooled) return kMPNotPooled;
  if (_mode != MPParamContainer::kWithStdErrors) return kMPNoStdErrors;
  return kMPNoError;
}

double RubinPoolCalculator::TStatistic(const Pooled& p, double nullValue) const {
  if (p.total == 0 || IsSystemMissing(nullValue) || !std::isfinite(nullValue)) return kSystemMissing;
  return (p.estimate - nullValue) / std::sqrt(p.total);
}

MCStatus RubinPoolCalculator::Diagnostics(std::vector<double>& df, std::vector<double>& relIncrease,
                                          std::vector<double>& fractionMissing,
                                          std::vector<double>& efficiency,
                                          std::vector<double>& significance) {
  if (const long error = ResultsUnavailable()) {
    FillMissing(_parameters, df, relIncrease, fractionMissing, efficiency, significance);
    return MCStatus(error);
  }
  const double m = static_cast<double>(_imputations);
  df.resize(_parameters);
  relIncrease.resize(_parameters);
  fractionMissing.resize(_parameters);
  efficiency.resize(_parameters);
  significance.resize(_parameters);
  for (std::size_t j = 0; j < _parameters; ++j) {
    const Pooled& p = _results[j];
    df[j] = p.df;
    relIncrease[j] = p.riv;
    fractionMissing[j] = p.fraction;
    efficiency[j] = 1 / (1 + p.fraction / m);
    significance[j] = TwoTailed(TStatistic(p, 0), p.df);
  }
  return MCStatus();
}

MCStatus RubinPoolCalculator::ConfidenceInterval(std::vector<double>& lower, std::vector<double>& upper,
                                                 double level) {
  long error = ResultsUnavailable();
  if (error == kMPNoError && !(level > 0 && level < 1)) error = kMPInvalidLevel;
  FillMissing(_parameters, lower, upper);
  if (error != kMPNoError) return MCStatus(error);
  const double tail = (1 - level) / 2;
  for (std::size_t j = 0; j < _parameters; ++j) {
    const Pooled& p = _results[j];
    if (IsSystemMissing(p.df)) continue;
    const double halfWidth = UpperQuantile(tail, p.df) * std::sqrt(p.total);
    lower[j] = p.estimate - halfWidth;
    upper[j] = p.estimate + halfWidth;
  }
  return MCStatus();
}

MCStatus RubinPoolCalculator::TestStatistic(std::vector<double>& statistic, double nullValue) {
  if (const long error = ResultsUnavailable()) {
    FillMissing(_parameters, statistic);
    return MCStatus(error);
  }
  statistic.resize(_parameters);
  for (std::size_t j = 0; j < _parameters; ++j)
    statistic[j] = TStatistic(_results[j], nullValue);
  return MCStatus();
}

MCStatus RubinPoolCalculator::DfAndSignificance(const std::vector<double>& nullValues,
                                                std::vector<double>& df, std::vector<double>& statistic,
                                                std::vector<double>& significance) {
  long error = ResultsUnavailable();
  if (error == kMPNoError && nullValues.size() != 1 && nullValues.size() != _parameters)
    error = kMPNullValueCount;
  if (error != kMPNoError) {
    FillMissing(_parameters, df, statistic, significance);
    return MCStatus(error);
  }
  df.resize(_parameters);
  statistic.resize(_parameters);
  significance.resize(_parameters);
  for (std::size_t j = 0; j < _parameters; ++j) {
    const Pooled& p = _results[j];
    const double t = TStatistic(p, nullValues.size() == 1 ? nullValues[0] : nullValues[j]);
    df[j] = p.df;
    statistic[j] = IsSystemMissing(t) ? kSystemMissing : t * t;
    significance[j] = FUpperTail(statistic[j], p.df);
  }
  return MCStatus();
}

} // namespace pooling

} // namespace omf
