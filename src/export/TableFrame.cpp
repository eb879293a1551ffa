#include <omf/export/TableFrame.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <omf/model/PivotTable.h>
#include <omf/platform/strings/PlatformStrings.h>
#include <omf/render/CellDisplay.h>
#include <omf/selection/OMSColumns.h>

namespace omf::data {

namespace {

// The dimension as the shape sees it: its categories in display order with their paths.
FrameDimension Describe(const OmPivotTable& table, int d, std::string_view codePage) {
  const OmDimension& dim = table.Dimension(d);
  FrameDimension out;
  out.index = d;
  out.label = render::DisplayText(dim.Label(), codePage);
  std::vector<std::string> path;
  // Depth-first over the tree, keeping the labels from below the root down to the current node.
  std::vector<std::pair<const OmDimensionNode*, std::size_t>> stack{{&dim.Root(), 0}};
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    if (next == node->ChildCount()) {
      stack.pop_back();
      if (!path.empty() && !stack.empty()) path.pop_back();
      continue;
    }
    const OmDimensionNode& child = node->Child(next++);
    path.push_back(render::DisplayText(child.Label(), codePage));
    if (child.IsGroup() || child.Subscript() == OmDimensionNode::kNoSubscript) {
      stack.emplace_back(&child, 0);
    } else {
      out.subscripts.push_back(child.Subscript());
      out.paths.push_back(path);
      out.depth = std::max(out.depth, path.size());
      path.pop_back();
    }
  }
  for (auto& p : out.paths)
    p.resize(out.depth);
  return out;
}

std::string TableName(const OmPivotTable& table, std::string_view codePage) {
  return "table \"" + render::DisplayText(table.TableTitle(), codePage) + "\"";
}

std::string DimensionList(const OmPivotTable& table, std::string_view codePage) {
  std::string list;
  for (int d = 0; d < table.NDimensions(); ++d)
    list += (d > 0 ? ", \"" : "\"") + render::DisplayText(table.Dimension(d).Label(), codePage) + "\"";
  return list.empty() ? "none" : list;
}

const char* AxisName(OmParsedColumn::COLUMNAXIS axis) {
  switch (axis) {
  case OmParsedColumn::kROW:
    return "row";
  case OmParsedColumn::kCOLUMN:
    return "column";
  default:
    return "layer";
  }
}

// The indexes of the column dimensions, in the order the column specification names them, each once.
std::vector<int> ColumnDimensions(const OmPivotTable& table, const OMSColumns* wanted,
                                  std::string_view codePage) {
  std::vector<int> chosen;
  const auto add = [&chosen](int d) {
    if (std::find(chosen.begin(), chosen.end(), d) == chosen.end()) chosen.push_back(d);
  };
  if (wanted == nullptr || wanted->GetColumnsForm() == OMSColumns::kNONE) {
    for (short d : table.Columns().Placed())
      if (d >= 0 && d < table.NDimensions()) add(d);
    return chosen;
  }
  if (wanted->GetColumnsForm() == OMSColumns::kDIMNAMES) {
    for (const std::string& name : wanted->GetDimNames()) {
      int found = -1;
      for (int d = 0; d < table.NDimensions() && found < 0; ++d) {
        const OmCellText& label = table.Dimension(d).Label();
        if (VEXAMBstricmp_A(name, render::DisplayText(label, codePage)) == 0 ||
            VEXAMBstricmp_A(name, label.AsEngString()) == 0)
          found = d;
      }
      if (found < 0)
        throw FrameError(TableName(table, codePage) + " has no dimension \"" + name +
                         "\"; its dimensions are " + DimensionList(table, codePage));
      add(found);
    }
    return chosen;
  }
  for (const OmParsedColumn& token : wanted->GetSequences()) {
    const PuppetVector<short>& axis = token.GetAxis() == OmParsedColumn::kROW      ? table.Rows()
                                      : token.GetAxis() == OmParsedColumn::kCOLUMN ? table.Columns()
                                                                                   : table.Layers();
    std::vector<short> placed;
    for (short d : axis.Placed())
      if (d >= 0 && d < table.NDimensions()) placed.push_back(d);
    if (token.IsAll()) {
      for (short d : placed)
        add(d);
      continue;
    }
    const auto n = static_cast<std::size_t>(token.GetNumber());
    if (token.GetNumber() < 1 || n > placed.size())
      throw FrameError(TableName(table, codePage) + " has no " + AxisName(token.GetAxis()) + " dimension " +
                       std::to_string(token.GetNumber()) + " (" + token.GetColumnToken() + "); it has " +
                       std::to_string(placed.size()));
    add(placed[n - 1]);
  }
  return chosen;
}

// The product of the category counts, or more than kMaxFrameFields.
std::uint64_t Product(const std::vector<FrameDimension>& dims) {
  std::uint64_t n = 1;
  for (const FrameDimension& d : dims) {
    n *= std::max<std::uint64_t>(d.subscripts.size(), 0);
    if (n > kMaxFrameFields) return kMaxFrameFields + 1;
  }
  return n;
}

// Per dimension of the list: the position of each subscript among its categories (-1: not shown), and
// the stride of the dimension in the combined index (last dimension fastest).
struct Places {
  std::vector<std::vector<int>> position; // indexed by table dimension; empty for others
  std::vector<std::size_t> stride;        // indexed by table dimension
};

void Enter(Places& places, const std::vector<FrameDimension>& dims, const OmPivotTable& table) {
  std::size_t stride = 1;
  for (auto d = dims.rbegin(); d != dims.rend(); ++d) {
    auto& position = places.position[static_cast<std::size_t>(d->index)];
    position.assign(static_cast<std::size_t>(std::max(table.Size(d->index), 0)), -1);
    for (std::size_t c = 0; c < d->subscripts.size(); ++c) {
      const int s = d->subscripts[c];
      if (s >= 0 && static_cast<std::size_t>(s) < position.size())
        position[static_cast<std::size_t>(s)] = static_cast<int>(c);
    }
    places.stride[static_cast<std::size_t>(d->index)] = stride;
    stride *= d->subscripts.size();
  }
}

} // namespace

