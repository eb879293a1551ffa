#pragma once
// The order statistics of a sample, found exactly and on demand: each request partitions only the
// stretch between boundaries already known, so asking for a few ranks costs a few linear passes
// instead of a sort.
#include <cstddef>
#include <span>
#include <vector>

namespace omf {

namespace bootstats {

class OrderStatistics {
public:
  // Takes the values that are not missing and not NaN.
  void Assign(std::span<const double> values);

  std::size_t Size() const { return _values.size(); }

  // The number of values below x.
  std::size_t CountBelow(double x) const;

  // The rank-th smallest value, t(rank), 1 <= rank <= Size().
  double At(std::size_t rank);

private:
  std::vector<double> _values;
  // Partition boundaries, increasing: no value before position b is greater than a value from b on.
  // Positions 0 and Size() are boundaries without being listed; a position between two adjacent
  // boundaries holds its sorted value.
  std::vector<std::size_t> _bounds;
};

} // namespace bootstats

} // namespace omf
