#include <omf/mipool/MICorrMatrixPoolingPattern.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include <omf/lookups/PoolingLookups.h>
#include <omf/mipool/MIPooling.h>

namespace omf {

using namespace omf::mipool;

namespace {

constexpr const char* kNeedsNText = "Corr siq requires N...";
constexpr std::uint32_t kSignificanceFormat = MakeFormat(40, 5, 3);
// Significance flags: "*" for the 0.05 level, "**" for the 0.01 level.
constexpr const char* kFlagMarkers[4] = {"*", "**", "*", "**"};

enum class Tail { kUnknown, kOne, kTwo };

// What the correlations of one matrix cell pool to.
struct PooledCorrelation {
  double r = kSysmis;
  double n = kSysmis;
  double significance = kSysmis; // two-tailed
  bool noVariance = true;
  long error = 0;
};

PooledCorrelation PoolCorrelations(const std::vector<double>& rs, const std::vector<double>& ns) {
  PooledCorrelation out;
  if (rs.empty()) return out;
  out.n = MeanOf(ns);
  if (std::all_of(rs.begin(), rs.end(), [](double r) { return r == 1.0; })) {
    out.r = 1.0;
    return out;
  }
  // A perfect correlation in some imputations only has no finite z: nothing to pool.
  if (std::any_of(rs.begin(), rs.end(), [](double r) { return r == 1.0 || r == -1.0; })) return out;
  const bool nUsable = !ns.empty() && *std::min_element(ns.begin(), ns.end()) > 3;
  Calculator calculator = NewCalculator();
  for (std::size_t i = 0; i < rs.size(); ++i) {
    MPParamContainer params;
    params.fParams = {rs[i]};
    FisherZ(params.fParams);
    if (nUsable) params.fStdErrors = {1 / std::sqrt(ns[i] - 3)};
    params.fMode = nUsable ? MPParamContainer::kWithStdErrors : MPParamContainer::kEstimatesOnly;
    if ((out.error = ErrorOf(calculator->AddImputation(params))) != 0) return out;
  }
  MPParamContainer pooled;
  if ((out.error = ErrorOf(calculator->Pool(pooled))) != 0) return out;
  std::vector<double> r = {pooled.fParams.front()};
  InverseFisherZ(r);
  out.r = r.front();
  if (nUsable) {
    std::vector<double> df, statistic, significance;
    if (calculator->DfAndSignificance({0.0}, df, statistic, significance).IsOK())
      out.significance = significance.front();
    if (pooled.fVariances.front() != 0) out.noVariance = false;
  }
  return out;
}

} // namespace

// ---- the listwise N of footnotes -----------------------------------------------------------------------

void OmMICorrMatrixPoolingPattern::CountFootnoteScraper::Visit(OmComposite& composite) {
  composite.Template().Accept(*this);
  VisitNodes(composite.Arguments());
}

void OmMICorrMatrixPoolingPattern::CountFootnoteScraper::VisitNodes(std::vector<OmComposite::Node>& nodes) {
  for (OmComposite::Node& node : nodes) {
    if (node.text) node.text->Accept(*this);
    VisitNodes(node.children);
  }
}

void OmMICorrMatrixPoolingPattern::CountFootnoteScraper::Visit(OmVariable& variable) {
  if (const int d = _table.FindDimension(variable); d != -1) dimensions.push_back(d);
}

void OmMICorrMatrixPoolingPattern::CountFootnoteScraper::Value(const OmCellText& value) {
  // A value names a category of the variable just before it, once that variable has been found.
  if (dimensions.size() != categories.size() + 1) return;
  const OmDimension& dimension = _table.Dimension(dimensions.back());
  const int child = dimension.FindChild(&dimension.Root(), value, false);
  if (child != -1) categories.push_back(dimension.Root().Child(static_cast<std::size_t>(child)).Subscript());
}

OmMICorrMatrixPoolingPattern::ListwiseCounts
OmMICorrMatrixPoolingPattern::ReadListwiseCounts(const OmPivotTable& table) const {
  ListwiseCounts out;
  if (_fields.listwiseFormat.empty()) return out;
  const OmStringCell format(_fields.listwiseFormat);
  bool first = true;
  for (const OmFootnote& footnote : table.Footnotes()) {
    if (!footnote.text || footnote.text->OrderCode() != OmCellText::kOrderComposite) continue;
    auto& composite = static_cast<OmComposite&>(*footnote.text);
    if (!composite.Template().Equals(format)) continue;
    CountFootnoteScraper scraper(table);
    composite.Accept(scraper);
    if (first) {
      out.dimensions = scraper.dimensions;
      first = false;
    } else if (scraper.dimensions != out.dimensions) {
      continue;
    }
    out.counts[scraper.categories] = scraper.count;
  }
  return out;
}

// ---- pooling ---------------------------------------------------------------------------------------------

OmMICorrMatrixPoolingPattern::OmMICorrMatrixPoolingPattern(const char* procedure, const char* table,
                                                           Fields fields)
    : OmMIPattern(procedure, table), _statistics(fields.statistics), _fields(std::move(fields)) {}

bool OmMICorrMatrixPoolingPattern::AppliesTo(OmPivotTable& table) const {
  return NamesTable(table) && FindDimensionByLabel(table, _statistics) != -1 &&
         FindImputationDimension(table) != -1;
}

bool OmMICorrMatrixPoolingPattern::Pool(OmPivotTable& table, OmOutputTree*) const {
  const Fields& f = _fields;
  const int stats = FindDimensionByLabel(table, _statistics);
  MIContext ctx(table);
  if (stats == -1 || FindImputationDimension(table) == -1 || f.correlation.empty()) return false;
  ctx.Open();
  // The flag footnotes are added even when their texts are empty, so that their indexes are fixed.
  int flagFootnotes[4];
  for (int k = 0; k < 4; ++k) {
    const OmStringCell marker(kFlagMarkers[k]);
    const OmStringCell text(f.flags[static_cast<std::size_t>(k)], nullptr, true);
    flagFootnotes[k] = table.Footnote(OmFootnote(nullptr, text, &marker), false);
  }
  const OmDimension& dimension = table.Dimension(stats);
  const auto path = [&](const std::string& p) { return p.empty() ? -1 : FindCategoryByPath(p, dimension); };
  const int correlation = path(f.correlation);
  const int nCategory = path(f.n);
  const int oneTailed = path(f.oneTailed);
  const int twoTailed = path(f.twoTailed);
  if (correlation == -1) return false;
  const ListwiseCounts listwise = nCategory == -1 ? ReadListwiseCounts(table) : ListwiseCounts{};

  const auto s = static_cast<std::size_t>(stats);
  const auto imp = static_cast<std::size_t>(ctx.imputation);
  std::vector<int> at(static_cast<std::size_t>(table.NDimensions()), 0);
  std::vector<double> rs, ns;
  std::vector<int> key;
  Combinations cells(table, {stats, ctx.imputation});
  if (TooLargeToPool(ctx, cells.Count())) return false;
  while (cells.Next(at)) {
    rs.clear();
    ns.clear();
    std::uint32_t rFormat = 0, nFormat = 0;
    Tail tail = Tail::kUnknown;
    for (int i : ctx.imputations) {
      at[imp] = i;
      at[s] = correlation;
      const OmNumber* r = NumberAt(table, at);
      if (!r) continue;
      rs.push_back(r->Value());
      rFormat = r->Format();
      for (int mark : r->Footnotes()) {
        if (tail != Tail::kUnknown || mark < 0 ||
            static_cast<std::size_t>(mark) >= std::as_const(table).Footnotes().size())
          break;
        const OmFootnote& footnote = std::as_const(table).Footnotes()[static_cast<std::size_t>(mark)];
        if (!footnote.marker || !footnote.text) continue;
        const std::string marker = footnote.marker->AsString();
        const std::string text = footnote.text->AsString();
        if ((marker == "*" && text == f.flags[0]) || (marker == "**" && text == f.flags[1]))
          tail = Tail::kOne;
        else if ((marker == "*" && text == f.flags[2]) || (marker == "**" && text == f.flags[3]))
          tail = Tail::kTwo;
      }
      // Once an imputation lacks N, the cell has none.
      if (ns.size() + 1 != rs.size()) continue;
      if (nCategory != -1) {
        at[s] = nCategory;
        const OmNumber* n = NumberAt(table, at);
        if (n) {
          ns.push_back(n->Value());
          nFormat = n->Format();
        } else {
          ns.clear();
        }
      } else {
        key.clear();
        for (int d : listwise.dimensions)
          key.push_back(at[static_cast<std::size_t>(d)]);
        const auto found = listwise.counts.find(key);
        if (found == listwise.counts.end() || found->second == kSysmis)
          ns.clear();
        else
          ns.push_back(found->second);
      }
    }
    const PooledCorrelation pooled = PoolCorrelations(rs, ns);
    at[imp] = ctx.pooled;
    if (pooled.error != 0) {
      at[s] = correlation;
      AddPoolingErrorFootnote(table, at, pooled.error);
      continue;
    }
    if (rs.empty()) continue;
    if (nCategory != -1) {
      at[s] = nCategory;
      StoreNumber(table, at, ns.empty() ? kSysmis : MeanOf(ns), nFormat);
    }
    const double p = pooled.significance;
    const bool diagonal = pooled.r == 1.0 && pooled.noVariance;
    if (!diagonal && (oneTailed != -1 || twoTailed != -1)) {
      at[s] = oneTailed != -1 ? oneTailed : twoTailed;
      OmNumber* cell =
          StoreNumber(table, at, oneTailed != -1 && p != kSysmis ? p / 2 : p, kSignificanceFormat);
      if (ns.empty())
        AddCellFootnote(kNeedsNText, table, *cell);
      else if (pooled.noVariance && p == kSysmis)
        AddCellFootnote(kNoVarianceText, table, *cell);
    }
    at[s] = correlation;
    OmNumber* cell = StoreNumber(table, at, pooled.r, rFormat);
    if (p >= 0 && p <= 0.1) {
      int flag = -1;
      if (tail == Tail::kOne)
        flag = p <= 0.02 ? 1 : 0;
      else if (tail == Tail::kTwo)
        flag = p <= 0.01 ? 3 : (p <= 0.05 ? 2 : -1);
      if (flag != -1) cell->Footnote(flagFootnotes[flag]);
    }
  }
  return false;
}

} // namespace omf
