#pragma once
// Reads the values of one cell across the bootstrap split dimension of a table: the observed value at
// split position 0, the bootstrap values at 1 to N and the jackknife values after those, with the
// standard errors of a partner cell.
#include <cstdint>
#include <map>
#include <unordered_map>
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

  // The observed sample's cells whose entry for `dim` is `entry`, in index order, one after the other
  // (NDimensions() entries each), when the collector can tell them without a walk over the table (false
  // otherwise).
  bool ObservedCells(int dim, int entry, std::vector<int>& out) const {
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
  void UpdateMask(const std::vector<int>& at);
  void BuildMasks();
  void FindJackknifeRange();

  const OmPivotTable& _table;
  std::size_t _splitDim;
  unsigned _samples;
  std::vector<unsigned> _segmentEnds;
  std::vector<int> _requiredDims;
  BootSampleTable _sampleTable;
  // The slots of the statistic's cell and of its partner at every split position, and the buffers they
  // are read into when the layout does not hold them in one stretch.
  const double* _row = nullptr;
  const double* _partnerRow = nullptr;
  std::vector<double> _rowBuffer, _partnerBuffer, _maskBuffer;
  std::vector<int> _index;
  // With required dimensions: whether bootstrap sample s counts for the current cell (entry s - 1).
  std::vector<std::uint8_t> _mask;
  // Laid out: the masks of every group of cells that agree outside those dimensions and hold an observed
  // cell, the group's first entry found by its key.
  bool _masksBuilt = false;
  std::unordered_map<std::uint64_t, std::size_t> _groups;
  std::vector<bool> _groupMasks;
  // Read cell by cell: the masks of the groups met so far, by a cell's index with the split and
  // required entries 0.
  std::map<std::vector<int>, std::vector<std::uint8_t>> _cellMasks;

  double _observed = 0;
  double _observedStdError = 0;
  std::vector<double> _bootstrap;
  std::vector<double> _jackknife;
  std::vector<double> _bootstrapStdErrors;
  unsigned _begin = 0;
  unsigned _end = 0;
};

} // namespace omf
