#include <omf/platform/bootstats/MCBSPercentileCI.h>

#include <omf/platform/bootstats/OrderStatistics.h>
#include <omf/platform/bootstats/PercentileRule.h>
#include <omf/platform/status/SystemMissing.h>

namespace omf {

using MCCommon::kSystemMissing;
using omf::bootstats::OrderStatistics;
using omf::bootstats::PercentileAtProbability;

struct MCBSPercentileCI::Impl {
  OrderStatistics _sample;
};

MCBSPercentileCI::MCBSPercentileCI() : _my(std::make_unique<Impl>()) {}

MCBSPercentileCI::~MCBSPercentileCI() = default;

void MCBSPercentileCI::SetBootstrapStats(const std::vector<double>& values) {
  _my->_sample.Assign(values);
}

std::pair<double, double> MCBSPercentileCI::GetCI(double level) {
  if (!(level > 0 && level < 1)) return {kSystemMissing, kSystemMissing};
  const double alpha = (1 - level) / 2;
  return {PercentileAtProbability(_my->_sample, alpha), PercentileAtProbability(_my->_sample, 1 - alpha)};
}

} // namespace omf
