#pragma once
// OmMIColumnPoolingPattern: pools the parameter table of a model (coefficients, parameter estimates,
// variables in the equation): statistics in one dimension, one category per model term in another. All
// terms of a model are pooled together, and only when every imputation has the same terms; redundant
// parameters are recognised by their footnote, correlations are pooled as Fisher z, Exp(B) follows the
// pooled estimate, and a Wald chi-square becomes an F test.
#include <string>

#include <omf/mipool/MIPattern.h>

namespace omf {

class OmMIColumnPoolingPattern : public OmMIPattern {
public:
  // Statistics are category paths; an empty text is not used.
  struct Fields {
    std::string statistics = "Statistics"; // the statistics dimension's name
    std::string term;                      // the term dimension's name
    std::string estimate;
    std::string stdError;
    std::string further; // a statistic that no row sets; kept for the row's shape
    std::string interval;
    std::string correlation;
    std::string test;
    std::string significance;
    std::string redundant; // the text of the footnote that marks a redundant parameter
    std::string expB;
    std::string expBInterval;
    std::string wald;
    std::string df;
  };

  OmMIColumnPoolingPattern(const char* procedure, const char* table, Fields fields);
  bool AppliesTo(OmPivotTable& table) const override;
  bool Pool(OmPivotTable& table, OmOutputTree* owner) const override;

private:
  OmStringCell _statistics;
  OmStringCell _term;
  Fields _fields;
};

} // namespace omf
