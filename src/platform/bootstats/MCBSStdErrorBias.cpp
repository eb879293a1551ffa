#include <omf/platform/bootstats/MCBSStdErrorBias.h>

#include <algorithm>
#include <cmath>

namespace omf {

using MCCommon::IsSystemMissing;
using MCCommon::kSystemMissing;

double MCBSStdErrorBias::GetBias(double observed) const {
  if (_count == 0 || IsSystemMissing(observed)) return kSystemMissing;
  return (_shift - observed) + _sum / static_cast<double>(_count);
}

double MCBSStdErrorBias::GetStandardError() const {
  if (_count < 2) return kSystemMissing;
  const double n = static_cast<double>(_count);
  return std::sqrt(std::max(0.0, _sumSq - _sum * _sum / n) / (n - 1));
}

} // namespace omf
