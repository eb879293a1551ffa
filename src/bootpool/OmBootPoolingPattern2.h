#pragma once
// Pools tables of descriptive statistics: each statistic is a category of a statistics dimension and
// its value stands in the category "Statistic" of a result dimension (made when the table has none).
// The bootstrap results become the group "Bootstrap" beside that category.
#include <string>
#include <vector>

#include <omf/bootpool/OmBootPattern.h>

namespace omf {

class OmBootPoolingPattern2 : public OmBootPattern {
public:
  using OmBootPattern::OmBootPattern;

  void SetStatisticsDimension(const std::string& name) { _statistics = name; }
  void SetResultDimension(const std::string& name) { _result = name; }
  // A category (or group, whose categories are all pooled) of the statistics dimension.
  void AddStatistic(std::string name) { _stats.push_back(std::move(name)); }
  const std::vector<std::string>& Statistics() const { return _stats; }

  bool AppliesTo(const OmPivotTable& table) const override;
  bool Pool(OmPivotTable& table, NewParts& after, const SvrBootstrapSpecs& specs) const override;

private:
  std::string _statistics;
  std::string _result;
  std::string _resultCategory = "Statistic";
  std::vector<std::string> _stats;
};

} // namespace omf
