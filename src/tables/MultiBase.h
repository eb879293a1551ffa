#pragma once
// A mixed-radix counter: walks every combination of categories of a table's dimensions, one digit per
// dimension with the dimension's size as its radix, the last dimension varying fastest. Dimensions can
// be held fixed at a value; they do not count. A free dimension of size 0 means no combination.
//
//   MultiBase walk(table.SizeVector());
//   walk.Fix(stats, row);
//   for (; !walk.Done(); walk.Next()) use(walk.Current());
#include <cstddef>
#include <utility>
#include <vector>

namespace omf {

class MultiBase {
public:
  explicit MultiBase(std::vector<int> sizes)
      : _sizes(std::move(sizes)), _digits(_sizes.size(), 0), _fixed(_sizes.size(), false) {
    Rewind();
  }

  // Holds dimension d at value v from now on and restarts the walk.
  void Fix(std::size_t d, int v) {
    _fixed[d] = true;
    _digits[d] = v;
    Rewind();
  }
  // Lets dimension d count again and restarts the walk.
  void Free(std::size_t d) {
    _fixed[d] = false;
    Rewind();
  }
  // Restarts at the first combination (free digits 0, fixed ones at their values).
  void Rewind() {
    _done = false;
    _ordinal = 0;
    for (std::size_t d = 0; d < _sizes.size(); ++d) {
      if (_fixed[d]) continue;
      _digits[d] = 0;
      if (_sizes[d] <= 0) _done = true;
    }
  }

  bool Done() const { return _done; }
  const std::vector<int>& Current() const { return _digits; }
  int operator[](std::size_t d) const { return _digits[d]; }
  // Number of the current combination, from 0, counting free dimensions only.
  std::size_t Ordinal() const { return _ordinal; }

  // Advances to the next combination; false (and Done()) after the last.
  bool Next() {
    if (_done) return false;
    for (std::size_t d = _sizes.size(); d-- > 0;) {
      if (_fixed[d]) continue;
      if (++_digits[d] < _sizes[d]) {
        ++_ordinal;
        return true;
      }
      _digits[d] = 0;
    }
    _done = true;
    return false;
  }

  // The number of combinations of the free dimensions (1 when every dimension is fixed).
  std::size_t Count() const {
    std::size_t n = 1;
    for (std::size_t d = 0; d < _sizes.size(); ++d)
      if (!_fixed[d]) n *= _sizes[d] > 0 ? static_cast<std::size_t>(_sizes[d]) : 0;
    return n;
  }

private:
  std::vector<int> _sizes;
  std::vector<int> _digits;
  std::vector<bool> _fixed;
  std::size_t _ordinal = 0;
  bool _done = false;
};

} // namespace omf
