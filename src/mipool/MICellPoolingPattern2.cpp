#include <omf/mipool/MICellPoolingPattern2.h>

#include <optional>

#include <omf/lookups/PoolingLookups.h>
#include <omf/mipool/MIPooling.h>

namespace omf {

using namespace omf::mipool;

namespace {

int PathIn(const std::string& path, const OmDimension& dimension) {
  return path.empty() ? -1 : FindCategoryByPath(path, dimension);
}

} // namespace

OmMICellPoolingPattern2::OmMICellPoolingPattern2(const char* procedure, const char* table, Fields fields)
    : OmMIPattern(procedure, table), _statistics(fields.statistics), _type(fields.type),
      _fields(std::move(fields)) {}

bool OmMICellPoolingPattern2::AppliesTo(OmPivotTable& table) const {
  return NamesTable(table);
}

bool OmMICellPoolingPattern2::Pool(OmPivotTable& table, OmOutputTree*) const {
  MIContext ctx(table);
  const int stats = FindDimensionByLabel(table, _statistics);
  const int type = FindDimensionByLabel(table, _type);
  if (stats == -1 || type == -1 || FindImputationDimension(table) == -1) return false;
  ctx.Open();
  const OmDimension& statsDimension = table.Dimension(stats);
  const OmDimension& typeDimension = table.Dimension(type);
  const auto locate = [&](const Location& l) {
    return Place(stats, PathIn(l.first, statsDimension), type, PathIn(l.second, typeDimension));
  };
  bool pooled = false;
  const int estimateStat = PathIn(_fields.estimate.first, statsDimension);
  const int estimateType = PathIn(_fields.estimate.second, typeDimension);
  if (estimateStat != -1 && estimateType != -1) {
    RubinPlaces places;
    places.estimate = Place(stats, estimateStat, type, estimateType);
    places.stdError = locate(_fields.stdError);
    // The diagnostics stand beside the estimate in the dimension that the estimate and its standard
    // error share a category of.
    const bool sharedStatistic = PathIn(_fields.stdError.first, statsDimension) == estimateStat;
    std::optional<std::vector<Place>> diagnostics;
    places.diagnostics = [&] {
      if (!diagnostics) {
        diagnostics.emplace();
        for (const char* label : {kFractionMissingLabel, kRelativeIncreaseLabel, kRelativeEfficiencyLabel})
          diagnostics->push_back(
              sharedStatistic ? Place(stats, FindOrAddCategory(table, stats, label), type, estimateType)
                              : Place(stats, estimateStat, type, FindOrAddCategory(table, type, label)));
      }
      return *diagnostics;
    };
    const bool showDiagnostics = ShowDiagnostics();
    std::vector<int> at(static_cast<std::size_t>(table.NDimensions()), 0);
    Combinations combinations(table, {stats, type, ctx.imputation});
    if (TooLargeToPool(ctx, combinations.Count())) return false;
    while (combinations.Next(at))
      pooled = PoolPosition(ctx, at, places, showDiagnostics) || pooled;
  }
  for (const Location& l : _fields.averaged)
    pooled = AveragePlace(ctx, locate(l), {stats, type, ctx.imputation}) || pooled;
  return pooled;
}

} // namespace omf
