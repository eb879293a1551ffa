#include <omf/builder/PivotFactory.h>

#include <iostream>

#include <omf/platform/error/ThrowError.h>

namespace omf {

struct OmPivotFactory::Impl {
  // Group under which categories of a dimension are added now, and its depth (0: the root).
  struct Position {
    OmDimensionNode* node;
    int level;
  };
  PuppetVector<short>* _axes[3];
  OmPivotTable& _table;
  std::vector<Position> _currentGroup;
  std::vector<int> _currentCategory;
  int _currentDimension = -1;
  int _cellDimension = -1;
  std::vector<int> _coordinates;

  explicit Impl(OmPivotTable& table)
      : _axes{&table.Rows(), &table.Columns(), &table.Layers()}, _table(table) {}

  void CheckDimension(int d, const char* what) const {
    if (d < 0 || d >= static_cast<int>(_currentGroup.size()))
      throw TableStateError(std::string(what) + ": dimension " + std::to_string(d) + " does not exist");
  }
  int Current(const char* what) const {
    if (_currentDimension < 0) throw TableStateError(std::string(what) + ": no current dimension");
    return _currentDimension;
  }
  OmCellText* CurrentCategoryLabel() const {
    const int d = _currentDimension;
    if (d < 0) return nullptr;
    const int c = _currentCategory[static_cast<std::size_t>(d)];
    if (c < 0) return nullptr;
    return &_currentGroup[static_cast<std::size_t>(d)].node->Child(static_cast<std::size_t>(c)).Label();
  }
  std::vector<int> CellAddress() const {
    std::vector<int> at = _coordinates;
    for (int& s : at)
      if (s < 0) s = 0;
    return at;
  }
  // The same in a vector kept for the next cell, so that storing a cell allocates nothing.
  const std::vector<int>& CellAddressKept() {
    _cellAt.assign(_coordinates.begin(), _coordinates.end());
    for (int& s : _cellAt)
      if (s < 0) s = 0;
    return _cellAt;
  }
  std::vector<int> _cellAt;
};

OmPivotFactory::OmPivotFactory(OmPivotTable& table) : _my(std::make_unique<Impl>(table)) {
  Restart();
}

OmPivotFactory::OmPivotFactory(OmPivotTable& table, const OmPivotFactory& earlier)
    : _my(std::make_unique<Impl>(table)) {
  const Impl& e = *earlier._my;
  _my->_currentCategory = e._currentCategory;
  _my->_currentDimension = e._currentDimension;
  _my->_cellDimension = e._cellDimension;
  _my->_coordinates = e._coordinates;
  for (std::size_t d = 0; d < e._currentGroup.size(); ++d) {
    OmDimensionNode* node = d < static_cast<std::size_t>(table.NDimensions())
                                ? table.Dimension(static_cast<int>(d)).Counterpart(e._currentGroup[d].node)
                                : nullptr;
    if (node == nullptr) throw TableStateError("the continued table lacks the dimensions of its template");
    _my->_currentGroup.push_back({node, e._currentGroup[d].level});
  }
  // Dimensions the new table has beyond the earlier builder's start at their roots.
  for (int d = static_cast<int>(_my->_currentGroup.size()); d < table.NDimensions(); ++d) {
    _my->_currentGroup.push_back({&table.Dimension(d).Root(), 0});
    _my->_currentCategory.push_back(-1);
    _my->_coordinates.push_back(0);
  }
}

OmPivotFactory::~OmPivotFactory() = default;

OmPivotTable& OmPivotFactory::Table() const {
  return _my->_table;
}

int OmPivotFactory::FindOrAddDimension(const OmCellText& label) {
  Impl& m = *_my;
  int d = m._table.FindDimension(label);
  if (d == -1) {
    d = m._table.AddDimension(label);
    m._currentGroup.push_back({&m._table.Dimension(d).Root(), 0});
    m._coordinates.push_back(0);
    m._currentCategory.push_back(-1);
    m._table.Rows().Insert(0, static_cast<short>(d)); // the newest dimension becomes the outermost row
  }
  m._currentDimension = d;
  return d;
}

void OmPivotFactory::AddCategory(int d, const OmCellText& label) {
  Impl& m = *_my;
  m.CheckDimension(d, "category");
  OmDimension& dim = m._table.Dimension(d);
  OmDimensionNode* parent = m._currentGroup[static_cast<std::size_t>(d)].node;
  int i = dim.FindChild(parent, label, false);
  if (i == -1) {
    i = static_cast<int>(parent->ChildCount());
    dim.Child(parent, label, dim.Size(), false);
  }
  m._currentCategory[static_cast<std::size_t>(d)] = i;
  m._coordinates[static_cast<std::size_t>(d)] = parent->Child(static_cast<std::size_t>(i)).Subscript();
}

void OmPivotFactory::AddGroup(int d, const OmCellText& label) {
  Impl& m = *_my;
  m.CheckDimension(d, "group");
  OmDimension& dim = m._table.Dimension(d);
  Impl::Position& at = m._currentGroup[static_cast<std::size_t>(d)];
  if (at.level >= kMaxGroupDepth)
    throw TableStateError("group: dimension " + std::to_string(d) + " would nest groups deeper than " +
                          std::to_string(kMaxGroupDepth) + " levels");
  const int i = dim.FindChild(at.node, label, true);
  OmDimensionNode* node = i != -1 ? &at.node->Child(static_cast<std::size_t>(i))
                                  : dim.Child(at.node, label, OmDimensionNode::kNoSubscript, true);
  at = {node, at.level + 1};
  m._coordinates[static_cast<std::size_t>(d)] = -1;
  m._currentCategory[static_cast<std::size_t>(d)] = -1;
}

void OmPivotFactory::EndGroup(int d) {
  Impl& m = *_my;
  m.CheckDimension(d, "end of group");
  m._currentDimension = d;
  Impl::Position& at = m._currentGroup[static_cast<std::size_t>(d)];
  if (at.level <= 0)
    throw TableStateError("end of group: dimension " + std::to_string(d) + " has no open group");
  at = {at.node->Parent(), at.level - 1};
  m._currentCategory[static_cast<std::size_t>(d)] = -1;
}

void OmPivotFactory::SetCellDimension(int d) {
  _my->_cellDimension = d;
}

int OmPivotFactory::CellDimension() const {
  if (_my->_cellDimension == -1) DumpState();
  return _my->_cellDimension;
}

void OmPivotFactory::SelectCellDimension() {
  _my->_currentDimension = _my->_cellDimension;
}

void OmPivotFactory::SetCell(const OmCellText& cell) {
  _my->_table.Cell(_my->CellAddressKept(), &cell);
}

void OmPivotFactory::SetNumber(double value, std::uint32_t format) {
  _my->_table.SetNumber(_my->CellAddressKept(), value, format);
}

void OmPivotFactory::AddMarker(const OmCellText& marker) {
  Impl& m = *_my;
  const std::vector<int> at = m.CellAddress();
  OmCellText* target = m._table.Cell(at);
  if (target == nullptr) {
    m._table.SetCell(at, OmCellTextPtr(new OmStringCell("", nullptr, false)));
    target = m._table.Cell(at);
  }
  target->addMarker(marker.AsString());
  m._table.setHasMarkers();
}

void OmPivotFactory::Annotate(int target, const OmFootnote& footnote) {
  Impl& m = *_my;
  OmCellText* text = nullptr;
  switch (target) {
  case 1:
    text = &m._table.TableTitle();
    break;
  case 2:
    text = &m._table.Dimension(m.Current("footnote on a dimension")).Label();
    break;
  case 3:
    text = &m._currentGroup[static_cast<std::size_t>(m.Current("footnote on a group"))].node->Label();
    break;
  case 4:
    text = m.CurrentCategoryLabel();
    if (text == nullptr) ThrowError::Simple("omerrors.err", 103);
    break;
  case 5: {
    const std::vector<int> at = m.CellAddress();
    text = m._table.Cell(at);
    if (text == nullptr) {
      m._table.SetCell(at, OmCellTextPtr(new OmStringCell("", nullptr, false)));
      text = m._table.Cell(at);
    }
    break;
  }
  case 6:
    m._table.Caption(footnote.text.get());
    return;
  case 7:
    text = m._table.Caption();
    if (text == nullptr) throw TableStateError("footnote on the caption: the table has no caption");
    break;
  default:
    return;
  }
  text->Footnote(m._table.Footnote(footnote, false));
}

void OmPivotFactory::SetCategoryBold() {
  OmCellText* label = _my->CurrentCategoryLabel();
  if (label == nullptr) ThrowError::Simple("omerrors.err", 103);
  label->setTextBold(true);
}

void OmPivotFactory::SetCategoryTextColor(const std::string& colour) {
  OmCellText* label = _my->CurrentCategoryLabel();
  if (label == nullptr) ThrowError::Simple("omerrors.err", 103);
  label->setTextColor(colour);
}

void OmPivotFactory::SetCategoryBackgroundColor(const std::string& colour) {
  OmCellText* label = _my->CurrentCategoryLabel();
  if (label == nullptr) ThrowError::Simple("omerrors.err", 103);
  label->setBackgroundColor(colour);
}

void OmPivotFactory::SetDimensionFlags(int d, bool first, bool second) {
  _my->CheckDimension(d, "dimension flags");
  OmDimensionNode& root = _my->_table.Dimension(d).Root();
  root.SetMark(first);
  root.SetSecondFlag(second);
}

void OmPivotFactory::SetDimensionSortMode(std::uint32_t mode) {
  const int d = _my->Current("sort mode of a dimension");
  _my->_table.Dimension(d).Root().SetSortMode(static_cast<std::int32_t>(mode));
}

void OmPivotFactory::SetGroupSortMode(std::uint32_t mode) {
  const int d = _my->Current("sort mode of a group");
  _my->_currentGroup[static_cast<std::size_t>(d)].node->SetSortMode(static_cast<std::int32_t>(mode));
}

void OmPivotFactory::MarkGroup() {
  const int d = _my->Current("mark of a group");
  _my->_currentGroup[static_cast<std::size_t>(d)].node->SetMark(true);
}

void OmPivotFactory::PlaceDimension(const OmCellText& label, int position, int axis, bool first,
                                    bool second) {
  if (axis < 0 || axis > 2)
    throw TableStateError("placement: axis " + std::to_string(axis) + " is not 0, 1 or 2");
  if (position < 1 || position > 0x7FFF)
    throw TableStateError("placement: position " + std::to_string(position) + " is out of range");
  const int d = FindOrAddDimension(label);
  const auto sd = static_cast<short>(d);
  for (PuppetVector<short>* list : _my->_axes)
    list->RemoveFirst(sd);
  PuppetVector<short>& list = *_my->_axes[axis];
  const auto p = static_cast<std::size_t>(position - 1);
  if (p < list.size() && list[p] != OmPivotTable::kEmptyPlace)
    list.Insert(p, sd);
  else
    list.Set(p, sd);
  SetDimensionFlags(d, first, second);
}

bool OmPivotFactory::Validate() const {
  const Impl& m = *_my;
  if (static_cast<int>(m._currentGroup.size()) > m._table.NDimensions()) return false;
  for (std::size_t d = 0; d < m._currentGroup.size(); ++d)
    if (m._currentGroup[d].node != &m._table.Dimension(static_cast<int>(d)).Root()) return false;
  return true;
}

void OmPivotFactory::EndTable() {
  _my->_table.EndTable();
}

void OmPivotFactory::Restart() {
  OmPivotTable& table = _my->_table;
  _my = std::make_unique<Impl>(table);
  for (int d = 0; d < table.NDimensions(); ++d) {
    _my->_currentGroup.push_back({&table.Dimension(d).Root(), 0});
    _my->_currentCategory.push_back(-1);
  }
  _my->_coordinates = table.SizeVector();
}

void OmPivotFactory::DumpState() const {
  std::cerr << "OmPivotFactory state on error:\n"
            << "\tTable Title: " << _my->_table.TableTitle().AsString() << "\n"
            << "\tCurrent Dimension: " << _my->_currentDimension << "\n"
            << std::endl;
}

const std::vector<int>& OmPivotFactory::Coordinates() const {
  return _my->_coordinates;
}
int OmPivotFactory::CurrentDimension() const {
  return _my->_currentDimension;
}

} // namespace omf
