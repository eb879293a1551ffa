#include <omf/bootpool/BootSampleTable.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace omf {

namespace {

// The layout is used when its rows hold at most this many slots per stored cell, so that it costs a
// bounded multiple of what the table itself takes (a table whose rows each hold a few samples is read
// cell by cell instead).
constexpr std::uint64_t kMaxSlotsPerCell = 4;
// Slots every table may take, however few cells it holds.
constexpr std::uint64_t kMinSlots = 1 << 16;
// Linear indexes up to this many per stored cell are kept in a vector; larger index spaces in a map.
constexpr std::uint64_t kMaxDenseRowsPerCell = 4;

const double kAbsent = std::bit_cast<double>(std::uint64_t{0x7FF4000000000A55});
const double kOther = std::bit_cast<double>(std::uint64_t{0x7FF4000000000B7E});

bool Is(double slot, double marker) {
  return std::bit_cast<std::uint64_t>(slot) == std::bit_cast<std::uint64_t>(marker);
}

BootSampleTable::Slot Decode(double slot) {
  if (Is(slot, kAbsent)) return {};
  if (Is(slot, kOther)) return {BootSampleTable::Slot::kOther, 0};
  return {BootSampleTable::Slot::kNumber, slot};
}

} // namespace

BootSampleTable::BootSampleTable(const OmPivotTable& table, int splitDim, int slices, BootSampleFilter only)
    : _table(table), _split(static_cast<std::size_t>(splitDim)),
      _slices(static_cast<std::size_t>(slices > 0 ? slices : 0)), _only(std::move(only)) {
  if (_only.dim >= 0 && _only.dim < table.NDimensions() && static_cast<std::size_t>(_only.dim) != _split) {
    _onlyPlace.assign(static_cast<std::size_t>(std::max(table.Size(_only.dim), 0)), -1);
    int place = 0;
    for (int e : _only.entries)
      if (e >= 0 && static_cast<std::size_t>(e) < _onlyPlace.size() &&
          _onlyPlace[static_cast<std::size_t>(e)] < 0)
        _onlyPlace[static_cast<std::size_t>(e)] = place++;
    _only.entries.resize(static_cast<std::size_t>(place));
  } else {
    _only.dim = -1;
  }
  _laidOut = Build();
  if (!_laidOut) {
    _denseRows.clear();
    _sparseRows.clear();
    _slots.clear();
    _slots.shrink_to_fit();
  }
}

bool BootSampleTable::Build() {
  const std::size_t dims = static_cast<std::size_t>(_table.NDimensions());
  _sizes = _table.SizeVector();
  if (_only.dim >= 0) _sizes[static_cast<std::size_t>(_only.dim)] = static_cast<int>(_only.entries.size());
  _radix.assign(dims, 0);
  std::uint64_t space = 1;
  for (std::size_t d = dims; d-- > 0;) {
    if (d == _split) continue;
    _radix[d] = space;
    const auto size = static_cast<std::uint64_t>(_sizes[d] > 0 ? _sizes[d] : 1);
    if (space > std::numeric_limits<std::uint64_t>::max() / size) return false;
    space *= size;
  }
  const std::uint64_t cells = _table.CellCount();
  const std::uint64_t maxSlots = kMaxSlotsPerCell * cells + kMinSlots;
  std::vector<int> at;
  const auto fill = [&](double& slot, const OmCellText* cell) {
    if (cell->OrderCode() != OmCellText::kOrderNumber) {
      slot = kOther;
      return;
    }
    const double value = static_cast<const OmNumber*>(cell)->Value();
    slot = std::isnan(value) ? std::numeric_limits<double>::quiet_NaN() : value;
  };
  // Calls `visit(linear position, split position, cell)` for every stored cell of a sample this table
  // holds, until it returns false; tells whether every cell was visited.
  const auto eachSampleCell = [&](const auto& visit) {
    for (auto it = _table.FirstCell(); it; ++it) {
      it.At(at);
      at.resize(dims, 0);
      const int s = at[_split];
      if (s < 0 || static_cast<std::size_t>(s) >= _slices) continue;
      const std::int64_t linear = Linear(at);
      if (linear >= 0 && !visit(linear, static_cast<std::size_t>(s), it.Cell())) return false;
    }
    return true;
  };
  if (space <= maxSlots / std::max<std::uint64_t>(_slices, 1)) {
    _direct = true;
    _slots.assign(static_cast<std::size_t>(space) * _slices, kAbsent);
    return eachSampleCell([&](std::int64_t linear, std::size_t s, const OmCellText* cell) {
      fill(_slots[static_cast<std::size_t>(linear) * _slices + s], cell);
      return true;
    });
  }
  _dense = space <= kMaxDenseRowsPerCell * cells + kMinSlots;
  if (_dense) _denseRows.assign(space, -1);
  // First the rows, so that the slots are allocated once.
  std::int32_t rows = 0;
  const auto rowOf = [&](std::int64_t linear) -> std::int32_t& {
    if (_dense) return _denseRows[static_cast<std::size_t>(linear)];
    return _sparseRows.try_emplace(static_cast<std::uint64_t>(linear), -1).first->second;
  };
  const bool fits = eachSampleCell([&](std::int64_t linear, std::size_t, const OmCellText*) {
    std::int32_t& row = rowOf(linear);
    if (row >= 0) return true;
    if (static_cast<std::uint64_t>(rows + 1) * _slices > maxSlots ||
        rows == std::numeric_limits<std::int32_t>::max())
      return false;
    row = rows++;
    return true;
  });
  if (!fits) return false;
  _slots.assign(static_cast<std::size_t>(rows) * _slices, kAbsent);
  return eachSampleCell([&](std::int64_t linear, std::size_t s, const OmCellText* cell) {
    fill(_slots[static_cast<std::size_t>(rowOf(linear)) * _slices + s], cell);
    return true;
  });
}

