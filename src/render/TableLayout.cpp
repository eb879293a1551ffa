#include <omf/render/TableLayout.h>

#include <algorithm>
#include <array>
#include <unordered_map>
#include <utility>

#include <omf/model/CellText.h>
#include <omf/model/PivotTable.h>
#include <omf/platform/strings/PlatformStrings.h>
#include <omf/render/Limits.h>

namespace omf {

namespace render {

namespace {

// A category of a dimension and its depth below the dimension's root (1 for a top-level category).
struct Category {
  const OmDimensionNode* node;
  std::size_t depth;
};

// The categories of a dimension in display order, depth first. Groups nest as deep as the stream made
// them, so the walk keeps its own stack instead of recursing.
std::vector<Category> CategoriesOf(const OmDimension& dimension) {
  std::vector<Category> out;
  std::vector<std::pair<const OmDimensionNode*, std::size_t>> stack{
      {&dimension.Root(), 0}}; // node, next child
  while (!stack.empty()) {
    const auto [node, next] = stack.back();
    if (next == node->ChildCount()) {
      stack.pop_back();
      continue;
    }
    ++stack.back().second;
    const OmDimensionNode& child = node->Child(next);
    if (child.IsGroup())
      stack.emplace_back(&child, 0);
    else
      out.push_back(Category{&child, stack.size()});
  }
  return out;
}

// One dimension on an axis: its categories in display order, each with the path of nodes from the
// top level down to the category itself.
struct AxisDimension {
  int dim = 0;
  // Category i's path is nodes[start[i], start[i + 1]); the stand-in of an empty dimension has none.
  std::vector<const OmDimensionNode*> nodes;
  std::vector<std::size_t> start{0};
  std::vector<int> subscripts;
  int depth = 0; // label levels: the longest path
  // A dimension whose root carries both the node mark and the second flag is one the back end (or a
  // pooler, for the bootstrap split) asked to keep out of sight: as a layer it gets no "Layer:" line.
  bool hidden = false;
  // The dimension's label, and whether the reader sees it: a column dimension's label spans its
  // categories on a label level of its own above them, a row dimension's heads its label columns.
  const OmCellText* label = nullptr;
  bool labelShown = false;

