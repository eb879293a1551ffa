#include <omf/bootpool/BootCalculator.h>

#include <algorithm>
#include <cassert>

#include <omf/platform/bootstats/MCBSBCaCI.h>
#include <omf/platform/bootstats/MCBSPercentileCI.h>
#include <omf/platform/bootstats/MCBSPercentileTTS.h>
#include <omf/platform/bootstats/MCBSStdErrorBias.h>
#include <omf/platform/status/SystemMissing.h>

namespace omf {

using MCCommon::IsSystemMissing;
using MCCommon::kSystemMissing;

namespace {
bool NoneMissing(const std::vector<double>& values) {
  return std::none_of(values.begin(), values.end(), [](double v) { return IsSystemMissing(v); });
}
} // namespace

BootCalculator::BootCalculator(double observed, double observedStdError,
                               const std::vector<double>& bootstrapStatistics,
                               const std::vector<double>& bootstrapStdErrors,
                               const std::vector<double>& jackknifeStatistics,
                               const std::vector<SvrJackknifeCase>& jackknifeCases, unsigned jackknifeBegin,
                               unsigned jackknifeEnd)
    : _observed(observed), _observedStdError(observedStdError), _bootstrap(bootstrapStatistics),
      _bootstrapStdErrors(bootstrapStdErrors), _jackknife(jackknifeStatistics), _cases(jackknifeCases),
      _begin(jackknifeBegin), _end(jackknifeEnd), _bias(kSystemMissing), _stdError(kSystemMissing),
      _bootstrapComplete(NoneMissing(bootstrapStatistics)),
      _stdErrorsComplete(NoneMissing(bootstrapStdErrors)),
      _jackknifeComplete(NoneMissing(jackknifeStatistics)) {
  assert((bootstrapStdErrors.size() == 0 || bootstrapStdErrors.size() == bootstrapStatistics.size()) &&
         "bootstrapStdErrors.size() == 0 || bootstrapStdErrors.size() == bootstrapStatistics.size()");
  assert(jackknifeBegin <= jackknifeCases.size() && "splitBegin <= jackknifeCases.size()");
  assert(jackknifeEnd <= jackknifeCases.size() && "splitEnd <= jackknifeCases.size()");
  if (!_bootstrapComplete || _bootstrap.empty()) return;
  MCBSStdErrorBias seBias;
  for (double v : _bootstrap)
    seBias.AddBootstrapStat(v);
  _bias = seBias.GetBias(_observed);
  _stdError = seBias.GetStandardError();
}

std::pair<double, double> BootCalculator::ConfidenceInterval(double levelPct) const {
  if (!_bootstrapComplete || !_jackknifeComplete || _bootstrap.empty())
    return {kSystemMissing, kSystemMissing};
  if (_jackknife.empty()) {
    MCBSPercentileCI percentile;
    percentile.SetBootstrapStats(_bootstrap);
    return percentile.GetCI(levelPct / 100);
  }
  // The collector hands over one value per case of the range; anything else has no BCa interval.
  if (_end < _begin || _jackknife.size() != _end - _begin) return {kSystemMissing, kSystemMissing};
  unsigned groups = 0;
  for (unsigned c = _begin; c < _end; ++c)
    groups = std::max(groups, _cases[c].group + 1);
  std::vector<double> sums(groups, 0.0);
  for (unsigned c = _begin; c < _end; ++c)
    sums[_cases[c].group] += _cases[c].weight;
  MCBSBCaCI bca(_observed);
  bca.SetSumWeights(sums);
  bca.SetBootstrapStats(_bootstrap);
  for (unsigned k = 0; _begin + k < _end; ++k)
    bca.AddJackknifeStat(_jackknife[k], _cases[_begin + k].weight, _cases[_begin + k].group);
  return bca.GetCI(levelPct / 100);
}

double BootCalculator::Significance(double nullValue, int altHypType) const {
  if (!_bootstrapComplete || !_stdErrorsComplete || _bootstrapStdErrors.empty()) return -1;
  MCBSPercentileTTS test(_observed, _observedStdError, nullValue);
  for (std::size_t i = 0; i < _bootstrap.size(); ++i)
    test.AddBootstrapStats(_bootstrap[i], _bootstrapStdErrors[i]);
  return test.GetProbability(static_cast<MCBSPercentileTTS::AltHypType>(altHypType));
}

} // namespace omf
