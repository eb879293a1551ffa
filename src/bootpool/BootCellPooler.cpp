#include <omf/bootpool/BootCellPooler.h>

#include <omf/bootpool/BootCalculator.h>

namespace omf {

namespace {
// The null value and alternative of the significance: two-tailed against 0.
constexpr double kNullValue = 0;
constexpr int kTwoTailed = 2;
} // namespace

BootCellPooler::BootCellPooler(const SvrBootstrapSpecs& specs, OmPivotTable& table, BootResultWriter& writer,
                               int splitDim, std::vector<int> requiredDims, BootSampleFilter only)
    : _cases(specs.GetJackknifeCases()), _table(table), _writer(writer),
      _collector(table, splitDim, specs.GetNSamples(), specs.GetJackknifeSegmentEnds(),
                 std::move(requiredDims), std::move(only)),
      _levelPct(specs.GetCILevelPct()), _samples(specs.GetNSamples()) {}

void BootCellPooler::PoolCell(const std::vector<int>& at, const std::vector<int>& partner, bool zeroFill) {
  OmNumber scratch(0.0, 0);
  const OmCellText* cell = _table.Peek(at, scratch);
  if (cell == nullptr || cell->OrderCode() != OmCellText::kOrderNumber) return;
  _collector.Collect(at, partner);
  std::vector<double>& values = _collector.Bootstrap();
  if (zeroFill && values.size() < _samples) values.resize(_samples, 0.0);
  std::vector<double>& stdErrors = _collector.BootstrapStdErrors();
  if (!stdErrors.empty() && stdErrors.size() != values.size()) stdErrors.clear();
  const BootCalculator calc(_collector.Observed(), _collector.ObservedStdError(), values, stdErrors,
                            _collector.Jackknife(), _cases, _collector.JackknifeBegin(),
                            _collector.JackknifeEnd());
  _writer.WriteResults(at, calc.Bias(), calc.StandardError(), calc.Significance(kNullValue, kTwoTailed),
                       calc.ConfidenceInterval(_levelPct), static_cast<unsigned>(values.size()),
                       _collector.JackknifeEnd() != 0);
}

} // namespace omf
