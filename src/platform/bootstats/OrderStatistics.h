#pragma once
// The order statistics of a sample, found exactly and on demand: each request partitions only the
// stretch between the ranks already found, so asking for a few ranks costs a few linear passes
// instead of a sort.
#include <cstddef>
#include <span>
#include <vector>

namespace omf::bootstats {

class OrderStatistics {
public:
  // Takes the values that are not missing and not NaN.
  void Assign(std::span<const double> values);

  std::size_t Size() const { return _values.size(); }

  // The rank-th smallest value, t(rank), 1 <= rank <= Size().
  double At(std::size_t rank);

private:
  std::vector<double> _values;
  // Positions, increasing, that already hold their sorted value: everything before such a position is
  // no greater, everything after it no smaller.
  std::vector<std::size_t> _placed;
};

} // namespace omf::bootstats
