#pragma once
// OmPivotFactory: the builder of one pivot table. It keeps, per dimension, where the message stream
// stands in the dimension's category tree (the group under which categories are added now, the current
// category and its subscript) and turns the table messages into calls on the table.
#include <memory>
#include <string>
#include <vector>

#include <omf/model/PivotTable.h>

namespace omf {

class OmPivotFactory : public OmPartHint {
public:
  // Groups nest at most this deep below a dimension's root. Every later pass over a dimension (layout,
  // translation, sorting, footnote marks, rendering) walks its tree, and no table needs more levels
  // than a reader can follow; a group that would go deeper is refused.
  static constexpr int kMaxGroupDepth = 100;

  // A builder over a new table.
  explicit OmPivotFactory(OmPivotTable& table);
  // A builder continuing an earlier one on a table with the same dimensions (a split table's copy):
  // it starts where the earlier one stands.
  OmPivotFactory(OmPivotTable& table, const OmPivotFactory& earlier);
  ~OmPivotFactory() override;

  OmPivotTable& Table() const;

  int FindOrAddDimension(const OmCellText& label);
  void AddCategory(int d, const OmCellText& label);
  void AddGroup(int d, const OmCellText& label);
  void EndGroup(int d);
  void SetCellDimension(int d);
  // The cell dimension; -1 when the stream never set one (the builder state is then written to the
  // error stream).
  int CellDimension() const;
  void SelectCellDimension();
  void SetCell(const OmCellText& cell);
  // Stores a plain number at the current cell without making a text for it.
  void SetNumber(double value, std::uint32_t format);
  void AddMarker(const OmCellText& marker);
  // Attaches a footnote to the text that the target names (1 title, 2 current dimension, 3 current
  // group, 4 current category, 5 current cell, 6 caption instead of a footnote, 7 caption).
  void Annotate(int target, const OmFootnote& footnote);
  void SetCategoryBold();
  void SetCategoryTextColor(const std::string& colour);
  void SetCategoryBackgroundColor(const std::string& colour);
  void SetDimensionFlags(int d, bool first, bool second);
  void SetDimensionSortMode(std::uint32_t mode);
  void SetGroupSortMode(std::uint32_t mode);
  void MarkGroup();
  // Places a dimension on an axis (0 rows, 1 columns, 2 layers) at a position from 1.
  void PlaceDimension(const OmCellText& label, int position, int axis, bool first, bool second);
  // True when every dimension is back at its root (no group left open).
  bool Validate() const;
  void EndTable();
  // Starts over on the table as it stands now (after the table was scratched).
  void Restart();
  void DumpState() const;
  // Current subscripts, one per dimension (-1 where none).
  const std::vector<int>& Coordinates() const;
  int CurrentDimension() const;

  struct Impl;

private:
  std::unique_ptr<Impl> _my;
};

// Raised by the builder when a message addresses a state the stream never set up (no current
// dimension, a group closed at the root, an axis out of range, ...).
class TableStateError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

} // namespace omf
