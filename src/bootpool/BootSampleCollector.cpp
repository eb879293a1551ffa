#include <omf/bootpool/BootSampleCollector.h>

#include <omf/platform/status/SystemMissing.h>

namespace omf {

using MCCommon::IsSystemMissing;
using MCCommon::kSystemMissing;

namespace {

bool Usable(const BootSampleTable::Slot& slot) {
  return slot.kind == BootSampleTable::Slot::kNumber && !IsSystemMissing(slot.value);
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
      _sampleTable(table, splitDim, Slices(samples, _segmentEnds), std::move(only)) {}

void BootSampleCollector::UpdateMask(const std::vector<int>& at) {
  if (_requiredDims.empty()) {
    _mask.assign(_samples, false);
    for (unsigned s = 1; s <= _samples; ++s)
      _mask[s - 1] = Usable(_row[s]);
    return;
  }
  // Cells that differ only in the required dimensions (and the split) share one mask.
  std::vector<int> key = at;
  key[_splitDim] = 0;
  for (int d : _requiredDims)
    key[static_cast<std::size_t>(d)] = 0;
  if (_maskValid && key == _maskKey) return;
  _maskKey = key;
  _maskValid = true;
  _mask.assign(_samples, true);
  std::vector<int> sizes;
  for (int d : _requiredDims)
    sizes.push_back(_table.Size(d));
  for (int size : sizes)
    if (size <= 0) return;
  std::vector<int> digits(_requiredDims.size(), 0);
  std::vector<int> index = key;
  while (true) {
    for (std::size_t r = 0; r < _requiredDims.size(); ++r)
      index[static_cast<std::size_t>(_requiredDims[r])] = digits[r];
    _sampleTable.Read(index, _sampleRow);
    const Slot observed = _sampleRow[0];
    for (unsigned s = 1; s <= _samples; ++s) {
      if (!_mask[s - 1]) continue;
      const Slot sample = _sampleRow[s];
      bool match = (observed.kind == Slot::kAbsent) == (sample.kind == Slot::kAbsent);
      if (match && observed.kind == Slot::kNumber && sample.kind == Slot::kNumber)
        match = IsSystemMissing(observed.value) == IsSystemMissing(sample.value);
      if (!match) _mask[s - 1] = false;
    }
    std::size_t r = digits.size();
    while (r > 0 && ++digits[r - 1] == sizes[r - 1])
      digits[--r] = 0;
    if (r == 0) break;
  }
}

// The first segment whose first jackknife sample has a cell; it is complete only when every sample of
// it has one.
void BootSampleCollector::FindJackknifeRange() {
  _begin = _end = 0;
  const auto present = [this](unsigned position) {
    const std::size_t s = _samples + 1 + static_cast<std::size_t>(position);
    return s < _row.size() && _row[s].kind != Slot::kAbsent;
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
  std::vector<int> index = at;
  if (index.size() < static_cast<std::size_t>(_table.NDimensions()))
    index.resize(static_cast<std::size_t>(_table.NDimensions()), 0);
  _sampleTable.Read(index, _row);
  if (_row.empty() || _row[0].kind != Slot::kNumber) return false;
  _observed = _row[0].value;
  UpdateMask(index);

  if (!partner.empty()) {
    std::vector<int> partnerIndex = partner;
    partnerIndex.resize(index.size(), 0);
    _sampleTable.Read(partnerIndex, _partnerRow);
    if (_partnerRow[0].kind == Slot::kNumber) _observedStdError = _partnerRow[0].value;
  }

  _bootstrap.reserve(_samples);
  for (unsigned s = 1; s <= _samples; ++s)
    if (_mask[s - 1] && Usable(_row[s])) _bootstrap.push_back(_row[s].value);

  FindJackknifeRange();
  for (unsigned p = _begin; p < _end; ++p) {
    const Slot& slot = _row[_samples + 1 + p];
    if (Usable(slot)) _jackknife.push_back(slot.value);
  }
  // A case without a usable value leaves the segment incomplete: no BCa interval from it.
  if (_jackknife.size() != _end - _begin) {
    _jackknife.clear();
    _begin = _end = 0;
  }

  if (!partner.empty()) {
    _bootstrapStdErrors.reserve(_bootstrap.size());
    for (unsigned s = 1; s <= _samples; ++s)
      if (_mask[s - 1] && Usable(_partnerRow[s])) _bootstrapStdErrors.push_back(_partnerRow[s].value);
    if (_bootstrapStdErrors.size() != _bootstrap.size()) _bootstrapStdErrors.clear();
  }
  return true;
}

} // namespace omf