  std::size_t Count() const { return subscripts.size(); }
  std::size_t PathLength(std::size_t i) const { return start[i + 1] - start[i]; }
  // The node shown at label level t for category i: a category shallower than the dimension's depth
  // carries on into the levels below it.
  const OmDimensionNode* At(std::size_t i, int t) const {
    return nodes[start[i] + std::min(static_cast<std::size_t>(t), PathLength(i) - 1)];
  }
  // Category i itself, or null for the stand-in.
  const OmDimensionNode* CategoryNode(std::size_t i) const {
    return PathLength(i) == 0 ? nullptr : nodes[start[i + 1] - 1];
  }
};

// Which dimension labels a reader sees: those naming a variable (Gender over Male and Female, Region
// heading its categories), since they tell which variable a category is a value of. Labels such as
// "Statistics" or "Variables" name only the kind of categories, which the categories show themselves.
bool ShowsLabel(const OmDimension& dimension) {
  const OmDimensionNode& root = dimension.Root();
  return !(root.Mark() && root.SecondFlag()) && root.Label().OrderCode() == OmCellText::kOrderVariable;
}

// Layers show only the categories themselves, so their paths hold just the category.
AxisDimension MakeAxisDimension(const OmPivotTable& table, int d, const std::vector<Category>& categories,
                                bool withPaths) {
  AxisDimension a;
  a.dim = d;
  const OmDimensionNode* root = &table.Dimension(d).Root();
  a.hidden = root->Mark() && root->SecondFlag();
  a.label = &root->Label();
  a.labelShown = ShowsLabel(table.Dimension(d));
  for (const Category& category : categories) {
    const std::size_t begin = a.nodes.size();
    if (withPaths) {
      for (const OmDimensionNode* n = category.node; n != nullptr && n != root; n = n->Parent())
        a.nodes.push_back(n);
      std::reverse(a.nodes.begin() + static_cast<std::ptrdiff_t>(begin), a.nodes.end());
    } else {
      a.nodes.push_back(category.node);
    }
    a.start.push_back(a.nodes.size());
    a.depth = std::max(a.depth, static_cast<int>(a.nodes.size() - begin));
    a.subscripts.push_back(category.node->Subscript());
  }
  if (categories.empty()) {
    a.start.push_back(a.nodes.size());
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
  std::vector<int> labelLevels;   // per dimension: 1 when its own label takes a level above its categories
  std::size_t places = 1;
  int levels = 0;

  // The caller has checked that the places and levels fit within kMaxGridPlaces. On the column axis a
  // shown dimension label takes a level (`labelLevel`).
  void Add(AxisDimension dim, bool labelLevel = false) {
    dims.push_back(std::move(dim));
    inner.assign(dims.size(), 1);
    places = 1;
    for (std::size_t j = dims.size(); j-- > 0;) {
      inner[j] = places;
      places *= dims[j].Count();
    }
    levelOffset.push_back(levels);
    labelLevels.push_back(labelLevel && dims.back().labelShown && dims.back().depth > 0 ? 1 : 0);
    levels += labelLevels.back() + dims.back().depth;
  }
  std::size_t CategoryAt(std::size_t place, std::size_t j) const {
    return (place / inner[j]) % dims[j].Count();
  }
};

// Calls label(place, span, level, levels, node) for each label of an axis: places [place, place + span)
// at label levels [level, level + levels); and dimensionLabel(place, span, level, dimension) for each
// dimension label that takes a level of its own.
template <class Label, class DimensionLabel>
void ForEachLabel(const Axis& axis, Label label, DimensionLabel dimensionLabel) {
  for (std::size_t j = 0; j < axis.dims.size(); ++j) {
    const AxisDimension& dim = axis.dims[j];
    const std::size_t n = dim.Count(), inner = axis.inner[j], outer = axis.places / (n * inner);
    const int first = axis.levelOffset[j] + axis.labelLevels[j];
    for (std::size_t o = 0; o < outer; ++o) {
      const std::size_t base = o * n * inner;
      if (axis.labelLevels[j] != 0) dimensionLabel(base, n * inner, axis.levelOffset[j], dim);
      for (int t = 0; t < dim.depth; ++t) {
        for (std::size_t i = 0; i < n;) {
          const std::size_t pathLength = dim.PathLength(i);
          if (static_cast<std::size_t>(t) >= pathLength) { // a category that began at a level above
            ++i;
            continue;
          }
          const OmDimensionNode* node = dim.At(i, t);
          std::size_t k = i + 1;
          while (k < n && static_cast<std::size_t>(t) < dim.PathLength(k) && dim.At(k, t) == node)
            ++k;
          const bool category = static_cast<std::size_t>(t) + 1 == pathLength;
          label(base + i * inner, (k - i) * inner, first + t, category ? dim.depth - t : 1, node);
          i = k;
        }
      }
    }
  }
}

// Rows above the row labels: the column label levels, at least one to hold the row dimensions' labels
// (stub heads) when some row dimension shows its label, and one more above those for a corner text.
std::size_t HeaderRows(std::size_t columnLevels, bool corner, bool stubHeads) {
  const std::size_t least = stubHeads ? (corner ? 2 : 1) : (corner ? 1 : 0);
  return std::max(columnLevels, least);
}

} // namespace

struct TableLayout::Impl {
  const OmPivotTable& _table;
  FootnoteMarks _marks;
  Axis _rows, _columns, _layers;
  std::string _tooLarge;
  std::string _codePage;
  // Whether the code page leaves printable ASCII as it is: found with the first plain number.
  mutable signed char _asciiKept = -1;

  Impl(const OmPivotTable& table, std::string_view codePage)
      : _table(table), _marks(FootnoteMarks::ForTable(table, codePage)), _codePage(codePage) {
    const int n = table.NDimensions();
    std::vector<bool> placed(static_cast<std::size_t>(n), false);
    std::vector<int> rows, columns, layers;
    // A dimension listed twice stands where it is listed first.
    const auto take = [&](const PuppetVector<short>& list, std::vector<int>& axis) {
      for (short d : list.Placed()) {
        if (d < 0 || d >= n || placed[static_cast<std::size_t>(d)]) continue;
        placed[static_cast<std::size_t>(d)] = true;
        axis.push_back(d);
      }
    };
    take(table.Rows(), rows);
    take(table.Columns(), columns);
    take(table.Layers(), layers);
    for (int d = 0; d < n; ++d)
      if (!placed[static_cast<std::size_t>(d)]) rows.push_back(d);

    std::vector<std::vector<Category>> categories(static_cast<std::size_t>(n));
    for (int d = 0; d < n; ++d)
      categories[static_cast<std::size_t>(d)] = CategoriesOf(table.Dimension(d));
    if (!Fits(rows, columns, layers, categories)) return;
    for (int d : rows)
      _rows.Add(MakeAxisDimension(table, d, categories[static_cast<std::size_t>(d)], true));
    for (int d : columns)
      _columns.Add(MakeAxisDimension(table, d, categories[static_cast<std::size_t>(d)], true), true);
    for (int d : layers)
      _layers.Add(MakeAxisDimension(table, d, categories[static_cast<std::size_t>(d)], false));
  }

