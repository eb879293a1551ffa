#pragma once
// The cells of a bootstrapped table read once, in one pass over the stored cells, and laid out by row
// (the cell's index outside the split dimension) and split position, so that collecting a cell's
// samples reads one stretch of memory instead of looking up every sample in the table. A table whose
// rows are mostly empty keeps only its stored slots, row by row.
#include <bit>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include <omf/model/PivotTable.h>

namespace omf {

// The cells of a table that pooling reads: those whose entry for dimension `dim` is one of `entries`
// (every cell when `dim` is -1).
struct BootSampleFilter {
  int dim = -1;
  std::vector<int> entries;
};

class BootSampleTable {
public:
  // A slot is a number's value or one of two markers (NaN payloads that arithmetic never makes; a
  // number that is NaN is kept as the usual NaN).
  static constexpr std::uint64_t kAbsentBits = 0x7FF4000000000A55;
  static constexpr std::uint64_t kOtherBits = 0x7FF4000000000B7E;
  static bool IsAbsent(double slot) { return std::bit_cast<std::uint64_t>(slot) == kAbsentBits; }
  static bool IsNumber(double slot) {
    const auto bits = std::bit_cast<std::uint64_t>(slot);
    return bits != kAbsentBits && bits != kOtherBits;
  }

  // The filter's cells at the split positions 0 to slices - 1 are read.
  BootSampleTable(const OmPivotTable& table, int splitDim, int slices, BootSampleFilter only = {});

  std::size_t Slices() const { return _slices; }

  // The row of the cell at `at` (its split entry ignored; missing trailing entries count as 0), or -1
  // when no cell of the filter has that index.
  std::int64_t RowAt(const std::vector<int>& at) const;
  // The slots of a row (every one absent for -1) at every split position: a stretch of the layout or,
  // for rows kept slot by slot, `scratch` filled with them.
  // A stretch read from a table of compact numbers stays valid until the slots of two other rows were asked
  // for.
  const double* Slots(std::int64_t row, std::vector<double>& scratch) const;

  // The slots of the cell at `at` at every split position, laid out or looked up cell by cell.
  const double* Slots(const std::vector<int>& at, std::vector<double>& scratch) const;
  // Whether the table was laid out (else it is read cell by cell).
  bool LaidOut() const { return _laidOut; }

  // Rows that hold a stored slot, for walks over all of them: 0 to RowCount() - 1 (the table was read
  // cell by cell when it is 0).
  std::size_t RowCount() const;
  // Calls visit(split position, slot) for every stored slot of a row.
  template <class Visit> void ForEachStoredSlot(std::size_t row, Visit&& visit) const {
    if (_direct) {
      const double* first = DirectRow(row);
      for (std::size_t s = 0; s < _slices; ++s)
        if (!IsAbsent(first[s])) visit(s, first[s]);
      return;
    }
    for (std::uint32_t i = _rowStart[row]; i < _rowStart[row + 1]; ++i)
      visit(static_cast<std::size_t>(_positions[i]), _values[i]);
  }
  // Whether a row holds a slot at split position 0.
  bool HasObserved(std::size_t row) const {
    if (_store != nullptr) return HasObservedInStore(row);
    if (_direct) return !IsAbsent(_slots[row * _slices]);
    for (std::uint32_t i = _rowStart[row]; i < _rowStart[row + 1]; ++i)
      if (_positions[i] == 0) return true;
    return false;
  }
  // A number that is the same for two rows exactly when their indexes agree outside `dims` (and the
  // split dimension).
  std::uint64_t GroupKey(std::size_t row, const std::vector<int>& dims) const;

