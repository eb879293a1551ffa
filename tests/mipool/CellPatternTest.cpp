// The cell patterns through the factory: what each writes into the "Pooled" category, with which
// formats and footnotes, checked against the pooling library called directly on the same values.
#include <gtest/gtest.h>

#include <cmath>

#include "mipool/MiStreams.h"
#include <omf/platform/pooling/MPFactory.h>

using namespace omf;

namespace {

using namespace omf::fixtures;
using omf::stream::WireFormat;
using Strings = std::vector<std::string>;
using At = std::vector<std::pair<std::string, std::string>>;

// What the library pools a statistic to, called directly.
struct Expected {
  double estimate, stdError, t, df, sig, lower, upper, fraction, relIncrease, efficiency;
};
Expected PoolDirect(const std::vector<double>& q, const std::vector<double>& se, double level = 0.95) {
  std::unique_ptr<IMPPoolCalculator> c(MPFactory::CreateMPCompAlgorithm());
  for (std::size_t i = 0; i < q.size(); ++i) {
    MPParamContainer p;
    p.fParams = {q[i]};
    p.fStdErrors = {se[i]};
    c->AddImputation(p);
  }
  MPParamContainer p;
  c->Pool(p);
  std::vector<double> df, riv, fmi, eff, sig, t, lower, upper, fdf, f, fsig;
  c->Diagnostics(df, riv, fmi, eff, sig);
  c->TestStatistic(t, 0);
  c->DfAndSignificance({0}, fdf, f, fsig);
  c->ConfidenceInterval(lower, upper, level);
  return {p.fParams[0], p.fPooledStdErrors[0], t[0], fdf[0], fsig[0], lower[0], upper[0], fmi[0], riv[0],
          eff[0]};
}

std::uint32_t FormatAt(const OmPivotTable& t, const At& at) {
  const OmCellText* c = CellAt(t, at);
  return c && c->OrderCode() == OmCellText::kOrderNumber ? static_cast<const OmNumber*>(c)->Format() : 0;
}

void ExpectNear(std::optional<double> actual, double expected) {
  ASSERT_TRUE(actual.has_value());
  EXPECT_NEAR(*actual, expected, 1e-12 * std::max(1.0, std::fabs(expected)));
}

const std::vector<double> kMeans = {10.2, 11.1, 9.7, 10.6, 10.9};
const std::vector<double> kErrors = {0.51, 0.48, 0.55, 0.5, 0.47};

// Frequencies "Statistics" for two variables: mean and its standard error pooled by Rubin's rules, N
// averaged.
TEST(MICellPattern, EstimateAndStandardErrorPairWithDiagnostics) {
  for (bool diagnostics : {true, false}) {
    SCOPED_TRACE(diagnostics);
    MiFlagsReset reset;
    Harness h;
    SetMiFlags(h.w, true, true, true, diagnostics);
    h.Open("Frequencies");
    MiTable t(h.w, 0, "Statistics", "Statistics", {"Variables", kImputation, "Statistics"});
    for (const char* v : {"age", "bmi"})
      for (int i = 0; i <= 5; ++i) {
        const std::string imp = std::to_string(i);
        const double shift = v[0] == 'b' ? 5 : 0;
        t.Cell({v, imp, "N#Valid"}, 25, WireFormat::Fixed(8, 0));
        t.Cell({v, imp, "Mean"}, i == 0 ? 99 : kMeans[i - 1] + shift, WireFormat::Fixed(8, 2));
        t.Cell({v, imp, "Std. Error of Mean"}, i == 0 ? 99 : kErrors[i - 1], WireFormat::Fixed(8, 4));
      }
    t.End();
    h.End();
    const auto* table = h.Find<OmPivotTable>("Statistics");
    ASSERT_NE(table, nullptr);
    for (const char* v : {"age", "bmi"}) {
      std::vector<double> means = kMeans;
      for (double& m : means)
        m += v[0] == 'b' ? 5 : 0;
      const Expected e = PoolDirect(means, kErrors);
      const At at = {{"Variables", v}, {kImputation, "Pooled"}};
      auto with = [&](const char* stat) {
        At a = at;
        a.emplace_back("Statistics", stat);
        return a;
      };
      ExpectNear(NumberAt(*table, with("Mean")), e.estimate);
      EXPECT_EQ(FormatAt(*table, with("Mean")), MakeFormat(8, 5, 2));
      ExpectNear(NumberAt(*table, with("Std. Error of Mean")), e.stdError);
      EXPECT_EQ(FormatAt(*table, with("Std. Error of Mean")), MakeFormat(8, 5, 4));
      EXPECT_EQ(NumberAt(*table, with("N#Valid")), 25);
      if (diagnostics) {
        ExpectNear(NumberAt(*table, with("Fraction Missing Info.")), e.fraction);
        ExpectNear(NumberAt(*table, with("Relative Increase Variance")), e.relIncrease);
        ExpectNear(NumberAt(*table, with("Relative Efficiency")), e.efficiency);
        EXPECT_EQ(FormatAt(*table, with("Relative Efficiency")), MakeFormat(40, 5, 3));
      }
    }
    // The diagnostics categories are appended once, however many positions were pooled.
    const Strings stats = Labels(*table, "Statistics");
    const Strings expected = diagnostics ? Strings{"Valid",
                                                   "Mean",
                                                   "Std. Error of Mean",
                                                   "Fraction Missing Info.",
                                                   "Relative Increase Variance",
                                                   "Relative Efficiency"}
                                         : Strings{"Valid", "Mean", "Std. Error of Mean"};
    EXPECT_EQ(stats, expected);
  }
}

// T-Test "Independent Samples Test": the full Rubin set with an interval whose label carries its level.
TEST(MICellPattern, RubinSetWithIntervalAtTheLabelsLevel) {
  struct Case {
    const char* interval; // the group label of the interval, "T@n" for a composite with the number n
    const char* shown;    // as the finish step shows it
    double level;
  };
  for (const Case& c : {Case{"^1\\% Confidence Interval of the Difference@90",
                             "90% Confidence Interval of the Difference", 0.90},
                        Case{"^1\\% Confidence Interval of the Difference",
                             "^1\\% Confidence Interval of the Difference", 0.95}}) {
    SCOPED_TRACE(c.shown);
    MiFlagsReset reset;
    Harness h;
    h.Open("T-Test");
    MiTable t(h.w, 0, "Independent Samples Test", "Independent Samples Test", {kImputation, "Statistics"});
    for (int i = 1; i <= 5; ++i) {
      const std::string imp = std::to_string(i);
      t.Cell({imp, "Mean Difference"}, kMeans[i - 1], WireFormat::Fixed(8, 3));
      t.Cell({imp, "Std. Error Diff..."}, kErrors[i - 1], WireFormat::Fixed(8, 4));
      t.Cell({imp, "t"}, kMeans[i - 1] / kErrors[i - 1], WireFormat::Fixed(8, 2));
      t.Cell({imp, "df"}, 48, WireFormat::Fixed(8, 0));
      t.Cell({imp, "Sig(2-tailed)..."}, 0.001, WireFormat::Fixed(8, 3));
      t.Cell({imp, std::string(c.interval) + "#Lower"}, 1, WireFormat::Fixed(8, 3));
      t.Cell({imp, std::string(c.interval) + "#Upper"}, 2, WireFormat::Fixed(8, 3));
    }
    t.End();
    h.End();
    const auto* table = h.Find<OmPivotTable>("Independent Samples Test");
    ASSERT_NE(table, nullptr);
    const Expected e = PoolDirect(kMeans, kErrors, c.level);
    const auto at = [](const std::string& stat) { return At{{kImputation, "Pooled"}, {"Statistics", stat}}; };
    ExpectNear(NumberAt(*table, at("Mean Difference")), e.estimate);
    // Short names of texts read as English in the finished table (the built-in English table).
    ExpectNear(NumberAt(*table, at("Std. Error Difference")), e.stdError);
    ExpectNear(NumberAt(*table, at("t")), e.t);
    EXPECT_EQ(FormatAt(*table, at("t")), MakeFormat(8, 5, 2));
    ExpectNear(NumberAt(*table, at("df")), e.df);
    ExpectNear(NumberAt(*table, at("Sig. (2-tailed)")), e.sig);
    ExpectNear(NumberAt(*table, at(std::string(c.shown) + "#Lower")), e.lower);
    ExpectNear(NumberAt(*table, at(std::string(c.shown) + "#Upper")), e.upper);
    EXPECT_EQ(FormatAt(*table, at(std::string(c.shown) + "#Upper")), MakeFormat(8, 5, 3));
  }
}

TEST(MICellPattern, SameEstimateInEveryImputationFootnotesTheSignificance) {
  MiFlagsReset reset;
  Harness h;
  h.Open("Oneway");
  MiTable t(h.w, 0, "Contrast Tests", "Contrast Tests", {kImputation, "Statistics"});
  for (int i = 1; i <= 3; ++i) {
    const std::string imp = std::to_string(i);
    t.Cell({imp, "Value of Contrast"}, 2.5);
    t.Cell({imp, "Std. Error"}, 0.5);
    t.Cell({imp, "t"}, 5);
    t.Cell({imp, "df"}, 20);
    t.Cell({imp, "Significance (2-tailed)"}, 0.001);
  }
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Contrast Tests");
  ASSERT_NE(table, nullptr);
  const At sig = {{kImputation, "Pooled"}, {"Statistics", "Significance (2-tailed)"}};
  EXPECT_EQ(NumberAt(*table, sig), kSysmis);
  EXPECT_EQ(NotesOf(*table, CellAt(*table, sig)), Strings{"No variance among imputations."});
  EXPECT_EQ(NumberAt(*table, {{kImputation, "Pooled"}, {"Statistics", "Value of Contrast"}}), 2.5);
}

TEST(MICellPattern, PoolingLibraryErrorsBecomeFootnotesOnThePooledEstimate) {
  struct Case {
    const char* what;
    std::vector<std::pair<double, double>> imputations; // estimate, standard error
    long code;
  };
  const std::vector<Case> cases = {
      {"one imputation", {{1.0, 0.5}}, omf::pooling::kMPTooFewImputations},
      {"a negative standard error", {{1.0, 0.5}, {1.2, -0.5}}, omf::pooling::kMPInvalidStdError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MiFlagsReset reset;
    Harness h;
    h.Open("Means");
    MiTable t(h.w, 0, "Report", "Report", {kImputation, "Statistics"});
    for (std::size_t i = 0; i < c.imputations.size(); ++i) {
      t.Cell({std::to_string(i + 1), "Mean"}, c.imputations[i].first);
      t.Cell({std::to_string(i + 1), "Std. Error of Mean"}, c.imputations[i].second);
    }
    t.End();
    h.End();
    const auto* table = h.Find<OmPivotTable>("Report");
    ASSERT_NE(table, nullptr);
    const At mean = {{kImputation, "Pooled"}, {"Statistics", "Mean"}};
    EXPECT_EQ(NumberAt(*table, mean), kSysmis);
    EXPECT_EQ(NotesOf(*table, CellAt(*table, mean)), Strings{GetPoolingErrorString(c.code)});
    EXPECT_EQ(CellAt(*table, {{kImputation, "Pooled"}, {"Statistics", "Std. Error of Mean"}}), nullptr);
  }
}

// Averages divide by the number of imputations m, however many values were found; the averaged list
// shows a fractional mean with a decimal, the whole-table pattern keeps the format when the sum is whole.
TEST(MICellPattern, AveragesDivideByTheNumberOfImputations) {
  struct Case {
    const char* procedure;
    const char* table;
    const char* statistic;
    std::vector<double> values; // per imputation 1..m; kSysmis for a missing value
    double mean;
    unsigned decimals;
  };
  const std::vector<Case> cases = {
      {"Frequencies", "Frequencies", "Frequency", {10, 11}, 10.5, 1},
      {"Discriminant", "CDF Coefficients", "Frequency", {10, 11}, 10.5, 0},
      {"Frequencies", "Frequencies", "Frequency", {10, 11, 12, kSysmis, 13}, 46.0 / 5, 1},
      {"Frequencies", "Frequencies", "Frequency", {10, 12}, 11, 0},
      {"Frequencies", "Frequencies", "Frequency", {kSysmis, kSysmis}, kSysmis, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.table) + " " + std::to_string(c.values.size()));
    MiFlagsReset reset;
    Harness h;
    h.Open(c.procedure);
    MiTable t(h.w, 0, c.table, c.table, {kImputation, "Statistics"});
    t.Cell({"0", c.statistic}, 1000, WireFormat::Fixed(8, 0));
    for (std::size_t i = 0; i < c.values.size(); ++i)
      t.Cell({std::to_string(i + 1), c.statistic}, c.values[i], WireFormat::Fixed(8, 0));
    t.End();
    h.End();
    const auto* table = h.Find<OmPivotTable>(c.table);
    ASSERT_NE(table, nullptr);
    const At at = {{kImputation, "Pooled"}, {"Statistics", c.statistic}};
    EXPECT_EQ(NumberAt(*table, at), c.mean);
    EXPECT_EQ(FormatDecimals(FormatAt(*table, at)), c.decimals);
  }
}

// "Descriptives" / "Descriptive Statistics": with a "Stat Type" dimension the cell row stands aside and
// the type-dimension row pools the mean from the "Statistic" and "Std. Error" columns.
TEST(MICellPattern, TypeDimensionRowPoolsStatisticByType) {
  MiFlagsReset reset;
  Harness h;
  h.Open("Descriptives");
  MiTable t(h.w, 0, "Descriptive Statistics", "Descriptive Statistics",
            {"Variables", kImputation, "Statistics", "Stat Type"});
  for (int i = 1; i <= 5; ++i) {
    const std::string imp = std::to_string(i);
    t.Cell({"bmi", imp, "N", "Statistic"}, 20 + i, WireFormat::Fixed(8, 0));
    t.Cell({"bmi", imp, "Mean", "Statistic"}, kMeans[i - 1], WireFormat::Fixed(8, 2));
    t.Cell({"bmi", imp, "Mean", "Std. Error"}, kErrors[i - 1], WireFormat::Fixed(8, 3));
  }
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Descriptive Statistics");
  ASSERT_NE(table, nullptr);
  const Expected e = PoolDirect(kMeans, kErrors);
  const auto at = [](const char* stat, const char* type) {
    return At{{"Variables", "bmi"}, {kImputation, "Pooled"}, {"Statistics", stat}, {"Stat Type", type}};
  };
  ExpectNear(NumberAt(*table, at("Mean", "Statistic")), e.estimate);
  ExpectNear(NumberAt(*table, at("Mean", "Std. Error")), e.stdError);
  EXPECT_EQ(NumberAt(*table, at("N", "Statistic")), 23);
  // Mean and its standard error share the statistics category: the diagnostics join that dimension.
  ExpectNear(NumberAt(*table, at("Fraction Missing Info.", "Statistic")), e.fraction);
  EXPECT_EQ(Labels(*table, "Stat Type"), (Strings{"Statistic", "Std. Error"}));
}

} // namespace
