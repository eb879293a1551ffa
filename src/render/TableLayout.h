#pragma once
// A pivot table laid out as a reader sees it. Dimensions stand on rows, columns or layers as the
// table's lists place them; a dimension that no list places stands on the rows after the placed ones.
// There is one grid per combination of layer categories. A grid is a rectangle of blocks: the corner at
// the top left, the column labels above (a group spans its categories; of several column dimensions the
// first listed is outermost), the row labels at the left (a group in a label column of its own, left of
// its categories; several row dimensions nest the same way) and the cells. Dimension labels
// show where they tell a reader which variable the categories are values of: a column dimension's label
// spans its categories on a level of its own above them, and the row dimensions' labels head their label
// columns in the last header row (stub heads), below the corner. A dimension without categories takes one
// place, subscript 0, with no label.
// A table whose grids would hold more than kMaxGridPlaces places is not laid out at all (TooLarge).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <omf/model/CellText.h>
#include <omf/render/CellDisplay.h>
#include <omf/render/FootnoteMarks.h>

namespace omf {

class OmNumber;
class OmPivotTable;

namespace render {

struct GridBlock {
  enum Kind : unsigned char { kCorner, kColumnLabel, kRowLabel, kCell, kDimensionLabel, kStubHead };
  Kind kind = kCell;
  int row = 0;
  int column = 0;
  int rowSpan = 1;
  int columnSpan = 1;
  std::uint32_t text = 0; // index into TableGrid::texts
};

class TableLayout;

// A grid's column labels, corner and stub heads are blocks. Its row labels and cells are not kept per
// place: a row label is found from its dimension's categories (the labels repeat under every category of
// the dimensions outside it), and each cell place (at or below headerRows and at or right of
// headerColumns) is a place of its own whose text Cell() reads from the table when asked, so that a grid
// of a million rows costs what one pass over its dimensions costs.
struct TableGrid {
  int rows = 0;
  int columns = 0;
  int headerRows = 0;    // rows of column labels (and of the corner)
  int headerColumns = 0; // columns of row labels (and of the corner)
  // The texts of the blocks, each once: a label repeated under every category of the dimensions outside
  // it is one text. texts[0] is the empty text of empty places.
  std::vector<ShownText> texts;
  std::vector<GridBlock> blocks; // the blocks of the header rows, in no particular order
  std::vector<int> cover;        // the header rows row by row: the block covering each place

  // A row dimension's labels under one category of the dimensions outside it.
  struct RowDimension {
    int column = 0;          // its first label column
    int depth = 0;           // its label columns
    std::size_t inner = 1;   // rows per category
    std::size_t count = 1;   // categories
    std::vector<int> length; // per category: the label levels of its path
    struct Run {
      std::uint32_t first = 0, last = 0; // the categories [first, last) under one node at a level
      std::uint32_t text = 0;
    };
    std::vector<Run> runs; // per level, per category
  };
  std::vector<RowDimension> rowDimensions;

  bool IsCell(int row, int column) const { return row >= headerRows && column >= headerColumns; }
  // The block covering a place: its first place, its spans and its text; a cell place is a block of
  // its own with no text. Two places are in one block when their blocks start at the same place.
  GridBlock Covering(int row, int column) const;
  // The row label blocks under the first category of the dimensions outside them, each with the number
  // of times it is repeated below (the same columns and text).
  std::vector<std::pair<GridBlock, std::size_t>> RowLabels() const;
  const ShownText& Text(const GridBlock& block) const { return texts[block.text]; }
  // The cell at a cell place, or null when the place is empty. A compact number is read into `scratch`.
  // The subscripts of a row are found once for all the cells read along it.
  const OmCellText* Cell(int row, int column, OmNumber& scratch) const;
  // The cell as a reader sees it, its markers and marks included; an empty text for an empty place.
  ShownText ShownCell(int row, int column, OmNumber& scratch) const;

  const TableLayout* layout = nullptr;
  std::size_t layer = 0;
  mutable std::vector<int> at;   // subscripts of the cell read last
  mutable int atRow = -1;        // the row whose subscripts (and the layer's) `at` holds, or -1
  mutable bool rowShown = false; // whether every category of that row and layer carries a subscript
  mutable std::vector<std::size_t> rowCategories; // that row's category of each row dimension
};

// What a renderer leaves out of a table: a notice for the reader in place of the grids ("Table not
// shown: ..." or "Layers 3 to 5 not shown: ..."), and a line for the caller that names the table.
struct Omission {
  std::string notice;
  std::string line;
};
// The grids from `layer` on (every grid from layer 0) of a table of `layers` layers are left out.
Omission Omitted(const std::string& title, std::size_t layer, std::size_t layers, const std::string& why);

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

  // Why the table's grids are not laid out, as "its grids would hold ... places, ...", or empty when they
  // are. A table too large has no layers.
  const std::string& TooLarge() const;
  // Why a renderer stopped writing a table's grids when they would take more than kMaxTableBytes.
  static std::string TooManyBytes();

  // The dimensions on each axis, in nesting order (outermost first), as the grids place them.
  struct Placement {
    std::vector<int> rows, columns, layers;
  };
  Placement Placed() const;
  // Whether a reader sees the dimension's label over its categories or heading its label columns.
  static bool ShowsLabel(const OmPivotTable& table, int dimension);

  // Combinations of layer categories, the last layer dimension varying fastest; 1 without layers.
  std::size_t LayerCount() const;
  // The categories of one combination, one per layer dimension in list order; hidden dimensions (root
  // with both the node mark and the second flag, such as the bootstrap split) are left out.
  std::vector<ShownText> LayerLabels(std::size_t layer) const;
  // The labels of the layer dimensions that LayerLabels shows categories of, in the same order.
  std::vector<ShownText> LayerNames() const;
  // The grid of one layer; it reads its cells through this layout, which must outlive it.
  TableGrid Grid(std::size_t layer) const;
  // The cell at a place of a layer's grid (row and column places count from the first cell), or null
  // when none is shown there; `at` receives its subscripts. A compact number is read into `scratch`.
  const OmCellText* CellAt(std::size_t layer, std::size_t row, std::size_t column, std::vector<int>& at,
                           OmNumber& scratch) const;
  // Sets the subscripts of a row and a layer in `at`: false when one of their categories carries none.
  // CellInRow then reads the row's cells. `categories` receives the row's category of each row
  // dimension; when `next` is true it holds those of the row before, and the row's are counted on from
  // them instead of being worked out from its place.
  bool SetRow(std::size_t layer, std::size_t row, bool next, std::vector<std::size_t>& categories,
              std::vector<int>& at) const;
  const OmCellText* CellInRow(std::size_t column, std::vector<int>& at, OmNumber& scratch) const;

  // A number without markers or footnotes as a reader sees it, formatted into `text`: its length, or
  // npos when the cell is anything else, its text needs converting from the table's code page or it is
  // not printable ASCII free of the characters that HTML and JSON escape. Such a text is written as it
  // is, one column per byte, so that the renderers write the millions of cells of a big table without a
  // text object per cell.
  std::size_t PlainNumber(const OmCellText& cell, NumberText& text) const;

private:
  struct Impl;
  std::unique_ptr<Impl> _my;
};

} // namespace render

} // namespace omf
