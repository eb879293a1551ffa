#pragma once
// Pools tables whose statistics are categories of one dimension (the "Percent" column of a frequency
// table, the "Pearson Correlation" row of a correlation matrix): each statistic gains, in that same
// dimension, a group of bootstrap results filled for every cell of the statistic.
#include <string>
#include <utility>
#include <vector>

#include <omf/bootpool/OmBootPattern.h>

namespace omf {

class OmBootPoolingPattern1 : public OmBootPattern {
public:
  // A second name that asks for zero fill instead of naming a standard-error category: samples in which
  // a category did not occur count as 0.
  static constexpr const char* kZeroFill = " zero fill";

  using OmBootPattern::OmBootPattern;

  void SetStatisticsDimension(const std::string& name) { _statistics = name; }
  void SetExcludedDimension(const std::string& name) { _excluded = name; }
  // The statistic's category name (a path of labels joined by '#') and its second name.
  void AddStatistic(std::string name, std::string second = "") {
    _stats.emplace_back(std::move(name), std::move(second));
  }
  const std::vector<std::pair<std::string, std::string>>& Statistics() const { return _stats; }
  // The label of each result group; ^1 is the statistic.
  void SetGroupLabel(std::string templ) { _groupLabel = std::move(templ); }

  bool significanceOnly = false;

  bool AppliesTo(const OmPivotTable& table) const override;
  bool Pool(OmPivotTable& table, NewParts& after, const SvrBootstrapSpecs& specs) const override;

private:
  std::string _statistics;
  std::string _excluded;
  std::string _groupLabel = "Bootstrap for ^1";
  std::vector<std::pair<std::string, std::string>> _stats;
};

} // namespace omf