  // Measures the grids before anything is built, so that counts whose product is beyond any memory are
  // refused rather than wrapped around; sets _tooLarge when they are too large.
  bool Fits(const std::vector<int>& rows, const std::vector<int>& columns, const std::vector<int>& layers,
            const std::vector<std::vector<Category>>& categories) {
    struct Size {
      std::size_t places = 1, levels = 0;
      bool labels = false; // some dimension shows its label
    };
    const auto measure = [&](const std::vector<int>& dims, bool labelLevels) {
      Size size;
      for (int d : dims) {
        const std::vector<Category>& list = categories[static_cast<std::size_t>(d)];
        std::size_t depth = 0;
        for (const Category& c : list)
          depth = std::max(depth, c.depth);
        const bool shown = depth > 0 && render::ShowsLabel(_table.Dimension(d));
        size.labels = size.labels || shown;
        size.places = SaturatingMul(size.places, std::max<std::size_t>(list.size(), 1));
        size.levels = SaturatingAdd(size.levels, depth + (labelLevels && shown ? 1 : 0));
      }
      return size;
    };
    const Size r = measure(rows, false), c = measure(columns, true), l = measure(layers, false);
    const bool corner = _table.CornerText() != nullptr;
    const std::size_t gridRows = SaturatingAdd(HeaderRows(c.levels, corner, r.labels), r.places);
    const std::size_t gridColumns = SaturatingAdd(SaturatingAdd(r.levels, corner && r.levels == 0), c.places);
    const std::size_t places =
        SaturatingMul(l.places, SaturatingAdd(SaturatingMul(gridRows, gridColumns), layers.size()));
    if (places <= kMaxGridPlaces) return true;
    _tooLarge = "its grids would hold " + (places == kSaturated ? "more than 2^64" : std::to_string(places)) +
                " places; at most " + std::to_string(kMaxGridPlaces) + " are laid out";
    return false;
  }

