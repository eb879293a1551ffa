#include "bootpool/BootSampleCollector.h"

#include "platform/status/SystemMissing.h"

using MCCommon::IsSystemMissing;
using MCCommon::kSystemMissing;

namespace {

// The value of a cell that is a number and not missing.
bool Usable(const OmCellText* cell, double& value) {
  if (cell == nullptr || cell->OrderCode() != OmCellText::kOrderNumber) return false;
  value = static_cast<const OmNumber*>(cell)->Value();
  return !IsSystemMissing(value);
}

bool IsNumber(const OmCellText* cell) {
  return cell != nullptr && cell->OrderCode() == OmCellText::kOrderNumber;
}

} // namespace

BootSampleCollector::BootSampleCollector(const OmPivotTable& table, int splitDim, unsigned samples,
                                         std::vector<unsigned> segmentEnds, std::vector<int> requiredDims)
    : _table(table), _splitDim(static_cast<std::size_t>(splitDim)), _samples(samples),
      _segmentEnds(std::move(segmentEnds)), _requiredDims(std::move(requiredDims)) {}

const OmCellText* BootSampleCollector::CellAt(std::vector<int>& at, int split) const {
  at[_splitDim] = split;
  return _table.Cell(at);
}

void BootSampleCollector::UpdateMask(const std::vector<int>& at) {
  if (_requiredDims.empty()) {
    _mask.assign(_samples, false);
    std::vector<int> index = at;
    double value = 0;
    for (unsigned s = 1; s <= _samples; ++s)
      _mask[s - 1] = Usable(CellAt(index, static_cast<int>(s)), value);
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
    const OmCellText* observed = CellAt(index, 0);
    for (unsigned s = 1; s <= _samples; ++s) {
      if (!_mask[s - 1]) continue;
      const OmCellText* sample = CellAt(index, static_cast<int>(s));
      bool match = (observed == nullptr) == (sample == nullptr);
      if (match && IsNumber(observed) && IsNumber(sample))
        match = IsSystemMissing(static_cast<const OmNumber*>(observed)->Value()) ==
                IsSystemMissing(static_cast<const OmNumber*>(sample)->Value());
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
void BootSampleCollector::FindJackknifeRange(std::vector<int> at) {
  _begin = _end = 0;
  const auto split = [this](unsigned position) { return static_cast<int>(_samples + 1 + position); };
  unsigned begin = 0;
  bool found = false;
  for (unsigned end : _segmentEnds) {
    if (begin < end && CellAt(at, split(begin)) != nullptr) {
      found = true;
      _begin = begin;
      _end = end;
      break;
    }
    begin = end;
  }
  if (!found) return;
  for (unsigned p = _begin; p < _end; ++p)
    if (CellAt(at, split(p)) == nullptr) {
      _begin = _end = 0;
      return;
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
  const OmCellText* observed = CellAt(index, 0);
  if (!IsNumber(observed)) return false;
  _observed = static_cast<const OmNumber*>(observed)->Value();
  UpdateMask(index);

  std::vector<int> partnerIndex = partner;
  if (!partner.empty()) {
    partnerIndex.resize(index.size(), 0);
    if (const OmCellText* se = CellAt(partnerIndex, 0); IsNumber(se))
      _observedStdError = static_cast<const OmNumber*>(se)->Value();
  }

  _bootstrap.reserve(_samples);
  double value = 0;
  for (unsigned s = 1; s <= _samples; ++s)
    if (_mask[s - 1] && Usable(CellAt(index, static_cast<int>(s)), value)) _bootstrap.push_back(value);

  FindJackknifeRange(index);
  for (unsigned p = _begin; p < _end; ++p)
    if (Usable(CellAt(index, static_cast<int>(_samples + 1 + p)), value)) _jackknife.push_back(value);
  // A case without a usable value leaves the segment incomplete: no BCa interval from it.
  if (_jackknife.size() != _end - _begin) {
    _jackknife.clear();
    _begin = _end = 0;
  }

  if (!partner.empty()) {
    _bootstrapStdErrors.reserve(_bootstrap.size());
    for (unsigned s = 1; s <= _samples; ++s)
      if (_mask[s - 1] && Usable(CellAt(partnerIndex, static_cast<int>(s)), value))
        _bootstrapStdErrors.push_back(value);
    if (_bootstrapStdErrors.size() != _bootstrap.size()) _bootstrapStdErrors.clear();
  }
  return true;
}
