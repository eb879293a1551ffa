#include <omf/mipool/MIColumnPoolingPattern.h>

#include <algorithm>
#include <cmath>

#include <omf/builder/DespookDimension.h>
#include <omf/lookups/PoolingLookups.h>
#include <omf/mipool/MIPooling.h>

namespace omf {

using namespace omf::mipool;

namespace {

constexpr const char* kTermsVaryText = "Models not pooled - terms vary...";
constexpr const char* kFTestText = "Significance computed using F distribution, not Chi-square.";
// The two degrees of freedom of the F test that replaces a Wald chi-square, shown as "df1, df2".
constexpr const char* kDfPairTemplate = "^1, ^2";
constexpr std::uint32_t kWholeDfFormat = MakeFormat(10, 5, 0);
constexpr std::uint32_t kFractionalDfFormat = MakeFormat(10, 5, 3);

// A statistic of the row: its category in the statistics dimension (-1 when unnamed or absent) and the
// format of the first number the table holds in that category.
struct Slot {
  int category = -1;
  std::uint32_t format = 0;
  bool Exists() const { return category != -1; }
};

// The table with the dimensions the pattern pools along, and the statistics of the row.
struct ColumnContext {
  explicit ColumnContext(OmPivotTable& t) : mi(t) {}
  MIContext mi;
  int stats = -1;
  int term = -1;
  int redundantFootnote = -1;
  Slot estimate, correlation, stdError, test, significance, wald, df, expB;
  Slot fraction, relIncrease, efficiency;
  Slot lower, upper, expBLower, expBUpper;
  double level = 0.95, expBLevel = 0.95;
  Slot key;
  bool keyIsCorrelation = false;
  std::vector<int> terms; // the term categories in display order

