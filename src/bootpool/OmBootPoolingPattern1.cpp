#include <omf/bootpool/OmBootPoolingPattern1.h>

#include <cassert>

#include <omf/bootpool/BootCellPooler.h>
#include <omf/bootpool/BootResultWriter.h>
#include <omf/lookups/PoolingLookups.h>
#include <omf/platform/bootspec/SvrBootstrapSpecs.h>

namespace omf {

bool OmBootPoolingPattern1::AppliesTo(const OmPivotTable& table) const {
  if (!OmBootPattern::AppliesTo(table)) return false;
  return _excluded.empty() || table.FindDimension(OmStringCell(_excluded)) < 0;
}

bool OmBootPoolingPattern1::Pool(OmPivotTable& table, NewParts&, const SvrBootstrapSpecs& specs) const {
  const int split = FindBootstrapDimension(table);
  int statDim = table.FindDimension(OmStringCell(_statistics));
  const std::vector<int> required = RequiredIndexes(table);
  const bool bca = !specs.GetJackknifeCases().empty();
  const unsigned samples = specs.GetNSamples();
  if (!CheckUsable(table, split, specs)) return false;
  const std::string& caption = BootSamplingCaption(specs.GetSamplingMethod());
  if (statDim >= 0) {
    Rearrange(table, statDim);
  } else {
    // Tables of one statistic may come without the dimension; it is made for the results.
    assert(_stats.size() == 1 && "p.Statistics().size() == 1");
    statDim = AddSingleCategoryDimension(table, _statistics, _stats.front().first);
    PuppetVector<short>* first = nullptr;
    PuppetVector<short>* second = nullptr;
    PlacementLists(table, first, second);
    first->Insert(0, static_cast<short>(statDim));
    Rearrange(table, statDim);
  }

  // The observed cells of a statistic (one after the other) and one of them with its partner, reused.
  std::vector<int> cells, at, partner;
  for (const auto& [name, second] : _stats) {
    OmComposite label(OmStringCell(_groupLabel, nullptr, !_groupLabel.empty()));
    label.Add(OmStringCell(name, nullptr, true));
    BootResultWriter writer(table, statDim, label, caption, samples, specs.GetCILevelPct(), !second.empty(),
                            bca, significanceOnly);
    const OmDimension& dim = table.Dimension(statDim);
    const int position = FindCategoryByPath(name, dim);
    if (position < 0) continue;
    const bool zeroFill = second == kZeroFill;
    const int stdErrorPosition = zeroFill || second.empty() ? -1 : FindCategoryByPath(second, dim);
    if (samples < 1) continue;
    BootCellPooler pooler(specs, table, writer, split, required, {statDim, {position, stdErrorPosition}});
    if (!pooler.ObservedCells(statDim, position, cells)) CellsAt(table, split, statDim, position, cells);
    const auto dims = static_cast<std::size_t>(table.NDimensions());
    for (std::size_t first = 0; first + dims <= cells.size(); first += dims) {
      at.assign(cells.begin() + static_cast<std::ptrdiff_t>(first),
                cells.begin() + static_cast<std::ptrdiff_t>(first + dims));
      if (stdErrorPosition >= 0) {
        partner = at;
        partner[static_cast<std::size_t>(statDim)] = stdErrorPosition;
      }
      pooler.PoolCell(at, partner, zeroFill);
    }
  }
  return false;
}

} // namespace omf
