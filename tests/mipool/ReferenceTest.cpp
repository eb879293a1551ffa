// Streams carrying the per-imputation values of the reference files pool, through the factory, to the
// reference values that established software computed from them.
#include <gtest/gtest.h>

#include <cmath>

#include "mipool/MiStreams.h"
#include "platform/pooling/ReferenceFiles.h"

using namespace omf;

namespace {

using namespace omf::fixtures;
using omf::stream::WireFormat;
using At = std::vector<std::pair<std::string, std::string>>;

void ExpectRelative(std::optional<double> actual, double expected, const std::string& what) {
  ASSERT_TRUE(actual.has_value()) << what;
  EXPECT_LE(std::fabs(*actual - expected), 1e-9 * std::fabs(expected))
      << what << ": " << *actual << " vs " << expected;
}

TEST(MIReference, RegressionCoefficientsPoolToTheReference) {
  const nlohmann::json ref = LoadReference("mi-regression-m5.json");
  const auto terms = ref["terms"].get<std::vector<std::string>>();
  const auto estimates = ref["estimates"].get<std::vector<std::vector<double>>>();
  const auto stderrs = ref["stderrs"].get<std::vector<std::vector<double>>>();
  const std::string interval =
      "^1 Confidence Interval for B@" + std::to_string(ref["level"].get<double>() * 100);
  MiFlagsReset reset;
  Harness h;
  h.Open("Regression");
  MiTable t(h.w, 0, "Coefficients", "Coefficients", {kImputation, "Variables", "Statistics"});
  for (std::size_t i = 0; i < estimates.size(); ++i)
    for (std::size_t j = 0; j < terms.size(); ++j) {
      const std::vector<std::string> at = {std::to_string(i + 1), terms[j]};
      const auto cell = [&](const std::string& stat, double v) {
        t.Cell({at[0], at[1], stat}, v, WireFormat::Fixed(12, 6));
      };
      cell("B", estimates[i][j]);
      cell("Std. Error", stderrs[i][j]);
      cell("t", estimates[i][j] / stderrs[i][j]);
      cell("Significance", 0.5);
      cell(interval + "#Lower Bound", 0);
      cell(interval + "#Upper Bound", 0);
    }
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Coefficients");
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(terms.size(), ref["pooled"].size());
  const std::string shown = "95 Confidence Interval for B";
  for (std::size_t j = 0; j < terms.size(); ++j) {
    const nlohmann::json& p = ref["pooled"][j];
    const auto at = [&](const std::string& stat) {
      return NumberAt(*table, At{{kImputation, "Pooled"}, {"Variables", terms[j]}, {"Statistics", stat}});
    };
    const std::string term = terms[j] + " ";
    ExpectRelative(at("B"), p["estimate"], term + "estimate");
    ExpectRelative(at("Std. Error"), p["stderr"], term + "standard error");
    ExpectRelative(at("t"), p["t"], term + "t");
    ExpectRelative(at("Significance"), p["sig"], term + "significance");
    ExpectRelative(at(shown + "#Lower Bound"), p["lower"], term + "lower bound");
    ExpectRelative(at(shown + "#Upper Bound"), p["upper"], term + "upper bound");
    ExpectRelative(at("Fraction Missing Info."), p["fmi"], term + "fraction of missing information");
    ExpectRelative(at("Relative Increase Variance"), p["riv"], term + "relative increase in variance");
    ExpectRelative(at("Relative Efficiency"), p["efficiency"], term + "relative efficiency");
  }
}

TEST(MIReference, CorrelationPoolsToTheReference) {
  const nlohmann::json ref = LoadReference("mi-correlation.json");
  const auto r = ref["r"].get<std::vector<double>>();
  const auto n = ref["n"].get<std::vector<double>>();
  MiFlagsReset reset;
  Harness h;
  h.Open("Correlations");
  MiTable t(h.w, 0, "Correlations", "Correlations", {kImputation, "Rows", "Statistics", "Columns"});
  for (std::size_t i = 0; i < r.size(); ++i) {
    const std::string imp = std::to_string(i + 1);
    t.Cell({imp, "bmi", "Pearson Correlation", "chl"}, r[i]);
    t.Cell({imp, "bmi", "Significance(2-tailed)", "chl"}, 0.05);
    t.Cell({imp, "bmi", "N", "chl"}, n[i], WireFormat::Fixed(8, 0));
  }
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Correlations");
  ASSERT_NE(table, nullptr);
  const auto at = [&](const std::string& stat) {
    return NumberAt(*table,
                    At{{kImputation, "Pooled"}, {"Rows", "bmi"}, {"Statistics", stat}, {"Columns", "chl"}});
  };
  ExpectRelative(at("Pearson Correlation"), ref["pooled_r"], "pooled r");
  ExpectRelative(at("Significance(2-tailed)"), ref["sig"], "significance");
}

} // namespace