  OmPivotTable& Table() { return mi.table; }
  std::vector<int> At() const {
    return std::vector<int>(static_cast<std::size_t>(mi.table.NDimensions()), 0);
  }
};

std::uint32_t FirstFormat(const OmPivotTable& table, int stats, int category) {
  std::vector<int> at(static_cast<std::size_t>(table.NDimensions()), 0);
  at[static_cast<std::size_t>(stats)] = category;
  Combinations positions(table, {stats});
  while (positions.Next(at))
    if (const OmNumber* number = NumberAt(table, at)) return number->Format();
  return 0;
}

Slot MakeSlot(const OmPivotTable& table, int stats, const std::string& path) {
  Slot slot;
  if (path.empty()) return slot;
  slot.category = FindCategoryByPath(path, table.Dimension(stats));
  if (slot.Exists()) slot.format = FirstFormat(table, stats, slot.category);
  return slot;
}

// The cell at the address with the statistics, term and imputation subscripts replaced.
std::vector<int>& Address(ColumnContext& c, std::vector<int>& at, int category, int term, int imputation) {
  at[static_cast<std::size_t>(c.stats)] = category;
  at[static_cast<std::size_t>(c.term)] = term;
  at[static_cast<std::size_t>(c.mi.imputation)] = imputation;
  return at;
}

bool Present(const OmNumber* number) {
  return number && number->Value() != kSysmis;
}

bool WholeNumber(double value) {
  return value == std::floor(value);
}

OmNumber* Write(ColumnContext& c, std::vector<int>& at, const Slot& slot, int term, double value,
                std::uint32_t format) {
  return StoreNumber(c.Table(), Address(c, at, slot.category, term, c.mi.pooled), value, format);
}

} // namespace

OmMIColumnPoolingPattern::OmMIColumnPoolingPattern(const char* procedure, const char* table, Fields fields)
    : OmMIPattern(procedure, table), _statistics(fields.statistics), _term(fields.term),
      _fields(std::move(fields)) {}

bool OmMIColumnPoolingPattern::AppliesTo(OmPivotTable& table) const {
  return NamesTable(table);
}

bool OmMIColumnPoolingPattern::Pool(OmPivotTable& table, OmOutputTree*) const {
  ColumnContext c(table);
  c.stats = FindDimensionByLabel(table, _statistics);
  // The diagnostics categories join the statistics dimension of a multiply imputed table as soon as it is
  // there, whether or not anything is pooled or diagnostics are shown; they stay empty unless
  // diagnostics are written. A table of a single data set (no imputation dimension) stays as it is.
  const bool imputed = FindImputationDimension(table) != -1;
  if (c.stats != -1 && imputed) {
    c.fraction = {FindOrAddCategory(table, c.stats, kFractionMissingLabel), kDiagnosticsFormat};
    c.relIncrease = {FindOrAddCategory(table, c.stats, kRelativeIncreaseLabel), kDiagnosticsFormat};
    c.efficiency = {FindOrAddCategory(table, c.stats, kRelativeEfficiencyLabel), kDiagnosticsFormat};
  }
  c.term = FindDimensionByLabel(table, _term);
  if (c.stats == -1 || c.term == -1 || !imputed) return false;
  c.mi.Open();
  if (TooLargeToPool(c.mi, Combinations(table, {c.stats, c.mi.imputation}).Count())) return false;
  DespookDimension(table, c.term, c.stats);

  const Fields& f = _fields;
  c.estimate = MakeSlot(table, c.stats, f.estimate);
  c.correlation = MakeSlot(table, c.stats, f.correlation);
  c.stdError = MakeSlot(table, c.stats, f.stdError);
  c.test = MakeSlot(table, c.stats, f.test);
  c.significance = MakeSlot(table, c.stats, f.significance);
  c.wald = MakeSlot(table, c.stats, f.wald);
  c.df = MakeSlot(table, c.stats, f.df);
  c.expB = MakeSlot(table, c.stats, f.expB);
  if (!f.interval.empty() && FindConfidenceInterval(table.Dimension(c.stats), f.interval, c.upper.category,
                                                    c.lower.category, c.level))
    c.lower.format = c.upper.format = c.estimate.format;
  if (!f.expBInterval.empty() &&
      FindConfidenceInterval(table.Dimension(c.stats), f.expBInterval, c.expBUpper.category,
                             c.expBLower.category, c.expBLevel))
    c.expBLower.format = c.expBUpper.format = c.expB.format;
  if (!f.redundant.empty())
    c.redundantFootnote = FindFootnote(table, OmStringCell(f.redundant, nullptr, true));
  c.keyIsCorrelation = !c.estimate.Exists();
  c.key = c.keyIsCorrelation ? c.correlation : c.estimate;
  if (!c.key.Exists() || c.mi.imputations.empty()) return false;
  for (const OmDimensionNode* node : table.Dimension(c.term).Categories())
    c.terms.push_back(node->Subscript());

  const bool showDiagnostics = ShowDiagnostics();
  const int first = c.mi.imputations.front();
  bool termsVary = false;
  bool pooledAny = false;
  std::vector<int> at = c.At();
  Combinations models(table, {c.stats, c.term, c.mi.imputation});
  const std::size_t termCount = c.terms.size();
  // The key statistic of every term in every imputation, read once, imputation by imputation: the order
  // in which a back end writes the cells, which keeps the reads of a large table close together.
  std::vector<const OmNumber*> keys(c.mi.imputations.size() * termCount);
  while (models.Next(at)) {
    for (std::size_t i = 0; i < c.mi.imputations.size(); ++i)
      for (std::size_t j = 0; j < termCount; ++j)
        keys[i * termCount + j] =
            NumberAt(table, Address(c, at, c.key.category, c.terms[j], c.mi.imputations[i]));
    const auto key = [&](std::size_t i, std::size_t j) { return keys[i * termCount + j]; };

    // Every imputation must report the same terms.
    bool same = true;
    for (std::size_t j = 0; j < termCount && same; ++j)
      for (std::size_t i = 1; i < c.mi.imputations.size(); ++i)
        if (Present(key(i, j)) != Present(key(0, j))) same = false;
    if (!same) {
      termsVary = true;
      continue;
    }

    // The terms whose key statistic the first imputation reports, in term order.
    std::vector<int> termList;
    for (std::size_t j = 0; j < termCount; ++j)
      if (key(0, j)) termList.push_back(c.terms[j]);

    Calculator calculator = NewCalculator();
    std::vector<bool> notRedundant;
    bool haveFlags = false;
    long error = 0;
    for (std::size_t i = 0; i < c.mi.imputations.size(); ++i) {
      MPParamContainer params;
      params.fMode =
          c.stdError.Exists() ? MPParamContainer::kWithStdErrors : MPParamContainer::kEstimatesOnly;
      std::vector<bool> flags;
      for (std::size_t j = 0; j < termCount; ++j) {
        const OmNumber* estimate = key(i, j);
        if (!estimate) continue;
        params.fParams.push_back(estimate->Value());
        if (c.stdError.Exists()) {
          const OmNumber* se =
              NumberAt(table, Address(c, at, c.stdError.category, c.terms[j], c.mi.imputations[i]));
          params.fStdErrors.push_back(se ? se->Value() : kSysmis);
        }
        if (c.redundantFootnote != -1) {
          const auto& marks = estimate->Footnotes();
          flags.push_back(std::find(marks.begin(), marks.end(), c.redundantFootnote) == marks.end());
        }
      }
      if (params.fParams.empty()) continue;
      if (c.keyIsCorrelation) FisherZ(params.fParams);
      if (!haveFlags) {
        notRedundant = flags;
        haveFlags = true;
      }
      error = ErrorOf(calculator->AddImputation(params));
      if (error != 0) break;
    }
    if (!haveFlags) continue; // no imputation reports any term
    const auto redundant = [&](std::size_t j) { return j < notRedundant.size() && !notRedundant[j]; };

    MPParamContainer pooled;
    pooled.fMode = MPParamContainer::kWithStdErrors;
    if (error == 0) error = ErrorOf(calculator->Pool(pooled));
    if (error == 0 && pooled.fParams.size() != termList.size())
      error = omf::pooling::kMPParameterCountDiffers;
    if (error != 0) {
      for (int t : termList)
        AddPoolingErrorFootnote(table, Address(c, at, c.key.category, t, c.mi.pooled), error);
      continue;
    }
    pooledAny = true;
    const std::size_t n = termList.size();
    const std::vector<double>& estimates = pooled.fParams;
    const std::vector<double>& stdErrors = pooled.fPooledStdErrors;

    for (std::size_t j = 0; j < n; ++j) {
      if (c.estimate.Exists()) {
        const bool isZero = estimates[j] == 0;
        std::uint32_t format = c.estimate.format;
        if (redundant(j) && isZero) format &= 0x00FFFFFFu; // a redundant parameter's 0 shows no decimals
        OmNumber* cell = Write(c, at, c.estimate, termList[j], estimates[j], format);
        if (redundant(j)) AddCellFootnote(f.redundant, table, *cell);
      }
      if (c.stdError.Exists() && j < stdErrors.size())
        Write(c, at, c.stdError, termList[j], stdErrors[j], c.stdError.format);
    }
    if (c.correlation.Exists()) {
      std::vector<double> r = estimates;
      InverseFisherZ(r);
      for (std::size_t j = 0; j < n; ++j)
        Write(c, at, c.correlation, termList[j], r[j], c.correlation.format);
    }
    if (c.test.Exists() && stdErrors.size() == n) {
      for (std::size_t j = 0; j < n; ++j) {
        const double se = stdErrors[j];
        const double t = se == 0 || se == kSysmis ? kSysmis : estimates[j] / se;
        Write(c, at, c.test, termList[j], t, c.test.format);
      }
    }
    const bool expBInterval = c.expBLower.Exists() && c.expBUpper.Exists();
    if (c.expB.Exists() || expBInterval) {
      // An intercept reports no Exp(B): then the first term is left out.
      const Slot& probe = c.expB.Exists() ? c.expB : c.expBLower;
      const std::size_t from =
          n > 0 && !NumberAt(table, Address(c, at, probe.category, termList[0], first)) ? 1 : 0;
      std::vector<double> lower, upper;
      if (expBInterval) calculator->ConfidenceInterval(lower, upper, c.expBLevel);
      const auto expOf = [&](std::size_t j, double v) {
        return redundant(j) || v == kSysmis ? kSysmis : std::exp(v);
      };
      for (std::size_t j = from; j < n; ++j) {
        if (c.expB.Exists()) Write(c, at, c.expB, termList[j], expOf(j, estimates[j]), c.expB.format);
        if (expBInterval && j < lower.size()) {
          Write(c, at, c.expBLower, termList[j], expOf(j, lower[j]), c.expBLower.format);
          Write(c, at, c.expBUpper, termList[j], expOf(j, upper[j]), c.expBUpper.format);
        }
      }
    }
    if (showDiagnostics || c.significance.Exists()) {
      std::vector<double> df, relIncrease, fraction, efficiency, significance;
      calculator->Diagnostics(df, relIncrease, fraction, efficiency, significance);
      if (!f.wald.empty() && n > 0) {
        std::vector<double> fDf, statistic;
        calculator->DfAndSignificance(std::vector<double>(estimates.size(), 0.0), fDf, statistic,
                                      significance);
        for (std::size_t j = 0; j < n && j < fDf.size(); ++j) {
          if (c.df.Exists()) {
            const OmNumber* reported = NumberAt(table, Address(c, at, c.df.category, termList[j], first));
            const double numerator = reported ? reported->Value() : kSysmis;
            OmComposite pair{OmStringCell(kDfPairTemplate)};
            for (double v : {numerator, fDf[j]})
              pair.Add(OmNumber(v, WholeNumber(v) ? kWholeDfFormat : kFractionalDfFormat));
            pair.End();
            table.Cell(Address(c, at, c.df.category, termList[j], c.mi.pooled), &pair);
          }
          if (c.wald.Exists()) {
            OmNumber* cell = Write(c, at, c.wald, termList[j], statistic[j], c.wald.format);
            AddCellFootnote(kFTestText, table, *cell);
          }
        }
      }
      if (c.significance.Exists()) {
        for (std::size_t j = 0; j < n && j < significance.size(); ++j) {
          auto cell = OmCellTextPtr(new OmNumber(significance[j], c.significance.format));
          if (significance[j] == kSysmis && j < pooled.fVariances.size() && pooled.fVariances[j] == 0 &&
              !redundant(j))
            AddCellFootnote(kNoVarianceText, table, *cell);
          table.SetCell(Address(c, at, c.significance.category, termList[j], c.mi.pooled), std::move(cell));
        }
      }
      if (showDiagnostics) {
        for (std::size_t j = 0; j < n && j < fraction.size(); ++j) {
          Write(c, at, c.fraction, termList[j], fraction[j], kDiagnosticsFormat);
          Write(c, at, c.relIncrease, termList[j], relIncrease[j], kDiagnosticsFormat);
          Write(c, at, c.efficiency, termList[j], efficiency[j], kDiagnosticsFormat);
        }
      }
    }
    if (c.lower.Exists() && c.upper.Exists()) {
      std::vector<double> lower, upper;
      calculator->ConfidenceInterval(lower, upper, c.level);
      for (std::size_t j = 0; j < n && j < lower.size(); ++j) {
        Write(c, at, c.lower, termList[j], lower[j], c.lower.format);
        Write(c, at, c.upper, termList[j], upper[j], c.upper.format);
      }
    }
  }
  if (termsVary) {
    const int index = table.Footnote(OmFootnote(nullptr, OmStringCell(kTermsVaryText, nullptr, true)), false);
    table.TableTitle().Footnote(index);
  }
  return pooledAny;
}

} // namespace omf