std::int64_t BootSampleTable::Linear(const std::vector<int>& at) const {
  std::uint64_t linear = 0;
  for (std::size_t d = 0; d < _radix.size(); ++d) {
    if (d == _split) continue;
    int e = d < at.size() ? at[d] : 0;
    if (static_cast<int>(d) == _only.dim)
      e = e >= 0 && static_cast<std::size_t>(e) < _onlyPlace.size() ? _onlyPlace[static_cast<std::size_t>(e)]
                                                                    : -1;
    if (e < 0 || e >= (_sizes[d] > 0 ? _sizes[d] : 1)) return -1;
    linear += static_cast<std::uint64_t>(e) * _radix[d];
  }
  return static_cast<std::int64_t>(linear);
}

std::int64_t BootSampleTable::Row(const std::vector<int>& at) const {
  const std::int64_t linear = Linear(at);
  if (linear < 0 || _direct) return linear;
  if (_dense) return _denseRows[static_cast<std::size_t>(linear)];
  const auto found = _sparseRows.find(static_cast<std::uint64_t>(linear));
  return found == _sparseRows.end() ? -1 : found->second;
}

void BootSampleTable::Read(const std::vector<int>& at, std::vector<Slot>& out) const {
  out.assign(_slices, Slot{});
  if (_laidOut) {
    const std::int64_t row = Row(at);
    if (row < 0) return;
    const double* first = _slots.data() + static_cast<std::size_t>(row) * _slices;
    for (std::size_t s = 0; s < _slices; ++s)
      out[s] = Decode(first[s]);
    return;
  }
  std::vector<int> index = at;
  index.resize(static_cast<std::size_t>(_table.NDimensions()), 0);
  for (std::size_t s = 0; s < _slices; ++s) {
    index[_split] = static_cast<int>(s);
    const OmCellText* cell = _table.Cell(index);
    if (cell == nullptr) continue;
    if (cell->OrderCode() == OmCellText::kOrderNumber) {
      out[s].kind = Slot::kNumber;
      out[s].value = static_cast<const OmNumber*>(cell)->Value();
    } else {
      out[s].kind = Slot::kOther;
    }
  }
}

bool BootSampleTable::ObservedCells(int dim, int entry, std::vector<std::vector<int>>& out) const {
  out.clear();
  if (!_laidOut || !_direct || _slices == 0) return false;
  const std::size_t dims = _radix.size();
  const std::size_t space = _slots.size() / _slices;
  std::vector<int> at(dims, 0);
  for (std::size_t linear = 0; linear < space; ++linear) {
    if (Is(_slots[linear * _slices], kAbsent)) continue;
    bool wanted = true;
    for (std::size_t d = 0; d < dims && wanted; ++d) {
      if (d == _split) continue;
      const auto size = static_cast<std::uint64_t>(_sizes[d] > 0 ? _sizes[d] : 1);
      int e = static_cast<int>((linear / _radix[d]) % size);
      if (static_cast<int>(d) == _only.dim) e = _only.entries[static_cast<std::size_t>(e)];
      at[d] = e;
      wanted = static_cast<int>(d) != dim || e == entry;
    }
    if (wanted) out.push_back(at);
  }
  return true;
}

} // namespace omf