std::string JoinPath(const std::vector<std::string>& path) {
  std::string joined;
  for (const std::string& label : path) {
    if (label.empty()) continue;
    if (!joined.empty()) joined += kPathSeparator;
    joined += label;
  }
  return joined;
}

bool TableFrame::IsNumber(std::size_t row, std::size_t column) const {
  return !std::isnan(Number(row, column));
}

const std::string* TableFrame::Text(std::size_t row, std::size_t column) const {
  if (_texts.empty()) return nullptr;
  const auto found = _texts.find(column * _rows + row);
  return found == _texts.end() ? nullptr : &found->second;
}

std::vector<std::string> TableFrame::ColumnPath(std::size_t column) const {
  std::vector<std::string> path;
  std::size_t rest = column;
  std::vector<std::size_t> picks(columns.size());
  for (std::size_t k = columns.size(); k-- > 0;) {
    const std::size_t n = columns[k].subscripts.size();
    picks[k] = rest % n;
    rest /= n;
  }
  for (std::size_t k = 0; k < columns.size(); ++k)
    path.insert(path.end(), columns[k].paths[picks[k]].begin(), columns[k].paths[picks[k]].end());
  return path;
}

std::string TableFrame::ColumnHeader(std::size_t column) const {
  if (columns.empty()) return std::string(kValueHeader);
  return JoinPath(ColumnPath(column));
}

std::size_t TableFrame::KeyCategory(std::size_t row, std::size_t k) const {
  std::size_t stride = 1;
  for (std::size_t j = keys.size(); --j > k;)
    stride *= keys[j].subscripts.size();
  return row / stride % keys[k].subscripts.size();
}

TableFrame MakeTableFrame(const OmPivotTable& table, const OMSColumns* wanted, std::string_view codePage) {
  const std::vector<int> columnDims = ColumnDimensions(table, wanted, codePage);
  TableFrame frame;
  // Key dimensions in the order a reader meets them: layers, rows, then columns not taken as columns.
  std::vector<int> keyDims;
  for (const PuppetVector<short>* axis : {&table.Layers(), &table.Rows(), &table.Columns()})
    for (short d : axis->Placed())
      if (d >= 0 && d < table.NDimensions() &&
          std::find(columnDims.begin(), columnDims.end(), d) == columnDims.end() &&
          std::find(keyDims.begin(), keyDims.end(), d) == keyDims.end())
        keyDims.push_back(d);
  for (int d = 0; d < table.NDimensions(); ++d)
    if (std::find(columnDims.begin(), columnDims.end(), d) == columnDims.end() &&
        std::find(keyDims.begin(), keyDims.end(), d) == keyDims.end())
      keyDims.push_back(d);
  for (int d : keyDims)
    frame.keys.push_back(Describe(table, d, codePage));
  for (int d : columnDims)
    frame.columns.push_back(Describe(table, d, codePage));

  const std::uint64_t rows = Product(frame.keys), cols = Product(frame.columns);
  if (rows > kMaxFrameFields || cols > kMaxFrameFields || (rows > 0 && cols > kMaxFrameFields / rows))
    throw FrameError(TableName(table, codePage) + " as data would hold more than " +
                     std::to_string(kMaxFrameFields) + " fields (rows times value columns)");
  frame._rows = static_cast<std::size_t>(rows);
  frame._columnCount = static_cast<std::size_t>(cols);
  frame._numbers.assign(frame._rows * frame._columnCount, std::numeric_limits<double>::quiet_NaN());
  if (frame._numbers.empty()) return frame;

  const auto n = static_cast<std::size_t>(table.NDimensions());
  Places rowPlaces{std::vector<std::vector<int>>(n), std::vector<std::size_t>(n, 0)};
  Places colPlaces{std::vector<std::vector<int>>(n), std::vector<std::size_t>(n, 0)};
  Enter(rowPlaces, frame.keys, table);
  Enter(colPlaces, frame.columns, table);
  std::vector<bool> isColumn(n, false);
  for (int d : columnDims)
    isColumn[static_cast<std::size_t>(d)] = true;

  table.ForEachCell([&](const int* at, std::size_t count, const OmCellText& cell) {
    std::size_t row = 0, col = 0;
    for (std::size_t d = 0; d < n; ++d) {
      const int s = d < count ? at[d] : 0;
      const auto& position = isColumn[d] ? colPlaces.position[d] : rowPlaces.position[d];
      if (s < 0 || static_cast<std::size_t>(s) >= position.size() ||
          position[static_cast<std::size_t>(s)] < 0)
        return; // a cell under no shown category
      const auto p = static_cast<std::size_t>(position[static_cast<std::size_t>(s)]);
      if (isColumn[d])
        col += p * colPlaces.stride[d];
      else
        row += p * rowPlaces.stride[d];
    }
    const std::size_t field = col * frame._rows + row;
    if (const auto* number = dynamic_cast<const OmNumber*>(&cell)) {
      if (number->Value() != kSysmis) frame._numbers[field] = number->Value();
      return;
    }
    std::string text = render::DisplayText(cell, codePage);
    if (!text.empty()) frame._texts.emplace(field, std::move(text));
  });
  return frame;
}

} // namespace omf::data
