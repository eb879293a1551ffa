#include "platform/bootstats/MCBSStdErrorBias.h"

#include "platform/status/SystemMissing.h"

#include <cmath>

using MCCommon::IsSystemMissing;
using MCCommon::kSystemMissing;

void MCBSStdErrorBias::AddBootstrapStat(double value) {
  if (IsSystemMissing(value) || std::isnan(value)) return;
  _values.push_back(value);
  _summarized = false;
}

// Two passes with the mean corrected by the mean deviation: accurate even when the spread is tiny
// against the values, and free of the per-value division of an updating formula.
void MCBSStdErrorBias::Summarize() const {
  if (_summarized) return;
  const double n = static_cast<double>(_values.size());
  double sum = 0;
  for (double v : _values)
    sum += v;
  const double rough = _values.empty() ? 0 : sum / n;
  double dev = 0;
  double sq = 0;
  for (double v : _values) {
    const double d = v - rough;
    dev += d;
    sq += d * d;
  }
  _mean = _values.empty() ? 0 : rough + dev / n;
  _sumSqDev = _values.empty() ? 0 : sq - dev * dev / n;
  _summarized = true;
}

double MCBSStdErrorBias::GetBias(double observed) const {
  if (_values.empty() || IsSystemMissing(observed)) return kSystemMissing;
  Summarize();
  return _mean - observed;
}

double MCBSStdErrorBias::GetStandardError() const {
  if (_values.size() < 2) return kSystemMissing;
  Summarize();
  return std::sqrt(_sumSqDev / static_cast<double>(_values.size() - 1));
}
