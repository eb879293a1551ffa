#include <omf/mipool/MIPooling.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <omf/lookups/PoolingLookups.h>
#include <omf/platform/message/MessageHandler.h>

namespace omf {

namespace mipool {

bool ShowDiagnostics() {
  bool original = true, imputations = true, pooled = true, diagnostics = true;
  MiOutputSettings(&original, &imputations, &pooled, &diagnostics);
  return diagnostics;
}

bool MIContext::Open() {
  imputation = FindImputationDimension(table);
  if (imputation == -1) return false;
  original = FindOriginalDataCategory(table, imputation);
  pooled = FindOrAddPooledCategory(table, imputation);
  imputations.clear();
  for (int s = 0; s < table.Size(imputation); ++s)
    if (s != original && s != pooled) imputations.push_back(s);
  return true;
}

Combinations::Combinations(const OmPivotTable& table, const std::vector<int>& fixed) {
  for (int d = 0; d < table.NDimensions(); ++d) {
    bool held = false;
    for (int f : fixed)
      held = held || f == d;
    if (held) continue;
    _free.push_back(d);
    _sizes.push_back(table.Size(d));
  }
}

std::size_t Combinations::Count() const {
  std::size_t count = 1;
  for (int size : _sizes) {
    if (size <= 0) return 0;
    const auto n = static_cast<std::size_t>(size);
    count = count > std::numeric_limits<std::size_t>::max() / n ? std::numeric_limits<std::size_t>::max()
                                                                : count * n;
  }
  return count;
}

bool TooLargeToPool(MIContext& ctx, std::size_t positions) {
  const std::size_t imputations = std::max<std::size_t>(ctx.imputations.size(), 1);
  if (positions <= kMaxPoolingReads / imputations) return false;
  const int index =
      ctx.table.Footnote(OmFootnote(nullptr, OmStringCell(kTooLargeText, nullptr, true)), false);
  ctx.table.TableTitle().Footnote(index);
  return true;
}

bool Combinations::Next(std::vector<int>& at) {
  if (!_started) {
    _started = true;
    for (int size : _sizes)
      if (size <= 0) return false;
    for (int d : _free)
      at[static_cast<std::size_t>(d)] = 0;
    return true;
  }
  for (std::size_t i = _free.size(); i-- > 0;) {
    int& s = at[static_cast<std::size_t>(_free[i])];
    if (++s < _sizes[i]) return true;
    s = 0;
  }
  return false;
}

const OmNumber* NumberAt(const OmPivotTable& table, const std::vector<int>& at) {
  const OmCellText* cell = table.Cell(at);
  return cell && cell->OrderCode() == OmCellText::kOrderNumber ? static_cast<const OmNumber*>(cell) : nullptr;
}

OmNumber* StoreNumber(OmPivotTable& table, const std::vector<int>& at, double value, std::uint32_t format) {
  table.SetCell(at, OmCellTextPtr(new OmNumber(value, format)));
  return static_cast<OmNumber*>(table.Cell(at));
}

std::uint32_t WithDecimalForFraction(double value, std::uint32_t format) {
  if (value == std::floor(value) || FormatDecimals(format) != 0) return format;
  return (format & 0x00FFFFFFu) | (1u << 24);
}

long ErrorOf(const MCCommon::MCStatus& status) {
  return status.IsOK() ? 0 : status.GetErrorCode();
}

namespace {

// The format of the number at the place, or `otherwise` when there is none.
std::uint32_t FormatAt(const OmPivotTable& table, std::vector<int>& at, const Place& place,
                       std::uint32_t otherwise) {
  if (!place.Found()) return otherwise;
  place.Apply(at);
  const OmNumber* number = NumberAt(table, at);
  return number ? number->Format() : otherwise;
}

void Write(OmPivotTable& table, std::vector<int>& at, const Place& place, double value,
           std::uint32_t format) {
  place.Apply(at);
  StoreNumber(table, at, value, format);
}

} // namespace

bool PoolPosition(MIContext& ctx, std::vector<int> at, const RubinPlaces& p, bool showDiagnostics) {
  OmPivotTable& table = ctx.table;
  const auto imp = static_cast<std::size_t>(ctx.imputation);
  const bool withStdError = p.stdError.Found();
  Calculator calculator = NewCalculator();
  MPParamContainer params;
  params.fMode = withStdError ? MPParamContainer::kWithStdErrors : MPParamContainer::kEstimatesOnly;
  // Without a standard error the formats of test, df and significance stay 0.
  std::uint32_t estimateFormat = 0, stdErrorFormat = 0, testFormat = 0, dfFormat = 0, sigFormat = 0;
  bool added = false;
  long error = 0;
  for (int i : ctx.imputations) {
    at[imp] = i;
    p.estimate.Apply(at);
    const OmNumber* estimate = NumberAt(table, at);
    if (!estimate) continue;
    params.fParams.push_back(estimate->Value());
    estimateFormat = estimate->Format();
    if (withStdError) {
      p.stdError.Apply(at);
      const OmNumber* stdError = NumberAt(table, at);
      params.fStdErrors.push_back(stdError ? stdError->Value() : kSysmis);
      if (stdError) stdErrorFormat = stdError->Format();
      testFormat = FormatAt(table, at, p.test, testFormat);
      dfFormat = FormatAt(table, at, p.df, dfFormat);
      sigFormat = FormatAt(table, at, p.significance, sigFormat);
    }
    added = true;
    error = ErrorOf(calculator->AddImputation(params));
    if (error != 0) break;
  }
  if (!added) return false;
  if (error == 0) error = ErrorOf(calculator->Pool(params));
  at[imp] = ctx.pooled;
  if (error != 0) {
    p.estimate.Apply(at);
    AddPoolingErrorFootnote(table, at, error);
    return false;
  }

  Write(table, at, p.estimate, params.fParams.front(), estimateFormat);
  const bool pooledStdError = withStdError && !params.fPooledStdErrors.empty();
  if (pooledStdError) Write(table, at, p.stdError, params.fPooledStdErrors.front(), stdErrorFormat);
  if (showDiagnostics && pooledStdError) {
    std::vector<double> df, relIncrease, fraction, efficiency, significance;
    calculator->Diagnostics(df, relIncrease, fraction, efficiency, significance);
    const std::vector<Place> places = p.diagnostics();
    Write(table, at, places[0], fraction.front(), kDiagnosticsFormat);
    Write(table, at, places[1], relIncrease.front(), kDiagnosticsFormat);
    Write(table, at, places[2], efficiency.front(), kDiagnosticsFormat);
  }
  if (p.test.Found() && withStdError) {
    std::vector<double> statistic;
    if (calculator->TestStatistic(statistic, 0).IsOK())
      Write(table, at, p.test, statistic.front(), testFormat);
  }
  if (p.df.Found() || p.significance.Found()) {
    std::vector<double> df, statistic, significance;
    if (calculator->DfAndSignificance({0.0}, df, statistic, significance).IsOK()) {
      if (p.df.Found()) Write(table, at, p.df, df.front(), dfFormat);
      if (p.significance.Found()) {
        auto cell = OmCellTextPtr(new OmNumber(significance.front(), sigFormat));
        if (significance.front() == kSysmis && !params.fVariances.empty() && params.fVariances.front() == 0)
          AddCellFootnote(kNoVarianceText, table, *cell);
        p.significance.Apply(at);
        table.SetCell(at, std::move(cell));
      }
    }
  }
  if (p.lower.Found() && p.upper.Found()) {
    std::vector<double> lower, upper;
    calculator->ConfidenceInterval(lower, upper, p.level);
    Write(table, at, p.lower, lower.front(), estimateFormat);
    Write(table, at, p.upper, upper.front(), estimateFormat);
  }
  return true;
}

ImputationSum SumOverImputations(const MIContext& ctx, std::vector<int>& at) {
  ImputationSum total;
  for (int i : ctx.imputations) {
    at[static_cast<std::size_t>(ctx.imputation)] = i;
    const OmNumber* number = NumberAt(ctx.table, at);
    if (!number || number->Value() == kSysmis) continue;
    total.sum += number->Value();
    total.format = number->Format();
    total.found = true;
  }
  return total;
}

bool AveragePlace(MIContext& ctx, const Place& place, const std::vector<int>& fixed) {
  if (!place.Found()) return false;
  OmPivotTable& table = ctx.table;
  const int m = table.Size(ctx.imputation) - 1 - (ctx.original != -1 ? 1 : 0);
  if (m < 1) return false;
  const auto imp = static_cast<std::size_t>(ctx.imputation);
  std::vector<int> at(static_cast<std::size_t>(table.NDimensions()), 0);
  Combinations combinations(table, fixed);
  if (TooLargeToPool(ctx, combinations.Count())) return false;
  bool written = false;
  while (combinations.Next(at)) {
    place.Apply(at);
    const ImputationSum total = SumOverImputations(ctx, at);
    const double mean = total.found ? total.sum / m : kSysmis;
    at[imp] = ctx.pooled;
    StoreNumber(table, at, mean, total.found ? WithDecimalForFraction(mean, total.format) : total.format);
    written = true;
  }
  return written;
}

} // namespace mipool

} // namespace omf
