#include <omf/bootpool/OmBootPoolingPattern2.h>

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
  std::vector<std::vector<int>> observed;
  if (!pooler.ObservedCells(resultDim, resultCategory, observed))
    observed = CellsAt(table, split, resultDim, resultCategory);
  const auto stat = static_cast<std::size_t>(statDim);
  for (const std::string& name : _stats) {
    const OmDimensionNode* node =
        FindNode(table.Dimension(statDim).Root(), OmStringCell(name, nullptr, true));
    if (node == nullptr) continue;
    std::vector<int> leaves;
    Leaves(*node, leaves);
    for (int leaf : leaves)
      for (const std::vector<int>& at : observed)
        if (at[stat] == leaf) pooler.PoolCell(at, {}, false);
  }
  return false;
}

} // namespace omf
