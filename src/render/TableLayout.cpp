#include "render/TableLayout.h"

#include <algorithm>

#include "model/PivotTable.h"

namespace omf::render {

namespace {

// One dimension on an axis: its categories in display order, each with the path of nodes from the
// top level down to the category itself.
struct AxisDimension {
  int dim = 0;
  std::vector<std::vector<const OmDimensionNode*>> paths; // the stand-in of an empty dimension: no nodes
  std::vector<int> subscripts;
  int depth = 0; // label levels: the longest path

  std::size_t Count() const { return paths.size(); }
  // The node shown at label level t for category i: a category shallower than the dimension's depth
  // carries on into the levels below it.
  const OmDimensionNode* At(std::size_t i, int t) const {
    const auto& path = paths[i];
    return path[std::min(static_cast<std::size_t>(t), path.size() - 1)];
  }
};

AxisDimension MakeAxisDimension(const OmPivotTable& table, int d) {
  AxisDimension a;
  a.dim = d;
  const OmDimension& dimension = table.Dimension(d);
  for (const OmDimensionNode* category : dimension.Categories()) {
    std::vector<const OmDimensionNode*> path;
    for (const OmDimensionNode* n = category; n != nullptr && n != &dimension.Root(); n = n->Parent())
      path.push_back(n);
    std::reverse(path.begin(), path.end());
    a.depth = std::max(a.depth, static_cast<int>(path.size()));
    a.paths.push_back(std::move(path));
    a.subscripts.push_back(category->Subscript());
  }
  if (a.paths.empty()) {
    a.paths.emplace_back();
    a.subscripts.push_back(0);
  }
  return a;
}

// The dimensions of one axis nested: a place on the axis is one category of each, the last dimension
// varying fastest.
struct Axis {
  std::vector<AxisDimension> dims;
  std::vector<std::size_t> inner; // per dimension: places per category (the product of the later counts)
  std::vector<int> levelOffset;   // per dimension: its first label level
  std::size_t places = 1;
  int levels = 0;

  void Add(AxisDimension dim) {
    dims.push_back(std::move(dim));
    inner.assign(dims.size(), 1);
    places = 1;
    for (std::size_t j = dims.size(); j-- > 0;) {
      inner[j] = places;
      places *= dims[j].Count();
    }
    levelOffset.push_back(levels);
    levels += dims.back().depth;
  }
  std::size_t CategoryAt(std::size_t place, std::size_t j) const {
    return (place / inner[j]) % dims[j].Count();
  }
  // Puts the subscripts of a place into a cell address; false when a category has no subscript.
  bool Address(std::size_t place, std::vector<int>& at) const {
    for (std::size_t j = 0; j < dims.size(); ++j) {
      const int s = dims[j].subscripts[CategoryAt(place, j)];
      if (s < 0) return false;
      at[static_cast<std::size_t>(dims[j].dim)] = s;
    }
    return true;
  }
};

// A label of an axis: places [place, place + span) at label levels [level, level + levels).
struct AxisLabel {
  std::size_t place;
  std::size_t span;
  int level;
  int levels;
  const OmDimensionNode* node;
};

std::vector<AxisLabel> Labels(const Axis& axis) {
  std::vector<AxisLabel> out;
  for (std::size_t j = 0; j < axis.dims.size(); ++j) {
    const AxisDimension& dim = axis.dims[j];
    const std::size_t n = dim.Count(), inner = axis.inner[j], outer = axis.places / (n * inner);
    for (std::size_t o = 0; o < outer; ++o) {
      const std::size_t base = o * n * inner;
      for (int t = 0; t < dim.depth; ++t) {
        for (std::size_t i = 0; i < n;) {
          const std::size_t pathLength = dim.paths[i].size();
          if (static_cast<std::size_t>(t) >= pathLength) { // a category that began at a level above
            ++i;
            continue;
          }
          const OmDimensionNode* node = dim.At(i, t);
          std::size_t k = i + 1;
          while (k < n && static_cast<std::size_t>(t) < dim.paths[k].size() && dim.At(k, t) == node)
            ++k;
          const bool category = static_cast<std::size_t>(t) + 1 == pathLength;
          out.push_back(AxisLabel{base + i * inner, (k - i) * inner, axis.levelOffset[j] + t,
                                  category ? dim.depth - t : 1, node});
          i = k;
        }
      }
    }
  }
  return out;
}

} // namespace

struct TableLayout::Impl {
  const OmPivotTable& _table;
  FootnoteMarks _marks;
  Axis _rows, _columns, _layers;

