#pragma once
// The system-missing value shared by the statistics platform libraries and their callers: the most
// negative finite double. A value is missing when it equals it exactly; results that cannot be
// computed are written as it.
#include <cmath>
#include <limits>

namespace omf {

namespace MCCommon {

inline constexpr double kSystemMissing = -std::numeric_limits<double>::max();

constexpr bool IsSystemMissing(double value) noexcept {
  return value == kSystemMissing;
}

// A number that can enter a computation: finite and not the system-missing value.
inline bool IsFiniteValue(double value) noexcept {
  return std::isfinite(value) && !IsSystemMissing(value);
}

} // namespace MCCommon

} // namespace omf
