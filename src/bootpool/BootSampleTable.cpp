#include <omf/bootpool/BootSampleTable.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace omf {

namespace {

// The direct layout is used when its slots number at most this many per stored cell, so that it costs a
// bounded multiple of what the table itself takes (a table whose rows each hold a few samples keeps only
// its stored slots instead).
constexpr std::uint64_t kMaxSlotsPerCell = 4;
// Slots every table may take, however few cells it holds.
constexpr std::uint64_t kMinSlots = 1 << 16;
// Linear indexes up to this many per stored cell are found through a vector; larger index spaces
// through a map.
constexpr std::uint64_t kMaxDenseRowsPerCell = 4;

const double kAbsent = std::bit_cast<double>(BootSampleTable::kAbsentBits);
const double kOther = std::bit_cast<double>(BootSampleTable::kOtherBits);

double SlotOf(double value) {
  return std::isnan(value) ? std::numeric_limits<double>::quiet_NaN() : value;
}

double SlotOf(const OmCellText& cell) {
  if (cell.OrderCode() != OmCellText::kOrderNumber) return kOther;
  return SlotOf(static_cast<const OmNumber&>(cell).Value());
}

// A block of rows read from the compact store takes at most this many bytes (two of them stay in the
// core's cache together).
constexpr std::size_t kBlockBytes = std::size_t{512} << 10;
// Split positions read ahead of the one being copied into a block.
constexpr std::size_t kPrefetchAhead = 4;

// Blocks of at least this many bytes are aligned to, and advised as, large pages.
constexpr std::size_t kLargePage = std::size_t{2} << 20;
constexpr std::size_t kLargeBlock = 4 * kLargePage;

} // namespace

void BootSampleTable::SlotBlock::Assign(std::size_t count, double value) {
  Clear();
  const std::size_t bytes = count * sizeof(double);
  const std::size_t align = bytes >= kLargeBlock ? kLargePage : alignof(double);
  _memory = std::make_unique_for_overwrite<unsigned char[]>(bytes + align);
  const auto start = reinterpret_cast<std::uintptr_t>(_memory.get());
  void* aligned = _memory.get() + ((align - start % align) % align);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only a hint: where the system declines, the block is made of small pages.
  if (align == kLargePage) madvise(aligned, bytes / kLargePage * kLargePage, MADV_HUGEPAGE);
#endif
  _data = static_cast<double*>(aligned);
  std::uninitialized_fill_n(_data, count, value);
  _size = count;
}

