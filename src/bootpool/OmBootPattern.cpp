#include <omf/bootpool/OmBootPattern.h>

#include <algorithm>
#include <cassert>

#include <omf/lookups/PoolingLookups.h>
#include <omf/platform/bootspec/SvrBootstrapSpecs.h>

namespace omf {

OmBootPattern::OmBootPattern(const std::string& procedure, const std::string& table)
    : _procedure(procedure, nullptr, true), _table(table, nullptr, true) {}

OmBootPattern::~OmBootPattern() = default;

bool OmBootPattern::MatchesProcedure(const OmCellText& title) const {
  return title.Equals(_procedure);
}

bool OmBootPattern::AppliesTo(const OmPivotTable& table) const {
  if (!table.TemplateName().Equals(_table)) return false;
  if (FindBootstrapDimension(table) < 0) return false;
  return std::all_of(_required.begin(), _required.end(),
                     [&](const std::string& name) { return table.FindDimension(OmStringCell(name)) >= 0; });
}

std::vector<int> OmBootPattern::RequiredIndexes(const OmPivotTable& table) const {
  std::vector<int> dims;
  for (const std::string& name : _required) {
    const int dim = table.FindDimension(OmStringCell(name));
    assert(0 <= dim && "0 <= dim");
    dims.push_back(dim);
  }
  return dims;
}

bool OmBootPattern::CheckUsable(OmPivotTable& table, int splitDim, const SvrBootstrapSpecs& specs) {
  const auto expected =
      1 + static_cast<unsigned long long>(specs.GetNSamples()) + specs.GetJackknifeCases().size();
  if (splitDim >= 0 && static_cast<unsigned long long>(table.Size(splitDim)) == expected) return true;
  const int f = table.Footnote(
      OmFootnote(nullptr, OmStringCell("Not all bootstrap results available...", nullptr, true)), false);
  table.Title().Footnote(f);
  return false;
}

void OmBootPattern::PlacementLists(OmPivotTable& table, PuppetVector<short>*& first,
                                   PuppetVector<short>*& second) const {
  switch (placement) {
  case kRows:
    first = &table.Rows();
    second = &table.Columns();
    break;
  case kColumns:
    first = &table.Columns();
    second = &table.Rows();
    break;
  default:
    first = second = &table.Layers();
    break;
  }
}

void OmBootPattern::Rearrange(OmPivotTable& table, int keep) const {
  if (!rearrange || placement == kLayers) return;
  PuppetVector<short>* first = nullptr;
  PuppetVector<short>* second = nullptr;
  PlacementLists(table, first, second);
  std::vector<short> moved;
  std::vector<short> kept;
  for (short d : first->Items())
    (d != keep && d != first->Fill() ? moved : kept).push_back(d);
  first->Items() = kept;
  for (short d : moved)
    second->Insert(0, d);
}

void OmBootPattern::CellsAt(const OmPivotTable& table, int splitDim, int d, int at, std::vector<int>& out) {
  std::vector<std::vector<int>> cells;
  std::vector<int> index;
  for (auto it = table.FirstCell(); it; ++it) {
    it.At(index);
    index.resize(static_cast<std::size_t>(table.NDimensions()), 0);
    if (index[static_cast<std::size_t>(splitDim)] != 0 || index[static_cast<std::size_t>(d)] != at) continue;
    cells.push_back(index);
  }
  std::sort(cells.begin(), cells.end());
  out.clear();
  for (const std::vector<int>& cell : cells)
    out.insert(out.end(), cell.begin(), cell.end());
}

int OmBootPattern::AddSingleCategoryDimension(OmPivotTable& table, const std::string& name,
                                              const std::string& category) {
  const int d = table.AddDimension(OmStringCell(name, nullptr, true));
  OmDimension& dim = table.Dimension(d);
  dim.Child(&dim.Root(), OmStringCell(category, nullptr, true), 0, false);
  dim.Root().SetMark(true);
  return d;
}

} // namespace omf