  // Sets the subscripts of the categories at `place` on the axis; false when one of them carries no
  // subscript, so that no cell is shown there.
  static bool Subscripts(const Axis& axis, std::size_t place, std::vector<int>& at) {
    for (std::size_t j = 0; j < axis.dims.size(); ++j) {
      const AxisDimension& dim = axis.dims[j];
      const int s = dim.subscripts[(place / axis.inner[j]) % dim.Count()];
      if (s < 0) return false;
      at[static_cast<std::size_t>(dim.dim)] = s;
    }
    return true;
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

const std::string& TableLayout::TooLarge() const {
  return _my->_tooLarge;
}

std::string TableLayout::TooManyBytes() {
  return "its grids would write more than " + std::to_string(kMaxTableBytes) +
         " bytes; at most that many are written";
}

Omission Omitted(const std::string& title, std::size_t layer, std::size_t layers, const std::string& why) {
  if (layer == 0) return Omission{"Table not shown: " + why, "table \"" + title + "\" not shown: " + why};
  const std::string which =
      (layer + 1 == layers ? std::string("layer ") : "layers " + std::to_string(layer + 1) + " to ") +
      std::to_string(layers);
  std::string notice = which + " not shown: " + why;
  notice[0] = 'L';
  return Omission{notice, "table \"" + title + "\": " + which + " not shown: " + why};
}

std::size_t TableLayout::LayerCount() const {
  return _my->_tooLarge.empty() ? _my->_layers.places : 0;
}

std::vector<ShownText> TableLayout::LayerLabels(std::size_t layer) const {
  std::vector<ShownText> out;
  const Axis& layers = _my->_layers;
  for (std::size_t j = 0; j < layers.dims.size(); ++j) {
    if (layers.dims[j].hidden) continue;
    const OmDimensionNode* category = layers.dims[j].CategoryNode(layers.CategoryAt(layer, j));
    out.push_back(category == nullptr ? ShownText{} : _my->_marks.Show(category->Label()));
  }
  return out;
}

TableLayout::Placement TableLayout::Placed() const {
  Placement out;
  for (const AxisDimension& dim : _my->_rows.dims)
    out.rows.push_back(dim.dim);
  for (const AxisDimension& dim : _my->_columns.dims)
    out.columns.push_back(dim.dim);
  for (const AxisDimension& dim : _my->_layers.dims)
    out.layers.push_back(dim.dim);
  return out;
}

bool TableLayout::ShowsLabel(const OmPivotTable& table, int dimension) {
  return render::ShowsLabel(table.Dimension(dimension));
}

std::vector<ShownText> TableLayout::LayerNames() const {
  std::vector<ShownText> out;
  for (const AxisDimension& dim : _my->_layers.dims)
    if (!dim.hidden) out.push_back(_my->_marks.Show(*dim.label));
  return out;
}

TableGrid TableLayout::Grid(std::size_t layer) const {
  const Impl& my = *_my;
  TableGrid grid;
  if (layer >= LayerCount()) return grid;
  const bool corner = my._table.CornerText() != nullptr;
  bool stubHeads = false;
  for (const AxisDimension& dim : my._rows.dims)
    stubHeads = stubHeads || (dim.labelShown && dim.depth > 0);
  // A corner text needs a corner: at least one header row and one label column. Header rows beyond the
  // column label levels stand above the column labels, empty.
  const int extraColumns = corner && my._rows.levels == 0 ? 1 : 0;
  const auto rowPlaces = static_cast<int>(my._rows.places),
             columnPlaces = static_cast<int>(my._columns.places);
  grid.headerRows =
      static_cast<int>(HeaderRows(static_cast<std::size_t>(my._columns.levels), corner, stubHeads));
  const int extraRows = grid.headerRows - my._columns.levels;
  grid.headerColumns = my._rows.levels + extraColumns;
  grid.rows = grid.headerRows + rowPlaces;
  grid.columns = grid.headerColumns + columnPlaces;

  grid.texts.emplace_back();
  std::unordered_map<const OmDimensionNode*, std::uint32_t> labels;
  const auto text = [&](const OmCellText& shown) {
    grid.texts.push_back(my._marks.Show(shown));
    return static_cast<std::uint32_t>(grid.texts.size() - 1);
  };
  const auto label = [&](const OmDimensionNode* node) {
    const auto [it, fresh] = labels.try_emplace(node, 0);
    if (fresh) it->second = text(node->Label());
    return it->second;
  };
  const auto add = [&](GridBlock::Kind kind, int row, int column, int rowSpan, int columnSpan,
                       std::uint32_t shown) {
    grid.blocks.push_back(GridBlock{kind, row, column, rowSpan, columnSpan, shown});
  };
  // With stub heads the corner keeps the header rows above the last one; it is not drawn when there are
  // none.
  const int cornerRows = grid.headerRows - (stubHeads ? 1 : 0);
  if (cornerRows > 0 && grid.headerColumns > 0)
    add(GridBlock::kCorner, 0, 0, cornerRows, grid.headerColumns, corner ? text(*my._table.CornerText()) : 0);
  if (stubHeads)
    for (std::size_t j = 0; j < my._rows.dims.size(); ++j) {
      const AxisDimension& dim = my._rows.dims[j];
      if (dim.depth == 0) continue;
      add(GridBlock::kStubHead, grid.headerRows - 1, my._rows.levelOffset[j], 1, dim.depth,
          dim.labelShown ? label(&my._table.Dimension(dim.dim).Root()) : 0);
    }
  for (int c = 0; extraRows != 0 && c < columnPlaces; ++c)
    add(GridBlock::kColumnLabel, 0, grid.headerColumns + c, extraRows, 1, 0);
  ForEachLabel(
      my._columns,
      [&](std::size_t place, std::size_t span, int level, int levels, const OmDimensionNode* node) {
        add(GridBlock::kColumnLabel, extraRows + level, grid.headerColumns + static_cast<int>(place), levels,
            static_cast<int>(span), label(node));
      },
      [&](std::size_t place, std::size_t span, int level, const AxisDimension& dim) {
        add(GridBlock::kDimensionLabel, extraRows + level, grid.headerColumns + static_cast<int>(place), 1,
            static_cast<int>(span), label(&my._table.Dimension(dim.dim).Root()));
      });
  // Row labels: the runs of categories under one node at each level, once per row dimension.
  for (std::size_t j = 0; j < my._rows.dims.size(); ++j) {
    const AxisDimension& dim = my._rows.dims[j];
    TableGrid::RowDimension rows;
    rows.column = my._rows.levelOffset[j];
    rows.depth = dim.depth;
    rows.inner = my._rows.inner[j];
    rows.count = dim.Count();
    for (std::size_t i = 0; i < rows.count; ++i)
      rows.length.push_back(static_cast<int>(dim.PathLength(i)));
    rows.runs.resize(static_cast<std::size_t>(dim.depth) * rows.count);
    for (int t = 0; t < dim.depth; ++t) {
      for (std::size_t i = 0; i < rows.count;) {
        if (static_cast<std::size_t>(t) >= dim.PathLength(i)) { // a category that began at a level above
          ++i;
          continue;
        }
        const OmDimensionNode* node = dim.At(i, t);
        std::size_t k = i + 1;
        while (k < rows.count && static_cast<std::size_t>(t) < dim.PathLength(k) && dim.At(k, t) == node)
          ++k;
        const TableGrid::RowDimension::Run run{static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(k),
                                               label(node)};
        std::fill_n(rows.runs.begin() +
                        static_cast<std::ptrdiff_t>(static_cast<std::size_t>(t) * rows.count + i),
                    k - i, run);
        i = k;
      }
    }
    grid.rowDimensions.push_back(std::move(rows));
  }

  grid.cover.assign(static_cast<std::size_t>(grid.headerRows) * static_cast<std::size_t>(grid.columns), -1);
  for (std::size_t b = 0; b < grid.blocks.size(); ++b) {
    const GridBlock& block = grid.blocks[b];
    for (int r = block.row; r < block.row + block.rowSpan; ++r)
      for (int c = block.column; c < block.column + block.columnSpan; ++c)
        grid.cover[static_cast<std::size_t>(r) * static_cast<std::size_t>(grid.columns) +
                   static_cast<std::size_t>(c)] = static_cast<int>(b);
  }
  grid.layout = this;
  grid.layer = layer;
  return grid;
}

const OmCellText* TableLayout::CellAt(std::size_t layer, std::size_t row, std::size_t column,
                                      std::vector<int>& at, OmNumber& scratch) const {
  std::vector<std::size_t> categories;
  return SetRow(layer, row, false, categories, at) ? CellInRow(column, at, scratch) : nullptr;
}

bool TableLayout::SetRow(std::size_t layer, std::size_t row, bool next, std::vector<std::size_t>& categories,
                         std::vector<int>& at) const {
  const Impl& my = *_my;
  const Axis& rows = my._rows;
  if (next) {
    for (std::size_t j = rows.dims.size(); j-- > 0;) {
      if (++categories[j] < rows.dims[j].Count()) break;
      categories[j] = 0;
    }
  } else {
    at.assign(static_cast<std::size_t>(my._table.NDimensions()), 0);
    categories.resize(rows.dims.size());
    for (std::size_t j = 0; j < rows.dims.size(); ++j)
      categories[j] = rows.CategoryAt(row, j);
  }
  bool shown = true;
  for (std::size_t j = 0; j < rows.dims.size(); ++j) {
    const int s = rows.dims[j].subscripts[categories[j]];
    shown = shown && s >= 0;
    at[static_cast<std::size_t>(rows.dims[j].dim)] = s;
  }
  return shown && Impl::Subscripts(my._layers, layer, at);
}

const OmCellText* TableLayout::CellInRow(std::size_t column, std::vector<int>& at, OmNumber& scratch) const {
  // The column's dimensions are none of the row's or the layer's, so their subscripts stay as set.
  if (!Impl::Subscripts(_my->_columns, column, at)) return nullptr;
  return _my->_table.Peek(at, scratch);
}

std::size_t TableLayout::PlainNumber(const OmCellText& cell, NumberText& text) const {
  if (cell.OrderCode() != OmCellText::kOrderNumber || cell.HasMetaData()) return std::string_view::npos;
  const Impl& my = *_my;
  if (my._asciiKept < 0) {
    std::string printable;
    for (char c = 0x20; c < 0x7F; ++c)
      printable += c;
    my._asciiKept = omf::platform::ToUtf8(printable, my._codePage) == printable ? 1 : 0;
  }
  if (my._asciiKept == 0) return std::string_view::npos;
  const auto& number = static_cast<const OmNumber&>(cell);
  const std::size_t length = FormatNumberInto(number.Value(), number.Format(), text);
  if (length == std::string_view::npos) return length;
  // Every format shows printable ASCII without the characters that HTML or JSON escape today; a text
  // that is not so takes the general path all the same.
  static constexpr auto kPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c)
      plain[static_cast<std::size_t>(c)] = c != '"' && c != '&' && c != '<' && c != '>' && c != '\\';
    return plain;
  }();
  for (std::size_t i = 0; i < length; ++i)
    if (!kPlain[static_cast<unsigned char>(text[i])]) return std::string_view::npos;
  return length;
}

const OmCellText* TableGrid::Cell(int row, int column, OmNumber& scratch) const {
  if (row != atRow) {
    rowShown = layout->SetRow(layer, static_cast<std::size_t>(row - headerRows),
                              atRow >= 0 && row == atRow + 1, rowCategories, at);
    atRow = row;
  }
  if (!rowShown) return nullptr;
  return layout->CellInRow(static_cast<std::size_t>(column - headerColumns), at, scratch);
}

GridBlock TableGrid::Covering(int row, int column) const {
  if (row < headerRows)
    return blocks[static_cast<std::size_t>(
        cover[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
              static_cast<std::size_t>(column)])];
  if (column >= headerColumns) return GridBlock{GridBlock::kCell, row, column, 1, 1, 0};
  const auto place = static_cast<std::size_t>(row - headerRows);
  for (const RowDimension& dim : rowDimensions) {
    if (column < dim.column || column >= dim.column + dim.depth) continue;
    const std::size_t period = dim.count * dim.inner, i = (place % period) / dim.inner;
    // A category whose path is shorter than the dimension's depth carries on into the levels below it.
    const int t = std::min(column - dim.column, dim.length[i] - 1);
    const RowDimension::Run& run = dim.runs[static_cast<std::size_t>(t) * dim.count + i];
    const std::size_t first = place - place % period + run.first * dim.inner;
    return GridBlock{GridBlock::kRowLabel,
                     headerRows + static_cast<int>(first),
                     dim.column + t,
                     static_cast<int>((run.last - run.first) * dim.inner),
                     t + 1 == dim.length[i] ? dim.depth - t : 1,
                     run.text};
  }
  // The label column that a corner text needs when no row dimension has labels: empty on every row.
  return GridBlock{GridBlock::kRowLabel, row, column, 1, 1, 0};
}

std::vector<std::pair<GridBlock, std::size_t>> TableGrid::RowLabels() const {
  std::vector<std::pair<GridBlock, std::size_t>> out;
  const auto places = static_cast<std::size_t>(rows - headerRows);
  for (const RowDimension& dim : rowDimensions) {
    const std::size_t copies = places / (dim.count * dim.inner);
    for (int t = 0; t < dim.depth; ++t)
      for (std::size_t i = 0; i < dim.count; ++i) {
        const RowDimension::Run& run = dim.runs[static_cast<std::size_t>(t) * dim.count + i];
        if (t >= dim.length[i] || run.first != i) continue;
        out.emplace_back(GridBlock{GridBlock::kRowLabel, headerRows + static_cast<int>(i * dim.inner),
                                   dim.column + t, static_cast<int>((run.last - run.first) * dim.inner),
                                   t + 1 == dim.length[i] ? dim.depth - t : 1, run.text},
                         copies);
      }
  }
  // The empty label column beside a corner text.
  if (rowDimensions.empty() || std::all_of(rowDimensions.begin(), rowDimensions.end(),
                                           [](const RowDimension& d) { return d.depth == 0; }))
    for (int c = 0; c < headerColumns; ++c)
      out.emplace_back(GridBlock{GridBlock::kRowLabel, headerRows, c, 1, 1, 0}, places);
  return out;
}

ShownText TableGrid::ShownCell(int row, int column, OmNumber& scratch) const {
  const OmCellText* cell = Cell(row, column, scratch);
  return cell == nullptr ? ShownText{} : layout->Marks().Show(*cell);
}

} // namespace render

} // namespace omf
