#include "platform/bootstats/OrderStatistics.h"

#include "platform/status/SystemMissing.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace omf::bootstats {

void OrderStatistics::Assign(std::span<const double> values) {
  _values.clear();
  _placed.clear();
  _values.reserve(values.size());
  for (double v : values)
    if (!MCCommon::IsSystemMissing(v) && !std::isnan(v)) _values.push_back(v);
}

double OrderStatistics::At(std::size_t rank) {
  assert(rank >= 1 && rank <= _values.size() && "rank within 1..Size()");
  const std::size_t i = rank - 1;
  const auto next = std::lower_bound(_placed.begin(), _placed.end(), i);
  if (next != _placed.end() && *next == i) return _values[i];
  // Only the stretch between the neighbouring placed positions can hold rank i.
  const std::size_t lo = next == _placed.begin() ? 0 : *(next - 1) + 1;
  const std::size_t hi = next == _placed.end() ? _values.size() : *next;
  const auto first = _values.begin() + static_cast<std::ptrdiff_t>(lo);
  const auto last = _values.begin() + static_cast<std::ptrdiff_t>(hi);
  const auto target = _values.begin() + static_cast<std::ptrdiff_t>(i);
  // Neighbours of a placed rank (the usual second request of an interpolated bound) need one pass.
  if (target == first)
    std::iter_swap(first, std::min_element(first, last));
  else if (target == last - 1)
    std::iter_swap(target, std::max_element(first, last));
  else
    std::nth_element(first, target, last);
  _placed.insert(next, i);
  return _values[i];
}

} // namespace omf::bootstats
