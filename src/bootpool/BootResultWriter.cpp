#include <omf/bootpool/BootResultWriter.h>

#include <cmath>

#include <omf/platform/status/SystemMissing.h>

namespace omf {

namespace {

// Sample counts: whole numbers.
constexpr std::uint32_t kCountFormat = MakeFormat(14, 5, 0);
// Results of a cell that is not a number itself.
constexpr std::uint32_t kResultFormat = MakeFormat(8, 5, 2);
constexpr std::uint32_t kSignificanceFormat = MakeFormat(5, 5, 3);

OmStringCell Label(const std::string& text) {
  return OmStringCell(text, nullptr, true);
}

// A level such as 90.5 shows its decimal, 95 shows none.
std::uint32_t LevelFormat(double levelPct) {
  return MakeFormat(5, 5, levelPct != std::floor(levelPct) ? 1 : 0);
}

OmComposite Composite(const std::string& templ, const OmCellText& argument) {
  OmComposite c(Label(templ));
  c.Add(argument);
  return c;
}

OmComposite Composite(const std::string& templ, const OmCellText& first, const OmCellText& second) {
  OmComposite c(Label(templ));
  c.Add(first);
  c.Add(second);
  return c;
}

// How many samples an interval at the level needs: with fewer, its tail probability falls before the
// first order statistic.
unsigned CoverageSampleCount(double levelPct) {
  const double count = std::floor(200 / (100 - levelPct) - 0.5);
  if (!(count >= 0)) return 0;
  return count >= 4294967295.0 ? 4294967295u : static_cast<unsigned>(count);
}

} // namespace

const std::string& BootSamplingCaption(int method) {
  static const std::string captions[] = {"bootstrap samples", "stratified bootstrap samples",
                                         "residual bootstrap samples", "wild bootstrap samples"};
  return method >= 1 && method <= 3 ? captions[method] : captions[0];
}

BootResultWriter::BootResultWriter(OmPivotTable& table, int resultDim, const OmCellText& groupLabel,
                                   const std::string& caption, unsigned samples, double levelPct,
                                   bool withSignificance, bool bca, bool significanceOnly)
    : _levelPct(levelPct), _table(table), _resultDim(resultDim), _samples(samples),
      _coverage(CoverageSampleCount(levelPct)), _withSignificance(withSignificance), _bca(bca),
      _significanceOnly(significanceOnly) {
  OmDimension& dim = table.Dimension(resultDim);
  const int n = dim.Size();
  if (significanceOnly) {
    _significance = n;
  } else {
    _bias = n;
    _stdError = n + 1;
    _lower = n + 2;
    _upper = n + 3;
    _significance = n + 4;
  }
  const OmComposite note = Composite("Unless otherwise noted, bootstrap results are based on ^1 ^2",
                                     OmNumber(samples, kCountFormat), Label(caption));
  const int f = table.Footnote(OmFootnote(nullptr, note), false);
  OmDimensionNode* group = dim.Child(&dim.Root(), groupLabel, -1, true);
  group->Label().Footnote(f);
  if (!significanceOnly) {
    dim.Child(group, Label("Bias"), _bias, false);
    dim.Child(group, Label("Std. Error"), _stdError, false);
  }
  if (withSignificance || significanceOnly) dim.Child(group, Label("Sig. (2-tailed)"), _significance, false);
  if (!significanceOnly) {
    const OmComposite intervalLabel =
        Composite(bca ? "BCa ^1% Confidence Interval" : "^1% Confidence Interval",
                  OmNumber(levelPct, LevelFormat(levelPct)));
    OmDimensionNode* interval = dim.Child(group, intervalLabel, -1, true);
    dim.Child(interval, Label("Lower"), _lower, false);
    dim.Child(interval, Label("Upper"), _upper, false);
  }
}

void BootResultWriter::Write(std::vector<int>& at, int category, double value, std::uint32_t format,
                             const std::vector<int>& footnotes) {
  at[static_cast<std::size_t>(_resultDim)] = category;
  auto number = OmCellTextPtr(new OmNumber(value, format));
  for (int f : footnotes)
    if (f >= 0) number->Footnote(f);
  _table.SetCell(at, std::move(number));
}

void BootResultWriter::WriteResults(std::vector<int> at, double bias, double stdError, double significance,
                                    std::pair<double, double> interval, unsigned validSamples,
                                    bool jackknifeComplete) {
  if (at.size() < static_cast<std::size_t>(_table.NDimensions()))
    at.resize(static_cast<std::size_t>(_table.NDimensions()), 0);
  int based = -1;
  if (validSamples < _samples)
    based = _table.Footnote(
        OmFootnote(nullptr, Composite("Based on ^1 samples", OmNumber(validSamples, kCountFormat))), false);
  if (!_significanceOnly) {
    int coverage = -1;
    if (MCCommon::IsSystemMissing(interval.first) && validSamples < _coverage)
      coverage = _table.Footnote(OmFootnote(nullptr, Composite("^1% coverage needs ^2 samples...",
                                                               OmNumber(_levelPct, LevelFormat(_levelPct)),
                                                               OmNumber(_coverage, kCountFormat))),
                                 false);
    std::uint32_t format = kResultFormat;
    OmNumber scratch(0.0, 0);
    if (const OmCellText* cell = _table.Peek(at, scratch);
        cell && cell->OrderCode() == OmCellText::kOrderNumber)
      format = static_cast<const OmNumber*>(cell)->Format();
    int jackknife = -1;
    if (_bca && !jackknifeComplete)
      jackknife =
          _table.Footnote(OmFootnote(nullptr, Label("Not all jackknife results available, so...")), false);
    Write(at, _bias, bias, format, {based});
    Write(at, _stdError, stdError, format, {based});
    Write(at, _lower, interval.first, format, {based, coverage, jackknife});
    Write(at, _upper, interval.second, format, {based, coverage});
  }
  if ((_withSignificance || _significanceOnly) && (significance >= 0 || _significanceOnly))
    Write(at, _significance, significance, kSignificanceFormat, {based});
}

} // namespace omf
