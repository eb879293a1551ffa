#pragma once
// A pivot table laid out as a reader sees it. Dimensions stand on rows, columns or layers as the
// table's lists place them; a dimension that no list places stands on the rows after the placed ones.
// There is one grid per combination of layer categories. A grid is a rectangle of blocks: the corner at
// the top left, the column labels above (a group spans its categories; of several column dimensions the
// first listed is outermost), the row labels at the left (a group in a label column of its own, left of
// its categories; several row dimensions nest the same way) and the cells. Dimension labels themselves
// are not part of the grid. A dimension without categories takes one place, subscript 0, with no label.
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "render/CellDisplay.h"
#include "render/FootnoteMarks.h"

class OmPivotTable;

namespace omf::render {

struct GridBlock {
  enum Kind { kCorner, kColumnLabel, kRowLabel, kCell };
  Kind kind = kCell;
  int row = 0;
  int column = 0;
  int rowSpan = 1;
  int columnSpan = 1;
  ShownText text;
};

struct TableGrid {
  int rows = 0;
  int columns = 0;
  int headerRows = 0;            // rows of column labels (and of the corner)
  int headerColumns = 0;         // columns of row labels (and of the corner)
  std::vector<GridBlock> blocks; // by top row, then left column
  std::vector<int> cover;        // row by row: the block covering each place; every place is covered

  int BlockAt(int row, int column) const {
    return cover[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                 static_cast<std::size_t>(column)];
  }
};

class TableLayout {
public:
  TableLayout(const OmPivotTable& table, std::string_view codePage);
  ~TableLayout();
  TableLayout(const TableLayout&) = delete;
  TableLayout& operator=(const TableLayout&) = delete;

  const FootnoteMarks& Marks() const;
  ShownText Title() const;
  // The caption, or null when the table has none.
  std::unique_ptr<ShownText> Caption() const;

  // Combinations of layer categories, the last layer dimension varying fastest; 1 without layers.
  std::size_t LayerCount() const;
  // The categories of one combination, one per layer dimension in list order.
  std::vector<ShownText> LayerLabels(std::size_t layer) const;
  TableGrid Grid(std::size_t layer) const;

private:
  struct Impl;
  std::unique_ptr<Impl> _my;
};

} // namespace omf::render
