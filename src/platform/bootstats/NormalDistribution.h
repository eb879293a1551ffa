#pragma once

namespace omf {

// The standard normal distribution for the bootstrap statistics, in double precision. Arguments
// outside the domain give NaN (or infinities at 0 and 1) instead of exceptions.

namespace bootstats {

// The standard normal quantile z(p).
double NormalQuantile(double p);

// The standard normal distribution function Phi(x).
double NormalCdf(double x);

} // namespace bootstats

} // namespace omf
