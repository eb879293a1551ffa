#include <omf/bootpool/BootSampleCollector.h>

#include <algorithm>

#include <omf/platform/status/SystemMissing.h>

namespace omf {

using MCCommon::IsSystemMissing;
using MCCommon::kSystemMissing;

namespace {

using Table = BootSampleTable;

bool Usable(double slot) {
  return Table::IsNumber(slot) && !IsSystemMissing(slot);
}

// Whether a sample's cell matches the observed sample's: both absent, or both present and, when both
// are numbers, missing in the one exactly when missing in the other.
bool Matches(double observed, double sample) {
  if (Table::IsAbsent(observed) != Table::IsAbsent(sample)) return false;
  if (Table::IsNumber(observed) && Table::IsNumber(sample))
    return IsSystemMissing(observed) == IsSystemMissing(sample);
  return true;
}

// The split positions the table is read at: the observed sample, the bootstrap samples and the
// jackknife samples, whose count is the end of the last segment.
int Slices(unsigned samples, const std::vector<unsigned>& segmentEnds) {
  const unsigned long long slices = 1ull + samples + (segmentEnds.empty() ? 0 : segmentEnds.back());
  return slices > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(slices);
}

} // namespace

BootSampleCollector::BootSampleCollector(const OmPivotTable& table, int splitDim, unsigned samples,
                                         std::vector<unsigned> segmentEnds, std::vector<int> requiredDims,
                                         BootSampleFilter only)
    : _table(table), _splitDim(static_cast<std::size_t>(splitDim)), _samples(samples),
      _segmentEnds(std::move(segmentEnds)), _requiredDims(std::move(requiredDims)),
      _sampleTable(table, splitDim, Slices(samples, _segmentEnds), std::move(only)) {
  _bootstrap.reserve(_samples);
  _jackknife.reserve(_segmentEnds.empty() ? 0 : _segmentEnds.back());
}

// Every group's mask in one walk over the rows: a group holds the cells that agree outside the required
// dimensions, so a walk per group, or per cell, would read the same rows again and again.
void BootSampleCollector::BuildMasks() {
  const std::size_t rows = _sampleTable.RowCount();
  for (std::size_t r = 0; r < rows; ++r)
    if (_sampleTable.HasObserved(r))
      _groups.try_emplace(_sampleTable.GroupKey(r, _requiredDims), _groups.size() * _samples);
  _groupMasks.assign(_groups.size() * _samples, true);
  for (std::size_t r = 0; r < rows; ++r) {
    const auto group = _groups.find(_sampleTable.GroupKey(r, _requiredDims));
    if (group == _groups.end()) continue;
    const std::size_t first = group->second;
    if (!_sampleTable.HasObserved(r)) {
      // No observed cell: every sample that has one does not match.
      _sampleTable.ForEachStoredSlot(r, [&](std::size_t s, double) {
        if (s >= 1 && s <= _samples) _groupMasks[first + s - 1] = false;
      });
      continue;
    }
    const double* slots = _sampleTable.Slots(static_cast<std::int64_t>(r), _maskBuffer);
    for (unsigned s = 1; s <= _samples; ++s)
      if (!Matches(slots[0], slots[s])) _groupMasks[first + s - 1] = false;
  }
  _masksBuilt = true;
}

void BootSampleCollector::UpdateMask(const std::vector<int>& at) {
  _mask.assign(_samples, 1);
  if (_sampleTable.LaidOut()) {
    if (!_masksBuilt) BuildMasks();
    const std::int64_t row = _sampleTable.RowAt(at);
    if (row < 0) return;
    const auto group = _groups.find(_sampleTable.GroupKey(static_cast<std::size_t>(row), _requiredDims));
    if (group == _groups.end()) return;
    for (unsigned s = 0; s < _samples; ++s)
      _mask[s] = _groupMasks[group->second + s] ? 1 : 0;
    return;
  }
  // Read cell by cell: cells that differ only in the required dimensions (and the split) share one mask.
  std::vector<int> key = at;
  key[_splitDim] = 0;
  for (int d : _requiredDims)
    key[static_cast<std::size_t>(d)] = 0;
  // Each group's mask is kept: cells of different groups may take turns.
  const auto known = _cellMasks.find(key);
  if (known != _cellMasks.end()) {
    _mask = known->second;
    return;
  }
  std::vector<int> sizes;
  for (int d : _requiredDims)
    sizes.push_back(_table.Size(d));
  const bool empty = std::any_of(sizes.begin(), sizes.end(), [](int size) { return size <= 0; });
  std::vector<int> digits(_requiredDims.size(), 0);
  std::vector<int> index = key;
  while (!empty) {
    for (std::size_t r = 0; r < _requiredDims.size(); ++r)
      index[static_cast<std::size_t>(_requiredDims[r])] = digits[r];
    const double* slots = _sampleTable.Slots(index, _maskBuffer);
    for (unsigned s = 1; s <= _samples; ++s)
      if (_mask[s - 1] && !Matches(slots[0], slots[s])) _mask[s - 1] = 0;
    std::size_t r = digits.size();
    while (r > 0 && ++digits[r - 1] == sizes[r - 1])
      digits[--r] = 0;
    if (r == 0) break;
  }
  _cellMasks.emplace(std::move(key), _mask);
}

// The first segment whose first jackknife sample has a cell; it is complete only when every sample of
// it has one.
void BootSampleCollector::FindJackknifeRange() {
  _begin = _end = 0;
  const std::size_t slices = _sampleTable.Slices();
  const auto present = [&](unsigned position) {
    const std::size_t s = _samples + 1 + static_cast<std::size_t>(position);
    return s < slices && !Table::IsAbsent(_row[s]);
  };
  unsigned begin = 0;
  for (unsigned end : _segmentEnds) {
    if (begin < end && present(begin)) {
      for (unsigned p = begin; p < end; ++p)
        if (!present(p)) return;
      _begin = begin;
      _end = end;
      return;
    }
    begin = end;
  }
}

bool BootSampleCollector::Collect(const std::vector<int>& at, const std::vector<int>& partner) {
  _bootstrap.clear();
  _bootstrapStdErrors.clear();
  _jackknife.clear();
  _begin = _end = 0;
  _observed = _observedStdError = kSystemMissing;
  const auto dims = static_cast<std::size_t>(_table.NDimensions());
  _index.assign(at.begin(), at.end());
  _index.resize(dims, 0);
  _row = _sampleTable.Slots(_index, _rowBuffer);
  if (!Table::IsNumber(_row[0])) return false;
  _observed = _row[0];
  const bool masked = !_requiredDims.empty();
  if (masked) {
    UpdateMask(_index);
    // The first mask reads every row, and the row's slots may since have left the sample table's cache.
    _row = _sampleTable.Slots(_index, _rowBuffer);
  }

  if (!partner.empty()) {
    _index.assign(partner.begin(), partner.end());
    _index.resize(dims, 0);
    _partnerRow = _sampleTable.Slots(_index, _partnerBuffer);
    if (Table::IsNumber(_partnerRow[0])) _observedStdError = _partnerRow[0];
  }

  for (unsigned s = 1; s <= _samples; ++s)
    if ((!masked || _mask[s - 1]) && Usable(_row[s])) _bootstrap.push_back(_row[s]);

  FindJackknifeRange();
  for (unsigned p = _begin; p < _end; ++p) {
    const double slot = _row[_samples + 1 + p];
    if (Usable(slot)) _jackknife.push_back(slot);
  }
  // A case without a usable value leaves the segment incomplete: no BCa interval from it.
  if (_jackknife.size() != _end - _begin) {
    _jackknife.clear();
    _begin = _end = 0;
  }

  if (!partner.empty()) {
    _bootstrapStdErrors.reserve(_bootstrap.size());
    for (unsigned s = 1; s <= _samples; ++s)
      if ((!masked || _mask[s - 1]) && Usable(_partnerRow[s])) _bootstrapStdErrors.push_back(_partnerRow[s]);
    if (_bootstrapStdErrors.size() != _bootstrap.size()) _bootstrapStdErrors.clear();
  }
  return true;
}

} // namespace omf
