// A bootstrapped correlation played through the factory: its bias, standard error and intervals match
// values computed independently by established software (relative tolerance 1e-9), with the BCa
// interval when jackknife values come with the samples and the percentile interval without them.
#include <gtest/gtest.h>

#include <cmath>

#include "bootpool/BootStream.h"
#include "platform/pooling/ReferenceFiles.h"

using namespace omf;

using namespace omf::fixtures;
using omf::stream::Axis;

namespace {

constexpr double kRelTol = 1e-9;

// Plays a "Correlations" procedure whose one correlation has the reference's samples; with
// `jackknife`, the leave-one-out values follow them. Returns the grafted table.
const OmPivotTable* PlayCorrelation(Harness& h, const nlohmann::json& ref, bool jackknife) {
  const auto samples = ref["samples"].get<std::vector<double>>();
  const auto leaveOneOut = ref["jackknife"].get<std::vector<double>>();
  std::vector<double> values{ref["observed"].get<double>()};
  values.insert(values.end(), samples.begin(), samples.end());
  if (jackknife) values.insert(values.end(), leaveOneOut.begin(), leaveOneOut.end());

  BeginBootstrapped(h, "Correlations");
  BootTable t(h.w, 0, "Correlations", "Correlations");
  t.SplitDimension();
  t.Dimension("Variables");
  t.Dimension("Statistics");
  t.PlaceSplit(1, Axis::Rows);
  t.Place("Variables", 2, Axis::Rows);
  t.Place("Statistics", 3, Axis::Rows);
  for (std::size_t s = 0; s < values.size(); ++s) {
    t.Sample(static_cast<int>(s));
    t.Select("Variables", "baseline");
    t.Number("Statistics", "Pearson Correlation", values[s]);
  }
  t.End();
  h.End(
      Spec(static_cast<unsigned>(samples.size()), jackknife ? static_cast<unsigned>(leaveOneOut.size()) : 0));
  return h.Find<OmPivotTable>("Correlations");
}

void ExpectRel(double actual, double expected, const char* what) {
  EXPECT_NEAR(actual, expected, kRelTol * std::fabs(expected)) << what;
}

} // namespace

TEST(BootReference, CorrelationThroughTheFactoryMatchesReference) {
  const nlohmann::json ref = LoadReference("boot-correlation.json");
  for (const bool jackknife : {true, false}) {
    SCOPED_TRACE(jackknife ? "with jackknife values: BCa" : "without: percentile");
    Harness h;
    const OmPivotTable* t = PlayCorrelation(h, ref, jackknife);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->NDimensions(), 3);
    const OmDimension& stats = t->Dimension(2);
    const std::string interval = jackknife ? "BCa 95% Confidence Interval{" : "95% Confidence Interval{";
    EXPECT_EQ(Tree(stats), (std::vector<std::string>{"Pearson Correlation", "Bootstrap{", "Bias",
                                                     "Std. Error", interval, "Lower", "Upper", "}", "}"}));
    const auto at = [&](const std::string& category) {
      return std::vector<int>{0, 0, Category(stats, category)};
    };
    ExpectRel(NumberAt(*t, at("Bias")), ref["bias"], "bias");
    ExpectRel(NumberAt(*t, at("Std. Error")), ref["stderr"], "standard error");
    const auto& expected = ref[jackknife ? "bca95" : "percentile95"];
    ExpectRel(NumberAt(*t, at("Lower")), expected[0], "lower");
    ExpectRel(NumberAt(*t, at("Upper")), expected[1], "upper");
    // Every sample counted: no qualifying footnote on the results.
    EXPECT_TRUE(NotesAt(*t, at("Lower")).empty());
    // The split dimension keeps only the observed sample.
    EXPECT_EQ(Tree(t->Dimension(0)), std::vector<std::string>{"0"});
  }
}
