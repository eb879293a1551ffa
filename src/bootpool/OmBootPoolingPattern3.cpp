#include <omf/bootpool/OmBootPoolingPattern3.h>

#include <cassert>

#include <omf/bootpool/BootCalculator.h>
#include <omf/bootpool/BootResultWriter.h>
#include <omf/bootpool/BootSampleCollector.h>
#include <omf/lookups/PoolingLookups.h>
#include <omf/platform/bootspec/SvrBootstrapSpecs.h>
#include <omf/platform/status/SystemMissing.h>

namespace omf {

using MCCommon::IsSystemMissing;
using MCCommon::kSystemMissing;

namespace {

constexpr double kNullValue = 0;
constexpr int kTwoTailed = 2;

void ClearFootnotes(OmCellText& text) {
  const std::vector<int> marks = text.Footnotes();
  for (int f : marks)
    text.RemoveFootnote(f);
}

void ClearFootnotes(OmDimensionNode& node) {
  ClearFootnotes(node.Label());
  for (std::size_t i = 0; i < node.ChildCount(); ++i)
    ClearFootnotes(node.Child(i));
}

// The list without the split dimension, later dimensions one index lower.
void CopyList(const PuppetVector<short>& from, PuppetVector<short>& to, int split) {
  to.SetFill(from.Fill());
  for (short d : from.Items()) {
    if (d == from.Fill()) {
      to.Items().push_back(d);
    } else if (d != split) {
      to.Items().push_back(static_cast<short>(d > split ? d - 1 : d));
    }
  }
}

} // namespace

bool OmBootPoolingPattern3::AppliesTo(const OmPivotTable& table) const {
  return OmBootPattern::AppliesTo(table) && table.FindDimension(OmStringCell(_statistics)) >= 0;
}

bool OmBootPoolingPattern3::Pool(OmPivotTable& table, NewParts& after, const SvrBootstrapSpecs& specs) const {
  const int statDim = table.FindDimension(OmStringCell(_statistics));
  assert(statDim >= 0 && "mStatDimNum >= 0");
  const int split = FindBootstrapDimension(table);
  if (!CheckUsable(table, split, specs)) return false;
  const std::vector<int> required = RequiredIndexes(table);
  for (const auto& [estimate, partner] : _stats) {
    const OmStringCell named(estimate, nullptr, true);
    const OmCellText& title =
        _stats.size() < 2 ? table.GetTableTitle() : static_cast<const OmCellText&>(named);
    if (auto made = PoolPair(table, statDim, split, required, title, estimate, partner, specs))
      after.push_back(std::move(made));
  }
  return false;
}

std::unique_ptr<OmPivotTable>
OmBootPoolingPattern3::PoolPair(OmPivotTable& table, int statDim, int split, const std::vector<int>& required,
                                const OmCellText& title, const std::string& estimate,
                                const std::string& partner, const SvrBootstrapSpecs& specs) const {
  const OmDimension& stats = table.Dimension(statDim);
  const int estimateAt = FindCategoryByPath(estimate, stats);
  const int partnerAt = partner.empty() ? -1 : FindCategoryByPath(partner, stats);
  const unsigned samples = specs.GetNSamples();
  if (estimateAt < 0 || samples < 1) return nullptr;

  OmComposite tableTitle(OmStringCell("Bootstrap for ^1", nullptr, true));
  tableTitle.Add(title);
  auto made = std::make_unique<OmPivotTable>(tableTitle, OmStringCell("Bootstrap", nullptr, false), true);
  OmPivotTable& boot = *made;
  boot.setBackendSettings(table.BackendSettingsShared());
  boot.SetTableTitle(tableTitle);
  boot.TableId(table.TableId() + kTableIdOffset);
  boot.TableLocale(table.TableLocale());
  boot.SetCodePage(table.CodePage());
  for (int d = 0; d < table.NDimensions(); ++d) {
    if (d == split) continue;
    if (d == statDim) {
      const int b = boot.AddDimension(OmStringCell("Bootstrap Statistics", nullptr, true));
      OmDimension& dim = boot.Dimension(b);
      dim.Root().SetMark(true);
      dim.Child(&dim.Root(), OmStringCell(estimate, nullptr, true), 0, false);
    } else {
      ClearFootnotes(boot.Dimension(boot.AddDimension(table.Dimension(d))).Root());
    }
  }
  CopyList(table.Rows(), boot.Rows(), split);
  CopyList(table.Columns(), boot.Columns(), split);
  CopyList(table.Layers(), boot.Layers(), split);

  const int resultDim = boot.FindDimension(OmStringCell("Bootstrap Statistics", nullptr, true));
  const bool bca = !specs.GetJackknifeCases().empty();
  BootResultWriter writer(boot, resultDim, OmStringCell("Bootstrap", nullptr, true),
                          BootSamplingCaption(specs.GetSamplingMethod()), samples, specs.GetCILevelPct(),
                          partnerAt >= 0, bca, false);
  BootSampleCollector collector(table, split, samples, specs.GetJackknifeSegmentEnds(), required,
                                {statDim, {estimateAt, partnerAt}});
  const bool fromT = partner == kTPartner;
  std::vector<int> cells;
  if (!collector.ObservedCells(statDim, estimateAt, cells)) CellsAt(table, split, statDim, estimateAt, cells);
  const auto dims = static_cast<std::size_t>(table.NDimensions());
  std::vector<int> at;
  std::vector<int> partnerIndex;
  std::vector<int> target;
  for (std::size_t first = 0; first + dims <= cells.size(); first += dims) {
    at.assign(cells.begin() + static_cast<std::ptrdiff_t>(first),
              cells.begin() + static_cast<std::ptrdiff_t>(first + dims));
    if (partnerAt >= 0) {
      partnerIndex = at;
      partnerIndex[static_cast<std::size_t>(statDim)] = partnerAt;
    }
    collector.Collect(at, partnerIndex);
    double observedStdError = collector.ObservedStdError();
    std::vector<double>& values = collector.Bootstrap();
    std::vector<double>& stdErrors = collector.BootstrapStdErrors();
    if (fromT) {
      const double t = observedStdError;
      observedStdError = IsSystemMissing(t) || t == 0 ? kSystemMissing : collector.Observed() / t;
      for (std::size_t i = 0; i < stdErrors.size(); ++i)
        stdErrors[i] =
            IsSystemMissing(values[i]) || stdErrors[i] == 0 ? kSystemMissing : values[i] / stdErrors[i];
    }
    const BootCalculator calc(collector.Observed(), observedStdError, values, stdErrors,
                              collector.Jackknife(), specs.GetJackknifeCases(), collector.JackknifeBegin(),
                              collector.JackknifeEnd());
    OmNumber scratch(0.0, 0);
    const OmCellText* source = table.Peek(at, scratch);
    if (source == nullptr) continue;
    target.clear();
    for (int d = 0; d < table.NDimensions(); ++d)
      if (d != split) target.push_back(d == statDim ? 0 : at[static_cast<std::size_t>(d)]);
    OmCellTextPtr copy = CloneText(*source);
    ClearFootnotes(*copy);
    boot.SetCell(target, std::move(copy));
    writer.WriteResults(target, calc.Bias(), calc.StandardError(), calc.Significance(kNullValue, kTwoTailed),
                        calc.ConfidenceInterval(specs.GetCILevelPct()), static_cast<unsigned>(values.size()),
                        collector.JackknifeEnd() != 0);
  }
  return made;
}

} // namespace omf
