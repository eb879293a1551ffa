#include <omf/platform/bootspec/SvrBootstrapSpecs.h>

#include <cmath>
#include <limits>

namespace omf {

void SvrBootstrapSpecs::SetCILevelPct(double percent) {
  if (!(percent > 0 && percent < 100))
    throw SvrBootstrapSpecsError("level", "the confidence level must lie strictly between 0 and 100");
  _levelPct = percent;
}

void SvrBootstrapSpecs::SetNSamples(unsigned samples) {
  if (samples == 0)
    throw SvrBootstrapSpecsError("samples", "the number of bootstrap samples must be at least 1");
  _samples = samples;
}

void SvrBootstrapSpecs::SetSamplingMethod(int method) {
  if (method < kSimple || method > kWild)
    throw SvrBootstrapSpecsError("method",
                                 "the sampling method must be 0, 1, 2 or 3, not " + std::to_string(method));
  _method = method;
}

void SvrBootstrapSpecs::SetJackknifeCases(std::vector<SvrJackknifeCase> cases) {
  if (cases.size() > std::numeric_limits<unsigned>::max())
    throw SvrBootstrapSpecsError("jackknife", "there are more jackknife cases than split positions");
  // Group numbers index per-group sums in the interval computation, so they are bounded by the data.
  for (std::size_t p = 0; p < cases.size(); ++p) {
    const SvrJackknifeCase& c = cases[p];
    if (!std::isfinite(c.weight) || c.weight < 0)
      throw SvrBootstrapSpecsError("jackknife", "case " + std::to_string(p + 1) +
                                                    " has a weight that is negative or not finite");
    if (c.group > cases.size())
      throw SvrBootstrapSpecsError(
          "jackknife", "case " + std::to_string(p + 1) + " has group " + std::to_string(c.group) +
                           ", more than the number of cases (" + std::to_string(cases.size()) + ")");
  }
  _cases = std::move(cases);
  _segmentEnds.clear();
  if (!_cases.empty()) _segmentEnds.push_back(static_cast<unsigned>(_cases.size()));
}

void SvrBootstrapSpecs::SetJackknifeSegmentEnds(std::vector<unsigned> ends) {
  unsigned previous = 0;
  for (std::size_t i = 0; i < ends.size(); ++i) {
    if (ends[i] <= previous)
      throw SvrBootstrapSpecsError("segments", "segment end " + std::to_string(i + 1) + " (" +
                                                   std::to_string(ends[i]) + ") is not greater than " +
                                                   (i == 0 ? "0" : "the one before it"));
    if (ends[i] > _cases.size())
      throw SvrBootstrapSpecsError("segments", "segment end " + std::to_string(ends[i]) + " lies past the " +
                                                   std::to_string(_cases.size()) + " jackknife cases");
    previous = ends[i];
  }
  if (previous != _cases.size())
    throw SvrBootstrapSpecsError("segments", "the last segment ends at " + std::to_string(previous) +
                                                 ", not at the number of jackknife cases (" +
                                                 std::to_string(_cases.size()) + ")");
  _segmentEnds = std::move(ends);
}

} // namespace omf
