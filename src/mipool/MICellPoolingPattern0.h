#pragma once
// OmMICellPoolingPattern0: averages every numeric cell of the table over the imputations (coefficient
// tables whose every value is a plain average).
#include <omf/mipool/MIPattern.h>

namespace omf {

class OmMICellPoolingPattern0 : public OmMIPattern {
public:
  using OmMIPattern::OmMIPattern;
  bool AppliesTo(OmPivotTable& table) const override;
  bool Pool(OmPivotTable& table, OmOutputTree* owner) const override;
};

} // namespace omf
