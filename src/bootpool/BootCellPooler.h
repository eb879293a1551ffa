#pragma once
// Pools the cells of one statistic: collects each cell's samples, computes its bootstrap results and
// writes them through the statistic's result writer.
#include <vector>

#include <omf/bootpool/BootResultWriter.h>
#include <omf/bootpool/BootSampleCollector.h>
#include <omf/platform/bootspec/SvrBootstrapSpecs.h>

namespace omf {

class BootCellPooler {
public:
  // `only` names the cells that the pooled statistics and their partners stand in.
  BootCellPooler(const SvrBootstrapSpecs& specs, OmPivotTable& table, BootResultWriter& writer, int splitDim,
                 std::vector<int> requiredDims, BootSampleFilter only = {});

  // The statistic's cell at `at` (split entry 0) and its standard-error partner at `partner` (empty for
  // none). With zero fill, samples without a value count as 0 (a category that did not occur).
  void PoolCell(const std::vector<int>& at, const std::vector<int>& partner, bool zeroFill);

  // See BootSampleCollector::ObservedCells.
  bool ObservedCells(int dim, int entry, std::vector<int>& out) const {
    return _collector.ObservedCells(dim, entry, out);
  }

private:
  const std::vector<SvrJackknifeCase>& _cases;
  OmPivotTable& _table;
  BootResultWriter& _writer;
  BootSampleCollector _collector;
  double _levelPct;
  unsigned _samples;
};

} // namespace omf
