#include <omf/platform/bootstats/PercentileRule.h>

#include <omf/platform/bootstats/NormalDistribution.h>
#include <omf/platform/status/SystemMissing.h>

#include <algorithm>
#include <cmath>

namespace omf {

namespace bootstats {

double PercentileAtProbability(OrderStatistics& sample, double p) {
  const std::size_t r = sample.Size();
  const double n1 = static_cast<double>(r) + 1;
  double x = n1 * p;
  // A level such as 0.95 is not exact in binary, so (R + 1) p lands a few units in the last place off a
  // whole number that it stands for; snap it back so that whole-number positions read t(x) exactly.
  const double nearest = std::round(x);
  if (std::fabs(x - nearest) <= 1e-9 * std::max(1.0, nearest)) x = nearest;
  if (!(x >= 1 && x <= static_cast<double>(r))) return MCCommon::kSystemMissing;
  const auto k = static_cast<std::size_t>(x);
  const double tk = sample.At(k);
  if (x == static_cast<double>(k)) return tk;
  const double tk1 = sample.At(k + 1);
  if (tk1 == tk) return tk;
  const double zk = NormalQuantile(static_cast<double>(k) / n1);
  const double zk1 = NormalQuantile(static_cast<double>(k + 1) / n1);
  return tk + (NormalQuantile(p) - zk) / (zk1 - zk) * (tk1 - tk);
}

} // namespace bootstats

} // namespace omf
