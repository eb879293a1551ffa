#pragma once
// OmMICorrMatrixPoolingPattern: pools correlation matrices cell by cell. The correlations of the
// imputations are combined on the Fisher z scale, N is averaged, the significance is computed from the
// pooled z, and the "*" / "**" flags of significant correlations are set again on the pooled value.
// Tables that report N only in "Listwise N" footnotes have it read from there.
#include <array>
#include <map>
#include <string>
#include <vector>

#include <omf/mipool/MIPattern.h>

namespace omf {

class OmMICorrMatrixPoolingPattern : public OmMIPattern {
public:
  // Statistics are category paths; an empty text is not used.
  struct Fields {
    std::string statistics = "Statistics";
    std::string correlation;
    std::string n;
    std::string listwiseFormat; // the template of the footnotes that carry a listwise N
    // Flag footnote texts: 0.05 one-tailed, 0.01 one-tailed, 0.05 two-tailed, 0.01 two-tailed.
    std::array<std::string, 4> flags;
    std::string oneTailed; // one-tailed significance
    std::string twoTailed; // two-tailed significance
  };

  // Reads N out of a "Listwise N" footnote: the variables name dimensions of the table, the values
  // after them name categories of those dimensions, and the number is the count.
  class CountFootnoteScraper : public OmCellText::Visitor {
  public:
    explicit CountFootnoteScraper(const OmPivotTable& table) : _table(table) {}
    void Visit(OmComposite& composite) override;
    void Visit(OmStringDataValue& value) override { Value(value); }
    void Visit(OmNumDataValue& value) override { Value(value); }
    void Visit(OmVariable& variable) override;
    void Visit(OmNumber& number) override { count = number.Value(); }

    std::vector<int> dimensions;
    std::vector<int> categories;
    double count = kSysmis;

  private:
    void Value(const OmCellText& value);
    void VisitNodes(std::vector<OmComposite::Node>& nodes);
    const OmPivotTable& _table;
  };

  // The listwise N of each cell position, read from a table's footnotes: the dimensions the footnotes
  // name, and per combination of their categories the count.
  struct ListwiseCounts {
    std::vector<int> dimensions;
    std::map<std::vector<int>, double> counts;
  };
  ListwiseCounts ReadListwiseCounts(const OmPivotTable& table) const;

  OmMICorrMatrixPoolingPattern(const char* procedure, const char* table, Fields fields);
  bool AppliesTo(OmPivotTable& table) const override;
  // Always false: the pooler does not use the result.
  bool Pool(OmPivotTable& table, OmOutputTree* owner) const override;

private:
  OmStringCell _statistics;
  Fields _fields;
};

} // namespace omf
