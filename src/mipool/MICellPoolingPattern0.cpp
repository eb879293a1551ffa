#include <omf/mipool/MICellPoolingPattern0.h>

#include <omf/lookups/PoolingLookups.h>
#include <omf/mipool/MIPooling.h>

namespace omf {

using namespace omf::mipool;

bool OmMICellPoolingPattern0::AppliesTo(OmPivotTable& table) const {
  return NamesTable(table) && FindImputationDimension(table) != -1;
}

bool OmMICellPoolingPattern0::Pool(OmPivotTable& table, OmOutputTree*) const {
  MIContext ctx(table);
  if (!ctx.Open()) return false;
  // Unlike the averaged statistics of the other cell patterns, the divisor k counts every imputation
  // visited, and whether a decimal is needed is judged from the sum.
  const auto k = static_cast<double>(ctx.imputations.size());
  if (ctx.imputations.empty()) return false;
  const auto imp = static_cast<std::size_t>(ctx.imputation);
  std::vector<int> at(static_cast<std::size_t>(table.NDimensions()), 0);
  Combinations combinations(table, {ctx.imputation});
  if (TooLargeToPool(ctx, combinations.Count())) return false;
  bool written = false;
  while (combinations.Next(at)) {
    const ImputationSum total = SumOverImputations(ctx, at);
    at[imp] = ctx.pooled;
    StoreNumber(table, at, total.found ? total.sum / k : kSysmis,
                WithDecimalForFraction(total.sum, total.format));
    written = true;
  }
  return written;
}

} // namespace omf