  // The indexes (split entry 0) of the observed sample's cells whose entry for `dim` is `entry`, in index
  // order (the last dimension varies fastest), into `out` one after the other, NDimensions() entries
  // each. False, with `out` empty, when the table was read cell by cell and the caller must find them
  // itself.
  bool ObservedCells(int dim, int entry, std::vector<int>& out) const;

private:
  // The slots of the direct layout: one large block that is filled once and read many times, which asks
  // the system for large pages where it offers them (a first touch of millions of small pages can cost
  // more than the pooling itself).
  class SlotBlock {
  public:
    void Assign(std::size_t count, double value);
    void Clear() {
      _memory.reset();
      _data = nullptr;
      _size = 0;
    }
    double* data() { return _data; }
    const double* data() const { return _data; }
    std::size_t size() const { return _size; }
    double& operator[](std::size_t i) { return _data[i]; }
    double operator[](std::size_t i) const { return _data[i]; }

  private:
    std::unique_ptr<unsigned char[]> _memory;
    double* _data = nullptr;
    std::size_t _size = 0;
  };

  // The slots of a row of the direct layout, from the block or the compact store.
  const double* DirectRow(std::size_t row) const {
    if (_store == nullptr) return _slots.data() + row * _slices;
    for (Block& block : _blocks)
      if (row - block.first < block.rows) {
        block.used = ++_clock;
        ++block.hits;
        return block.slots.data() + (row - block.first) * _slices;
      }
    return LoadBlock(row);
  }
  const double* LoadBlock(std::size_t row) const;
  // The place of a row's cell at split position 0 in the compact store, or OmDenseCells::npos.
  std::uint64_t StorePlace(std::size_t row) const;
  bool HasObservedInStore(std::size_t row) const;
  std::int64_t Linear(const std::vector<int>& at) const;
  std::uint64_t LinearOfRow(std::size_t row) const { return _direct ? row : _rowLinear[row]; }
  int Entry(std::uint64_t linear, std::size_t d) const;
  bool Build();

  const OmPivotTable& _table;
  std::size_t _split;
  std::size_t _slices;
  std::vector<std::uint64_t> _radix; // per dimension; 0 for the split dimension
  std::vector<int> _sizes;
  // The filter's entries by subscript: their place among the entries, or -1.
  BootSampleFilter _only;
  std::vector<int> _onlyPlace;
  bool _laidOut = false;
  // Slots by linear index itself, when the index space is small enough: row r's slots at
  // [r * slices, (r + 1) * slices).
  bool _direct = false;
  SlotBlock _slots;
  std::size_t _directRows = 0;
  // A direct layout over a table whose cells are all compact numbers is not copied: its rows are read from
  // the store a block of consecutive rows at a time, split position by split position, so that every read
  // of the store takes a run of neighbouring places and the block stays in cache while its rows are
  // pooled. Two blocks are kept, for a statistic and its partner walking apart. The table may gain cells
  // while it is pooled, and the store may then move its places, but only in categories past the sizes
  // read here, so each load finds the places anew and reads what a copy made at the start would hold.
  struct Block {
    std::size_t first = 0;
    std::size_t rows = 0;
    std::uint64_t used = 0;
    std::size_t hits = 0;
    std::vector<double> slots;
  };
  const OmDenseCells* _store = nullptr;
  mutable Block _blocks[2];
  mutable std::uint64_t _clock = 0;
  // Rows per block: fewer when the rows of a block go mostly unread (a walk that skips along).
  mutable std::size_t _blockRows = 0;
  std::size_t _maxBlockRows = 0;
  mutable std::vector<std::uint64_t> _places;
  mutable std::vector<int> _key;
  // Otherwise rows in order of first appearance, found by linear index (a vector when the index space is
  // small, else a map), each with its stored slots: split positions and values at [start, next start).
  std::vector<std::int32_t> _denseRows;
  std::unordered_map<std::uint64_t, std::int32_t> _sparseRows;
  bool _dense = false;
  std::vector<std::uint64_t> _rowLinear;
  std::vector<std::uint32_t> _rowStart;
  std::vector<std::uint32_t> _positions;
  std::vector<double> _values;
};

} // namespace omf
