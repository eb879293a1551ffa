#pragma once
// The bootstrap percentile rule shared by the interval methods. With R values t(1) <= ... <= t(R) and
// x = (R + 1) p: when x is a whole number the value at probability p is t(x); otherwise, with
// k = floor(x), it is interpolated on the normal scale between t(k) and t(k + 1):
//   t(k) + (z(p) - z(k/(R+1))) / (z((k+1)/(R+1)) - z(k/(R+1))) * (t(k+1) - t(k)).
// When x is below 1 or above R the value cannot be estimated from R samples and is missing.
#include <omf/platform/bootstats/OrderStatistics.h>

namespace omf {

namespace bootstats {

// The value at probability p of the sample, or the system-missing value.
double PercentileAtProbability(OrderStatistics& sample, double p);

} // namespace bootstats

} // namespace omf
