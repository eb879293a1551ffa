#include <omf/mipool/MICellPoolingPattern.h>

#include <optional>

#include <omf/lookups/PoolingLookups.h>
#include <omf/mipool/MIPooling.h>

namespace omf {

using namespace omf::mipool;

namespace {

int PathIn(const std::string& path, const OmDimension& dimension) {
  return path.empty() ? -1 : FindCategoryByPath(path, dimension);
}

// Rubin pooling of one statistic and its companions, named in the order estimate, standard error, test
// statistic, df, significance, confidence interval, at every position of the other dimensions.
bool PoolStatistic(MIContext& ctx, int stats, const std::array<std::string, 6>& names, bool showDiagnostics) {
  OmPivotTable& table = ctx.table;
  const OmDimension& dimension = table.Dimension(stats);
  const int estimate = PathIn(names[0], dimension);
  if (estimate == -1) return false;
  RubinPlaces places;
  places.estimate = Place(stats, estimate);
  places.stdError = Place(stats, PathIn(names[1], dimension));
  places.test = Place(stats, PathIn(names[2], dimension));
  places.df = Place(stats, PathIn(names[3], dimension));
  places.significance = Place(stats, PathIn(names[4], dimension));
  if (!names[5].empty()) {
    int second = -1, first = -1;
    if (FindConfidenceInterval(dimension, names[5], second, first, places.level)) {
      places.lower = Place(stats, first);
      places.upper = Place(stats, second);
    }
  }
  std::optional<std::vector<Place>> diagnostics;
  places.diagnostics = [&] {
    if (!diagnostics)
      diagnostics =
          std::vector<Place>{Place(stats, FindOrAddCategory(table, stats, kFractionMissingLabel)),
                             Place(stats, FindOrAddCategory(table, stats, kRelativeIncreaseLabel)),
                             Place(stats, FindOrAddCategory(table, stats, kRelativeEfficiencyLabel))};
    return *diagnostics;
  };
  std::vector<int> at(static_cast<std::size_t>(table.NDimensions()), 0);
  Combinations combinations(table, {stats, ctx.imputation});
  if (TooLargeToPool(ctx, combinations.Count())) return false;
  bool pooled = false;
  while (combinations.Next(at))
    pooled = PoolPosition(ctx, at, places, showDiagnostics) || pooled;
  return pooled;
}

} // namespace

OmMICellPoolingPattern::OmMICellPoolingPattern(const char* procedure, const char* table, Fields fields)
    : OmMIPattern(procedure, table), _statistics(fields.statistics), _excluded(fields.excluded),
      _fields(std::move(fields)) {}

bool OmMICellPoolingPattern::AppliesTo(OmPivotTable& table) const {
  return NamesTable(table) && (_fields.excluded.empty() || FindDimensionByLabel(table, _excluded) == -1) &&
         FindDimensionByLabel(table, _statistics) != -1 && FindImputationDimension(table) != -1;
}

bool OmMICellPoolingPattern::Pool(OmPivotTable& table, OmOutputTree*) const {
  MIContext ctx(table);
  const int stats = FindDimensionByLabel(table, _statistics);
  if (stats == -1 || !ctx.Open()) return false;
  const bool showDiagnostics = ShowDiagnostics();
  bool pooled = false;
  if (!_fields.pairEstimate.empty()) {
    // Filled element by element: g++ 12 destroys elements of a braced temporary array that were never
    // built when a copy in its initialiser throws (seen when an allocation fails), so no braced list here.
    std::array<std::string, 6> pair;
    pair[0] = _fields.pairEstimate;
    pair[1] = _fields.pairStdError;
    pooled = PoolStatistic(ctx, stats, pair, showDiagnostics) || pooled;
  }
  if (!_fields.rubin[0].empty()) pooled = PoolStatistic(ctx, stats, _fields.rubin, showDiagnostics) || pooled;
  for (const std::string& path : _fields.averaged)
    pooled = AveragePlace(ctx, Place(stats, PathIn(path, table.Dimension(stats))), {stats, ctx.imputation}) ||
             pooled;
  return pooled;
}

} // namespace omf
