#pragma once
// The system-missing value shared by the statistics platform libraries and their callers: the most
// negative finite double. A value is missing when it equals it exactly; results that cannot be
// computed are written as it.
#include <limits>

namespace MCCommon {

inline constexpr double kSystemMissing = -std::numeric_limits<double>::max();

constexpr bool IsSystemMissing(double value) noexcept {
  return value == kSystemMissing;
}

} // namespace MCCommon
