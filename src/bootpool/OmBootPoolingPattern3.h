#pragma once
// Pools tables of estimates with standard errors and tests (parameter estimates, test tables, measures
// of association): instead of widening the table, each estimate gets a new table "Bootstrap for ^1"
// that repeats the estimates beside their bootstrap results and stands right after the source table.
#include <string>
#include <utility>
#include <vector>

#include <omf/bootpool/OmBootPattern.h>

namespace omf {

class OmBootPoolingPattern3 : public OmBootPattern {
public:
  // A partner that is a t value: standard errors are derived as estimate / t.
  static constexpr const char* kTPartner = "t";
  // The bootstrap table of a source table has the source's id plus this.
  static constexpr std::uint64_t kTableIdOffset = 500000;

  using OmBootPattern::OmBootPattern;

  void SetStatisticsDimension(const std::string& name) { _statistics = name; }
  // The estimate's category name and its partner: empty for none, "t" for a t value, else the name of
  // its standard-error category.
  void AddStatistic(std::string estimate, std::string partner = "") {
    _stats.emplace_back(std::move(estimate), std::move(partner));
  }
  const std::vector<std::pair<std::string, std::string>>& Statistics() const { return _stats; }

  bool AppliesTo(const OmPivotTable& table) const override;
  bool Pool(OmPivotTable& table, NewParts& after, const SvrBootstrapSpecs& specs) const override;

private:
  std::unique_ptr<OmPivotTable> PoolPair(OmPivotTable& table, int statDim, int split,
                                         const std::vector<int>& required, const OmCellText& title,
                                         const std::string& estimate, const std::string& partner,
                                         const SvrBootstrapSpecs& specs) const;

  std::string _statistics;
  std::vector<std::pair<std::string, std::string>> _stats;
};

} // namespace omf
