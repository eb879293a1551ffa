#pragma once
// OmMICellPoolingPattern: pools statistics that stand as categories of one statistics dimension. An
// estimate with its standard error, and a full set of estimate, standard error, test statistic, df,
// significance and confidence interval, are pooled by Rubin's rules at every position of the other
// dimensions; further statistics (counts, means) are averaged over the imputations.
#include <array>
#include <string>
#include <vector>

#include <omf/mipool/MIPattern.h>

namespace omf {

class OmMICellPoolingPattern : public OmMIPattern {
public:
  // Statistics are category paths ("N#Valid"); an empty text is not used.
  struct Fields {
    std::string statistics;           // the statistics dimension's name
    std::string excluded;             // the rule does not apply to a table with a dimension of this name
    std::string pairEstimate;         // estimate of the estimate / standard-error pair
    std::string pairStdError;         // its standard error
    std::array<std::string, 6> rubin; // estimate, standard error, test, df, significance, interval
    std::vector<std::string> averaged;
  };

  OmMICellPoolingPattern(const char* procedure, const char* table, Fields fields);
  bool AppliesTo(OmPivotTable& table) const override;
  bool Pool(OmPivotTable& table, OmOutputTree* owner) const override;

private:
  OmStringCell _statistics;
  OmStringCell _excluded;
  Fields _fields;
};

} // namespace omf
