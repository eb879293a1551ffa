#pragma once
// The cells of a bootstrapped table read once, in one pass over the stored cells, and laid out by row
// (the cell's index outside the split dimension) and split position, so that collecting a cell's
// samples reads one stretch of memory instead of looking up every sample in the table. Tables too
// sparse for that layout are read cell by cell.
#include <cstdint>
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
  // What a split position of a row holds.
  struct Slot {
    enum Kind : std::uint8_t { kAbsent = 0, kNumber = 1, kOther = 2 };
    Kind kind = kAbsent;
    double value = 0; // for numbers
  };

  // The filter's cells at the split positions 0 to slices - 1 are read.
  BootSampleTable(const OmPivotTable& table, int splitDim, int slices, BootSampleFilter only = {});

  // The slots of the cell at `at` (its split entry ignored) at every split position, into `out`.
  void Read(const std::vector<int>& at, std::vector<Slot>& out) const;

  // The indexes (split entry 0) of the observed sample's cells whose entry for `dim` is `entry`, in index
  // order (the last dimension varies fastest), into `out`. False, with `out` empty, when the table was not
  // laid out by index and the caller must find them itself.
  bool ObservedCells(int dim, int entry, std::vector<std::vector<int>>& out) const;

private:
  // The row of an index, or -1 when no cell has it.
  std::int64_t Row(const std::vector<int>& at) const;
  std::int64_t Linear(const std::vector<int>& at) const;
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
  // Slots by linear index itself, when the index space is small enough: one pass, no rows.
  bool _direct = false;
  // Rows by linear index: a vector when the index space is small, else a map.
  std::vector<std::int32_t> _denseRows;
  std::unordered_map<std::uint64_t, std::int32_t> _sparseRows;
  bool _dense = false;
  // Row r's slots at [r * slices, (r + 1) * slices), each a number's value or one of the two markers
  // below (NaN payloads that arithmetic never makes; a number that is NaN is kept as the usual NaN).
  std::vector<double> _slots;
};

} // namespace omf
