#include <omf/platform/bootstats/MCBSBCaCI.h>

#include <omf/platform/bootstats/NormalDistribution.h>
#include <omf/platform/bootstats/OrderStatistics.h>
#include <omf/platform/bootstats/PercentileRule.h>
#include <omf/platform/status/SystemMissing.h>

#include <cmath>
#include <optional>

namespace omf {

using MCCommon::IsFiniteValue;
using MCCommon::IsSystemMissing;
using MCCommon::kSystemMissing;
using namespace omf::bootstats;

namespace {

struct JackknifeCase {
  double value;
  double weight;
  unsigned group;
};

struct GroupSums {
  double weight = 0;
  double weightedValue = 0;
};

} // namespace

struct MCBSBCaCI::Impl {
  double _observed;
  OrderStatistics _sample;
  std::vector<double> _sumWeights;
  std::vector<JackknifeCase> _cases;
  std::optional<double> _acceleration;

  double Acceleration();
};

MCBSBCaCI::MCBSBCaCI(double observed) : _my(std::make_unique<Impl>()) {
  _my->_observed = observed;
}

MCBSBCaCI::~MCBSBCaCI() = default;

void MCBSBCaCI::SetSumWeights(const std::vector<double>& sums) {
  _my->_sumWeights = sums;
  _my->_acceleration.reset();
}

void MCBSBCaCI::SetBootstrapStats(const std::vector<double>& values) {
  _my->_sample.Assign(values);
}

void MCBSBCaCI::AddJackknifeStat(double value, double weight, unsigned group) {
  _my->_cases.push_back({value, weight, group});
  _my->_acceleration.reset();
}

double MCBSBCaCI::Impl::Acceleration() {
  if (_acceleration) return *_acceleration;
  _acceleration = kSystemMissing;
  std::vector<GroupSums> groups(_sumWeights.size());
  for (const JackknifeCase& c : _cases) {
    if (!IsFiniteValue(c.value) || !IsFiniteValue(c.weight) || c.weight < 0 ||
        c.group >= _sumWeights.size() || !IsFiniteValue(_sumWeights[c.group]))
      return kSystemMissing;
    groups[c.group].weight += c.weight;
    groups[c.group].weightedValue += c.weight * c.value;
  }
  double cubes = 0;
  double squares = 0;
  for (const JackknifeCase& c : _cases) {
    const GroupSums& g = groups[c.group];
    if (g.weight == 0) // only cases of weight 0: they add nothing
      continue;
    const double u = (_sumWeights[c.group] - 1) * (g.weightedValue / g.weight - c.value);
    cubes += c.weight * u * u * u;
    squares += c.weight * u * u;
  }
  _acceleration = squares == 0 ? 0.0 : cubes / (6 * std::pow(squares, 1.5));
  return *_acceleration;
}

double MCBSBCaCI::GetBiasCorrection() {
  if (!IsFiniteValue(_my->_observed)) return kSystemMissing;
  const std::size_t r = _my->_sample.Size();
  const std::size_t below = _my->_sample.CountBelow(_my->_observed);
  if (below == 0 || below >= r) return kSystemMissing;
  return NormalQuantile(static_cast<double>(below) / static_cast<double>(r));
}

double MCBSBCaCI::GetAcceleration() {
  return _my->Acceleration();
}

std::pair<double, double> MCBSBCaCI::GetCI(double level) {
  const double z0 = GetBiasCorrection();
  const double a = _my->Acceleration();
  if (IsSystemMissing(z0) || IsSystemMissing(a) || !(level > 0 && level < 1))
    return {kSystemMissing, kSystemMissing};
  const double alpha = (1 - level) / 2;
  const auto bound = [&](double p) {
    const double w = z0 + NormalQuantile(p);
    return PercentileAtProbability(_my->_sample, NormalCdf(z0 + w / (1 - a * w)));
  };
  return {bound(alpha), bound(1 - alpha)};
}

} // namespace omf
