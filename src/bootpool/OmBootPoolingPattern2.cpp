#include <omf/bootpool/OmBootPoolingPattern2.h>

#include <algorithm>

#include <omf/bootpool/BootCellPooler.h>
#include <omf/bootpool/BootResultWriter.h>
#include <omf/lookups/PoolingLookups.h>
#include <omf/platform/bootspec/SvrBootstrapSpecs.h>

namespace omf {

namespace {

// The first node below `node`, a node before its children, groups included, whose label equals the
// text.
const OmDimensionNode* FindNode(const OmDimensionNode& node, const OmCellText& label) {
  for (std::size_t i = 0; i < node.ChildCount(); ++i) {
    const OmDimensionNode& child = node.Child(i);
    if (child.Label().Equals(label)) return &child;
    if (child.IsGroup())
      if (const OmDimensionNode* found = FindNode(child, label)) return found;
  }
  return nullptr;
}

// The categories of a node: itself, or every category below it, in display order.
void Leaves(const OmDimensionNode& node, std::vector<int>& out) {
  if (!node.IsGroup()) {
    out.push_back(node.Subscript());
    return;
  }
  for (std::size_t i = 0; i < node.ChildCount(); ++i)
    Leaves(node.Child(i), out);
}

} // namespace

bool OmBootPoolingPattern2::AppliesTo(const OmPivotTable& table) const {
  return OmBootPattern::AppliesTo(table) && table.FindDimension(OmStringCell(_statistics)) >= 0;
}

bool OmBootPoolingPattern2::Pool(OmPivotTable& table, NewParts&, const SvrBootstrapSpecs& specs) const {
  const int statDim = table.FindDimension(OmStringCell(_statistics));
  int resultDim = table.FindDimension(OmStringCell(_result));
  const int split = FindBootstrapDimension(table);
  const std::vector<int> required = RequiredIndexes(table);
  const unsigned samples = specs.GetNSamples();
  if (!CheckUsable(table, split, specs)) return false;
  if (resultDim < 0) {
    resultDim = AddSingleCategoryDimension(table, _result, _resultCategory);
    table.Columns().Items().push_back(static_cast<short>(resultDim));
  }
  Rearrange(table, resultDim);

  BootResultWriter writer(table, resultDim, OmStringCell("Bootstrap", nullptr, true),
                          BootSamplingCaption(specs.GetSamplingMethod()), samples, specs.GetCILevelPct(),
                          false, !specs.GetJackknifeCases().empty(), false);
  if (statDim < 0 || samples < 1) return false;
  const int resultCategory = FindCategoryByPath(_resultCategory, table.Dimension(resultDim));
  if (resultCategory < 0) return false;
  BootCellPooler pooler(specs, table, writer, split, required, {resultDim, {resultCategory}});
  std::vector<int> observed;
  if (!pooler.ObservedCells(resultDim, resultCategory, observed))
    CellsAt(table, split, resultDim, resultCategory, observed);
  // The observed cells by their statistics entry, each entry's in index order, so that every statistic
  // finds its cells without a scan of all of them.
  const auto stat = static_cast<std::size_t>(statDim);
  const auto dims = static_cast<std::size_t>(table.NDimensions());
  const auto entries = static_cast<std::size_t>(std::max(table.Size(statDim), 0));
  const auto entryOf = [&](std::size_t first) {
    const int e = observed[first + stat];
    return e >= 0 && static_cast<std::size_t>(e) < entries ? static_cast<std::size_t>(e) : entries;
  };
  std::vector<std::size_t> start(entries + 2, 0);
  for (std::size_t first = 0; first + dims <= observed.size(); first += dims)
    ++start[entryOf(first) + 1];
  // Entries outside the dimension's subscripts gather after the last one, where no statistic looks.
  for (std::size_t e = 0; e <= entries; ++e)
    start[e + 1] += start[e];
  std::vector<std::size_t> byEntry(start.back());
  std::vector<std::size_t> next(start.begin(), start.end() - 1);
  for (std::size_t first = 0; first + dims <= observed.size(); first += dims)
    byEntry[next[entryOf(first)]++] = first;
  std::vector<int> at;
  std::vector<int> leaves;
  for (const std::string& name : _stats) {
    const OmDimensionNode* node =
        FindNode(table.Dimension(statDim).Root(), OmStringCell(name, nullptr, true));
    if (node == nullptr) continue;
    leaves.clear();
    Leaves(*node, leaves);
    for (int leaf : leaves) {
      if (leaf < 0 || static_cast<std::size_t>(leaf) >= entries) continue;
      for (std::size_t i = start[static_cast<std::size_t>(leaf)];
           i < start[static_cast<std::size_t>(leaf) + 1]; ++i) {
        const auto first = static_cast<std::ptrdiff_t>(byEntry[i]);
        at.assign(observed.begin() + first, observed.begin() + first + static_cast<std::ptrdiff_t>(dims));
        pooler.PoolCell(at, {}, false);
      }
    }
  }
  return false;
}

} // namespace omf
