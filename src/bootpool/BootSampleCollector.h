#pragma once
// Reads the values of one cell across the bootstrap split dimension of a table: the observed value at
// split position 0, the bootstrap values at 1 to N and the jackknife values after those, with the
// standard errors of a partner cell.
#include <cstdint>
#include <vector>

#include <omf/bootpool/BootSampleTable.h>
#include <omf/model/PivotTable.h>

namespace omf {

class BootSampleCollector {
public:
  // `segmentEnds` are the ends of the jackknife segments, counted in jackknife positions (position p
  // stands at split position N + 1 + p). With required dimensions, a sample counts for a cell only
  // when it has, across every category of those dimensions, the cells that the observed sample has.
  // Only the cells that `only` names are read (the statistic's category and its partner's).
  BootSampleCollector(const OmPivotTable& table, int splitDim, unsigned samples,
                      std::vector<unsigned> segmentEnds, std::vector<int> requiredDims,
                      BootSampleFilter only = {});

  // Collects for the statistic at `at` (split entry 0) and its standard-error partner at `partner`
  // (empty for none). False when the observed cell is not a number; the lists are empty then.
  bool Collect(const std::vector<int>& at, const std::vector<int>& partner);

  // The observed sample's cells whose entry for `dim` is `entry`, in index order, when the collector
  // can tell them without a walk over the table (false otherwise).
  bool ObservedCells(int dim, int entry, std::vector<std::vector<int>>& out) const {
    return _sampleTable.ObservedCells(dim, entry, out);
  }

  double Observed() const { return _observed; }
  double ObservedStdError() const { return _observedStdError; }
  std::vector<double>& Bootstrap() { return _bootstrap; }
  std::vector<double>& BootstrapStdErrors() { return _bootstrapStdErrors; }
  const std::vector<double>& Jackknife() const { return _jackknife; }
  // The jackknife cases the values belong to, [begin, end); both 0 when no segment was complete.
  unsigned JackknifeBegin() const { return _begin; }
  unsigned JackknifeEnd() const { return _end; }

private:
  using Slot = BootSampleTable::Slot;
  void UpdateMask(const std::vector<int>& at);
  void FindJackknifeRange();

  const OmPivotTable& _table;
  std::size_t _splitDim;
  unsigned _samples;
  std::vector<unsigned> _segmentEnds;
  std::vector<int> _requiredDims;
  BootSampleTable _sampleTable;
  // The slots of the statistic's cell, of its partner and of a cell the mask compares, at every split
  // position.
  std::vector<Slot> _row, _partnerRow, _observedRow, _sampleRow;
  // Bit s - 1 for split position s: whether that bootstrap sample counts for the current cell. With
  // required dimensions it holds for every cell that agrees with _maskKey outside them.
  std::vector<bool> _mask;
  std::vector<int> _maskKey;
  bool _maskValid = false;

  double _observed = 0;
  double _observedStdError = 0;
  std::vector<double> _bootstrap;
  std::vector<double> _jackknife;
  std::vector<double> _bootstrapStdErrors;
  unsigned _begin = 0;
  unsigned _end = 0;
};

} // namespace omf
