#include <omf/platform/bootstats/OrderStatistics.h>

#include <omf/platform/status/SystemMissing.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <functional>
#include <iterator>

namespace omf {

namespace bootstats {

void OrderStatistics::Assign(std::span<const double> values) {
  _values.assign(values.begin(), values.end());
  std::erase_if(_values, [](double v) { return MCCommon::IsSystemMissing(v) || std::isnan(v); });
  _bounds.clear();
}

std::size_t OrderStatistics::CountBelow(double x) const {
  std::size_t count = 0;
  for (double v : _values) // counts without a branch, so the loop vectorizes
    count += v < x;
  return count;
}

namespace {

// Stretches shorter than this are left to nth_element.
constexpr std::ptrdiff_t kShortStretch = 256;
// Ranks within this share of either end of a longer stretch are found by SelectNearFront.
constexpr std::ptrdiff_t kTailShare = 16;

// Places in *target, an element near the front of [first, last) in the order `comp`, the element that
// belongs there, and returns a partition boundary found on the way. A pivot a little beyond the
// target's share, taken from an evenly spaced sample, splits off the few elements before it in one
// pass without branches; the target is then selected among those few. (If the sample misjudged,
// the target lies after the pivot, and the selection runs there instead: still exact.)
template <class It, class Comp> It SelectNearFront(It first, It target, It last, Comp comp) {
  using Diff = typename std::iterator_traits<It>::difference_type;
  constexpr Diff kSample = 64;
  const Diff n = last - first;
  std::array<double, kSample> sample;
  for (Diff s = 0; s < kSample; ++s)
    sample[static_cast<std::size_t>(s)] = first[s * n / kSample];
  const Diff share = ((target - first) + 1) * kSample / n;
  const auto pivotAt = sample.begin() + std::min(kSample - 1, share + 4);
  std::nth_element(sample.begin(), pivotAt, sample.end(), comp);
  const double pivot = *pivotAt;
  Diff before = 0;
  for (Diff j = 0; j < n; ++j) {
    const double x = first[j];
    first[j] = first[before];
    first[before] = x;
    before += comp(x, pivot);
  }
  const It split = first + before;
  if (target < split)
    std::nth_element(first, target, split, comp);
  else
    std::nth_element(split, target, last, comp);
  return split;
}

} // namespace

double OrderStatistics::At(std::size_t rank) {
  assert(rank >= 1 && rank <= _values.size() && "rank within 1..Size()");
  const std::size_t i = rank - 1;
  const auto next = std::upper_bound(_bounds.begin(), _bounds.end(), i);
  const std::size_t lo = next == _bounds.begin() ? 0 : *(next - 1);
  const std::size_t hi = next == _bounds.end() ? _values.size() : *next;
  if (hi - lo == 1) return _values[i];

  const auto first = _values.begin() + static_cast<std::ptrdiff_t>(lo);
  const auto last = _values.begin() + static_cast<std::ptrdiff_t>(hi);
  const auto target = _values.begin() + static_cast<std::ptrdiff_t>(i);
  const std::ptrdiff_t length = last - first;
  std::size_t split = 0; // a further boundary, 0 for none
  // Neighbours of a found rank (the usual second request of an interpolated bound) need one pass.
  if (target == first) {
    std::iter_swap(first, std::min_element(first, last));
  } else if (target == last - 1) {
    std::iter_swap(target, std::max_element(first, last));
  } else if (length >= kShortStretch && target - first < length / kTailShare) {
    split = static_cast<std::size_t>(SelectNearFront(first, target, last, std::less<>()) - _values.begin());
  } else if (length >= kShortStretch && last - 1 - target < length / kTailShare) {
    const auto rsplit =
        SelectNearFront(std::make_reverse_iterator(last), std::make_reverse_iterator(target + 1),
                        std::make_reverse_iterator(first), std::greater<>());
    split = static_cast<std::size_t>(rsplit.base() - _values.begin());
  } else {
    std::nth_element(first, target, last);
  }

  for (std::size_t b : {i, i + 1, split})
    if (b > lo && b < hi) {
      const auto at = std::lower_bound(_bounds.begin(), _bounds.end(), b);
      if (at == _bounds.end() || *at != b) _bounds.insert(at, b);
    }
  return _values[i];
}

} // namespace bootstats

} // namespace omf