BootSampleTable::BootSampleTable(const OmPivotTable& table, int splitDim, int slices, BootSampleFilter only)
    : _table(table), _split(static_cast<std::size_t>(splitDim)),
      _slices(static_cast<std::size_t>(slices > 0 ? slices : 0)), _only(std::move(only)) {
  if (_only.dim >= 0 && _only.dim < table.NDimensions() && static_cast<std::size_t>(_only.dim) != _split) {
    _onlyPlace.assign(static_cast<std::size_t>(std::max(table.Size(_only.dim), 0)), -1);
    for (int e : _only.entries)
      if (e >= 0 && static_cast<std::size_t>(e) < _onlyPlace.size())
        _onlyPlace[static_cast<std::size_t>(e)] = 0;
    // Places in subscript order, so that linear order is index order.
    std::vector<int> entries;
    for (std::size_t e = 0; e < _onlyPlace.size(); ++e)
      if (_onlyPlace[e] == 0) {
        _onlyPlace[e] = static_cast<int>(entries.size());
        entries.push_back(static_cast<int>(e));
      }
    _only.entries = std::move(entries);
  } else {
    _only.dim = -1;
  }
  _laidOut = _slices > 0 && Build();
  if (!_laidOut) {
    _direct = _dense = false;
    _store = nullptr;
    _directRows = 0;
    _slots.Clear();
    _denseRows = {};
    _sparseRows = {};
    _rowLinear = {};
    _rowStart = {};
    _positions = {};
    _values = {};
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
  const int onlyDim = _only.dim;
  // The linear index of a stored cell of the filter at a split position this table holds, or -1.
  const auto linearOf = [&](const int* key, std::size_t count, std::size_t& split) -> std::int64_t {
    const int s = _split < count ? key[_split] : 0;
    if (s < 0 || static_cast<std::size_t>(s) >= _slices) return -1;
    split = static_cast<std::size_t>(s);
    std::uint64_t linear = 0;
    for (std::size_t d = 0; d < dims; ++d) {
      if (d == _split) continue;
      int e = d < count ? key[d] : 0;
      if (static_cast<int>(d) == onlyDim)
        e = e >= 0 && static_cast<std::size_t>(e) < _onlyPlace.size()
                ? _onlyPlace[static_cast<std::size_t>(e)]
                : -1;
      if (e < 0 || e >= (_sizes[d] > 0 ? _sizes[d] : 1)) return -1;
      linear += static_cast<std::uint64_t>(e) * _radix[d];
    }
    return static_cast<std::int64_t>(linear);
  };

  if (space <= maxSlots / _slices) {
    _direct = true;
    _directRows = static_cast<std::size_t>(space);
    if (const OmDenseCells* store = _table.CompactOnly(); store != nullptr && store->Width() == dims) {
      _store = store;
      _maxBlockRows = std::max<std::size_t>(1, kBlockBytes / sizeof(double) / _slices);
      _blockRows = _maxBlockRows;
      return true;
    }
    _slots.Assign(static_cast<std::size_t>(space) * _slices, kAbsent);
    _table.ForEachCell([&](const int* key, std::size_t count, const OmCellText& cell) {
      std::size_t s = 0;
      const std::int64_t linear = linearOf(key, count, s);
      if (linear >= 0) _slots[static_cast<std::size_t>(linear) * _slices + s] = SlotOf(cell);
    });
    return true;
  }

  // Rows first, with their slot counts, so that the slots are allocated once.
  _dense = space <= kMaxDenseRowsPerCell * cells + kMinSlots;
  if (_dense) _denseRows.assign(static_cast<std::size_t>(space), -1);
  const auto rowOf = [&](std::int64_t linear) -> std::int32_t& {
    if (_dense) return _denseRows[static_cast<std::size_t>(linear)];
    return _sparseRows.try_emplace(static_cast<std::uint64_t>(linear), -1).first->second;
  };
  std::vector<std::uint32_t>& counts = _rowStart;
  _table.ForEachCell([&](const int* key, std::size_t count, const OmCellText&) {
    std::size_t s = 0;
    const std::int64_t linear = linearOf(key, count, s);
    if (linear < 0) return;
    std::int32_t& row = rowOf(linear);
    if (row < 0) {
      // Rows never outnumber the stored cells, whose count fits 32 bits.
      row = static_cast<std::int32_t>(_rowLinear.size());
      _rowLinear.push_back(static_cast<std::uint64_t>(linear));
      counts.push_back(0);
    }
    ++counts[static_cast<std::size_t>(row)];
  });
  // Counts into starts; `next` is where each row's next slot goes.
  std::uint32_t total = 0;
  for (std::uint32_t& c : counts) {
    const std::uint32_t n = c;
    c = total;
    total += n;
  }
  counts.push_back(total);
  std::vector<std::uint32_t> next(counts.begin(), counts.end() - 1);
  _positions.resize(total);
  _values.resize(total);
  _table.ForEachCell([&](const int* key, std::size_t count, const OmCellText& cell) {
    std::size_t s = 0;
    const std::int64_t linear = linearOf(key, count, s);
    if (linear < 0) return;
    const std::uint32_t i = next[static_cast<std::size_t>(rowOf(linear))]++;
    _positions[i] = static_cast<std::uint32_t>(s);
    _values[i] = SlotOf(cell);
  });
  return true;
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

int BootSampleTable::Entry(std::uint64_t linear, std::size_t d) const {
  const auto size = static_cast<std::uint64_t>(_sizes[d] > 0 ? _sizes[d] : 1);
  const int e = static_cast<int>((linear / _radix[d]) % size);
  if (static_cast<int>(d) != _only.dim) return e;
  return static_cast<std::size_t>(e) < _only.entries.size() ? _only.entries[static_cast<std::size_t>(e)] : -1;
}

std::int64_t BootSampleTable::RowAt(const std::vector<int>& at) const {
  if (!_laidOut) return -1;
  const std::int64_t linear = Linear(at);
  if (linear < 0 || _direct) return linear;
  if (_dense) return _denseRows[static_cast<std::size_t>(linear)];
  const auto found = _sparseRows.find(static_cast<std::uint64_t>(linear));
  return found == _sparseRows.end() ? -1 : found->second;
}

std::size_t BootSampleTable::RowCount() const {
  if (!_laidOut) return 0;
  return _direct ? _directRows : _rowLinear.size();
}

std::uint64_t BootSampleTable::GroupKey(std::size_t row, const std::vector<int>& dims) const {
  std::uint64_t linear = LinearOfRow(row);
  for (int d : dims) {
    if (d < 0 || static_cast<std::size_t>(d) >= _radix.size() || static_cast<std::size_t>(d) == _split)
      continue;
    const auto size = static_cast<std::uint64_t>(
        _sizes[static_cast<std::size_t>(d)] > 0 ? _sizes[static_cast<std::size_t>(d)] : 1);
    const std::uint64_t radix = _radix[static_cast<std::size_t>(d)];
    linear -= ((linear / radix) % size) * radix;
  }
  return linear;
}

const double* BootSampleTable::Slots(std::int64_t row, std::vector<double>& scratch) const {
  if (_direct && row >= 0) return DirectRow(static_cast<std::size_t>(row));
  scratch.assign(_slices, kAbsent);
  if (row >= 0) {
    ForEachStoredSlot(static_cast<std::size_t>(row), [&](std::size_t s, double slot) { scratch[s] = slot; });
  }
  return scratch.data();
}

std::uint64_t BootSampleTable::StorePlace(std::size_t row) const {
  const std::size_t width = _store->Width();
  if (width == 0) return OmDenseCells::npos;
  _key.assign(width, 0);
  for (std::size_t d = 0; d < _radix.size(); ++d) {
    if (d == _split) continue;
    const int e = Entry(row, d);
    if (e < 0) return OmDenseCells::npos;
    // A dimension the store does not know yet holds subscript 0 in every stored cell.
    if (d < width)
      _key[d] = e;
    else if (e != 0)
      return OmDenseCells::npos;
  }
  return _store->Place(_key.data(), width, width);
}

bool BootSampleTable::HasObservedInStore(std::size_t row) const {
  const std::uint64_t place = StorePlace(row);
  return place != OmDenseCells::npos && _store->Has(place);
}

const double* BootSampleTable::LoadBlock(std::size_t row) const {
  Block& block = _blocks[0].used <= _blocks[1].used ? _blocks[0] : _blocks[1];
  // A block whose rows went mostly unread halves the next ones; one read through doubles them again.
  if (block.rows > 1 && block.hits * 4 < block.rows)
    _blockRows = std::max<std::size_t>(1, _blockRows / 2);
  else if (block.rows > 0 && block.hits >= block.rows)
    _blockRows = std::min(_maxBlockRows, _blockRows * 2);
  const std::size_t rows = std::min(_blockRows, _directRows - row);
  block.first = row;
  block.rows = rows;
  block.hits = 1;
  block.used = ++_clock;
  block.slots.assign(rows * _slices, kAbsent);
  _places.resize(rows);
  for (std::size_t i = 0; i < rows; ++i)
    _places[i] = StorePlace(row + i);
  // Cells stored before the split dimension was known to the store all stand at split position 0.
  const bool splitKnown = _split < _store->Width();
  const std::uint64_t extent = splitKnown ? _store->Extent(_split) : 1;
  const std::uint64_t stride = splitKnown ? _store->Stride(_split) : 0;
  const std::size_t slices = static_cast<std::size_t>(std::min<std::uint64_t>(_slices, extent));
  double* const slots = block.slots.data();
  // The block's places at one split position lie close together, and one split position lies far from
  // the next: the places of a later position are asked for ahead, a cache line (8 values) at a time.
  const auto prefetch = [&](std::size_t s) {
    if (s >= slices) return;
    const std::uint64_t offset = s * stride;
    for (std::size_t i = 0; i < rows; i += 8)
      if (_places[i] != OmDenseCells::npos) _store->Prefetch(_places[i] + offset);
  };
  for (std::size_t s = 0; s < kPrefetchAhead; ++s)
    prefetch(s);
  for (std::size_t s = 0; s < slices; ++s) {
    prefetch(s + kPrefetchAhead);
    const std::uint64_t offset = s * stride;
    for (std::size_t i = 0; i < rows; ++i) {
      const std::uint64_t place = _places[i];
      if (place != OmDenseCells::npos && _store->Has(place + offset))
        slots[i * _slices + s] = SlotOf(_store->Value(place + offset));
    }
  }
  return slots;
}

bool BootSampleTable::ObservedCells(int dim, int entry, std::vector<int>& out) const {
  out.clear();
  if (!_laidOut) return false;
  const std::size_t dims = _radix.size();
  std::vector<std::uint64_t> rows;
  const std::size_t count = RowCount();
  for (std::size_t r = 0; r < count; ++r) {
    if (!HasObserved(r)) continue;
    const std::uint64_t linear = LinearOfRow(r);
    if (dim >= 0 && static_cast<std::size_t>(dim) < dims && static_cast<std::size_t>(dim) != _split &&
        Entry(linear, static_cast<std::size_t>(dim)) != entry)
      continue;
    rows.push_back(linear);
  }
  std::sort(rows.begin(), rows.end());
  out.reserve(rows.size() * dims);
  for (std::uint64_t linear : rows)
    for (std::size_t d = 0; d < dims; ++d)
      out.push_back(d == _split ? 0 : Entry(linear, d));
  return true;
}

const double* BootSampleTable::Slots(const std::vector<int>& at, std::vector<double>& scratch) const {
  if (_laidOut) return Slots(RowAt(at), scratch);
  scratch.assign(_slices, kAbsent);
  std::vector<int> index = at;
  index.resize(static_cast<std::size_t>(_table.NDimensions()), 0);
  OmNumber number(0.0, 0);
  for (std::size_t s = 0; s < _slices; ++s) {
    index[_split] = static_cast<int>(s);
    if (const OmCellText* cell = _table.Peek(index, number)) scratch[s] = SlotOf(*cell);
  }
  return scratch.data();
}

} // namespace omf
