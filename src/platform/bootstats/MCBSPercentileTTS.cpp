#include <omf/platform/bootstats/MCBSPercentileTTS.h>

#include <omf/platform/status/SystemMissing.h>

#include <cmath>

namespace omf {

using MCCommon::IsFiniteValue;

MCBSPercentileTTS::MCBSPercentileTTS(double observed, double observedStdError, double nullValue)
    : _observed(observed), _observedT(0),
      _computable(IsFiniteValue(observed) && IsFiniteValue(observedStdError) && observedStdError > 0 &&
                  IsFiniteValue(nullValue)) {
  if (_computable) _observedT = (observed - nullValue) / observedStdError;
}

void MCBSPercentileTTS::AddBootstrapStats(double value, double stdError) {
  ++_samples;
  if (!_computable || !IsFiniteValue(value) || !IsFiniteValue(stdError) || !(stdError > 0)) {
    _computable = false;
    return;
  }
  const double t = (value - _observed) / stdError;
  _atOrBelow += t <= _observedT;
  _atOrAbove += t >= _observedT;
  _asExtreme += std::fabs(t) >= std::fabs(_observedT);
}

double MCBSPercentileTTS::GetProbability(AltHypType type) const {
  if (!_computable || _samples == 0) return -1;
  std::size_t count = 0;
  switch (type) {
  case kLowerTail:
    count = _atOrBelow;
    break;
  case kUpperTail:
    count = _atOrAbove;
    break;
  case kTwoTailed:
    count = _asExtreme;
    break;
  default:
    return -1;
  }
  return static_cast<double>(count) / static_cast<double>(_samples);
}

} // namespace omf