  Impl(const OmPivotTable& table, std::string_view codePage)
      : _table(table), _marks(FootnoteMarks::ForTable(table, codePage)) {
    const int n = table.NDimensions();
    std::vector<bool> placed(static_cast<std::size_t>(n), false);
    // A dimension listed twice stands where it is listed first.
    const auto take = [&](const PuppetVector<short>& list, Axis& axis) {
      for (short d : list.Placed()) {
        if (d < 0 || d >= n || placed[static_cast<std::size_t>(d)]) continue;
        placed[static_cast<std::size_t>(d)] = true;
        axis.Add(MakeAxisDimension(table, d));
      }
    };
    take(table.Rows(), _rows);
    take(table.Columns(), _columns);
    take(table.Layers(), _layers);
    for (int d = 0; d < n; ++d)
      if (!placed[static_cast<std::size_t>(d)]) _rows.Add(MakeAxisDimension(table, d));
  }
};

TableLayout::TableLayout(const OmPivotTable& table, std::string_view codePage)
    : _my(std::make_unique<Impl>(table, codePage)) {}

TableLayout::~TableLayout() = default;

const FootnoteMarks& TableLayout::Marks() const {
  return _my->_marks;
}

ShownText TableLayout::Title() const {
  return _my->_marks.Show(_my->_table.TableTitle());
}

std::unique_ptr<ShownText> TableLayout::Caption() const {
  const OmCellText* caption = _my->_table.Caption();
  return caption ? std::make_unique<ShownText>(_my->_marks.Show(*caption)) : nullptr;
}

std::size_t TableLayout::LayerCount() const {
  return _my->_layers.places;
}

std::vector<ShownText> TableLayout::LayerLabels(std::size_t layer) const {
  std::vector<ShownText> out;
  const Axis& layers = _my->_layers;
  for (std::size_t j = 0; j < layers.dims.size(); ++j) {
    const auto& path = layers.dims[j].paths[layers.CategoryAt(layer, j)];
    out.push_back(path.empty() ? ShownText{} : _my->_marks.Show(path.back()->Label()));
  }
  return out;
}

TableGrid TableLayout::Grid(std::size_t layer) const {
  const Impl& my = *_my;
  const bool corner = my._table.CornerText() != nullptr;
  TableGrid grid;
  // A corner text needs a corner: at least one header row and one label column.
  const int extraRows = corner && my._columns.levels == 0 ? 1 : 0;
  const int extraColumns = corner && my._rows.levels == 0 ? 1 : 0;
  grid.headerRows = my._columns.levels + extraRows;
  grid.headerColumns = my._rows.levels + extraColumns;
  grid.rows = grid.headerRows + static_cast<int>(my._rows.places);
  grid.columns = grid.headerColumns + static_cast<int>(my._columns.places);

  const auto add = [&](GridBlock::Kind kind, int row, int column, int rowSpan, int columnSpan,
                       ShownText text) {
    grid.blocks.push_back(GridBlock{kind, row, column, rowSpan, columnSpan, std::move(text)});
  };
  if (grid.headerRows > 0 && grid.headerColumns > 0)
    add(GridBlock::kCorner, 0, 0, grid.headerRows, grid.headerColumns,
        corner ? my._marks.Show(*my._table.CornerText()) : ShownText{});
  for (int c = 0; extraRows != 0 && c < static_cast<int>(my._columns.places); ++c)
    add(GridBlock::kColumnLabel, 0, grid.headerColumns + c, 1, 1, ShownText{});
  for (int r = 0; extraColumns != 0 && r < static_cast<int>(my._rows.places); ++r)
    add(GridBlock::kRowLabel, grid.headerRows + r, 0, 1, 1, ShownText{});
  for (const AxisLabel& l : Labels(my._columns))
    add(GridBlock::kColumnLabel, l.level, grid.headerColumns + static_cast<int>(l.place), l.levels,
        static_cast<int>(l.span), my._marks.Show(l.node->Label()));
  for (const AxisLabel& l : Labels(my._rows))
    add(GridBlock::kRowLabel, grid.headerRows + static_cast<int>(l.place), l.level, static_cast<int>(l.span),
        l.levels, my._marks.Show(l.node->Label()));

  std::vector<int> at(static_cast<std::size_t>(my._table.NDimensions()), 0);
  const bool layerAddressed = my._layers.Address(layer, at);
  for (std::size_t r = 0; r < my._rows.places; ++r) {
    const bool rowAddressed = layerAddressed && my._rows.Address(r, at);
    for (std::size_t c = 0; c < my._columns.places; ++c) {
      const OmCellText* cell = nullptr;
      if (rowAddressed && my._columns.Address(c, at)) cell = my._table.Cell(at);
      add(GridBlock::kCell, grid.headerRows + static_cast<int>(r), grid.headerColumns + static_cast<int>(c),
          1, 1, cell ? my._marks.Show(*cell) : ShownText{});
    }
  }

  std::stable_sort(grid.blocks.begin(), grid.blocks.end(), [](const GridBlock& a, const GridBlock& b) {
    return a.row != b.row ? a.row < b.row : a.column < b.column;
  });
  grid.cover.assign(static_cast<std::size_t>(grid.rows) * static_cast<std::size_t>(grid.columns), -1);
  for (std::size_t b = 0; b < grid.blocks.size(); ++b) {
    const GridBlock& block = grid.blocks[b];
    for (int r = block.row; r < block.row + block.rowSpan; ++r)
      for (int c = block.column; c < block.column + block.columnSpan; ++c)
        grid.cover[static_cast<std::size_t>(r) * static_cast<std::size_t>(grid.columns) +
                   static_cast<std::size_t>(c)] = static_cast<int>(b);
  }
  return grid;
}

} // namespace omf::render
