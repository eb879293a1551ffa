#include <omf/platform/bootstats/NormalDistribution.h>

#include <boost/math/distributions/normal.hpp>

namespace omf {

namespace bootstats {
namespace {

namespace bp = boost::math::policies;
using Policy = bp::policy<bp::promote_double<false>, bp::domain_error<bp::ignore_error>,
                          bp::overflow_error<bp::ignore_error>, bp::evaluation_error<bp::ignore_error>>;
using Normal = boost::math::normal_distribution<double, Policy>;

} // namespace

double NormalQuantile(double p) {
  return quantile(Normal(), p);
}

double NormalCdf(double x) {
  return cdf(Normal(), x);
}

} // namespace bootstats

} // namespace omf
