#pragma once
// OmMICellPoolingPattern2: pools statistics addressed by a pair of categories, one in a statistics
// dimension and one in a type dimension ("Mean" x "Std. Error"): an estimate with its standard error by
// Rubin's rules, and averaged pairs, at every position of the remaining dimensions.
#include <string>
#include <utility>
#include <vector>

#include <omf/mipool/MIPattern.h>

namespace omf {

class OmMICellPoolingPattern2 : public OmMIPattern {
public:
  // A statistic's place: its category path in the statistics dimension and in the type dimension.
  using Location = std::pair<std::string, std::string>;
  struct Fields {
    std::string statistics; // the statistics dimension's name
    std::string type;       // the type dimension's name
    Location estimate;
    Location stdError;
    std::vector<Location> averaged;
  };

  OmMICellPoolingPattern2(const char* procedure, const char* table, Fields fields);
  bool AppliesTo(OmPivotTable& table) const override;
  bool Pool(OmPivotTable& table, OmOutputTree* owner) const override;

private:
  OmStringCell _statistics;
  OmStringCell _type;
  Fields _fields;
};

} // namespace omf
