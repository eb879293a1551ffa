// The column pattern through the factory: models pooled term by term when every imputation has the same
// terms, correlations on the Fisher z scale, redundant parameters, Exp(B) and the F test that replaces a
// Wald chi-square.
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

// Pooled results of several parameters, from the library called directly.
struct Pooled {
  std::vector<double> estimate, stdError, sig, lower, upper, df, f, fsig;
};
Pooled PoolDirect(const std::vector<std::vector<double>>& q, const std::vector<std::vector<double>>& se,
                  double level = 0.95) {
  std::unique_ptr<IMPPoolCalculator> c(MPFactory::CreateMPCompAlgorithm());
  for (std::size_t i = 0; i < q.size(); ++i) {
    MPParamContainer p;
    p.fParams = q[i];
    p.fStdErrors = se[i];
    c->AddImputation(p);
  }
  MPParamContainer p;
  c->Pool(p);
  Pooled out;
  out.estimate = p.fParams;
  out.stdError = p.fPooledStdErrors;
  std::vector<double> df, riv, fmi, eff;
  c->Diagnostics(df, riv, fmi, eff, out.sig);
  c->ConfidenceInterval(out.lower, out.upper, level);
  c->DfAndSignificance(std::vector<double>(q[0].size(), 0.0), out.df, out.f, out.fsig);
  return out;
}

void ExpectNear(std::optional<double> actual, double expected) {
  ASSERT_TRUE(actual.has_value());
  EXPECT_NEAR(*actual, expected, 1e-12 * std::max(1.0, std::fabs(expected)));
}

const Strings kTerms = {"(Constant)", "age", "chl"};
const std::vector<std::vector<double>> kB = {
    {21.8, -3.4, 0.059}, {21.5, -2.9, 0.051}, {18.6, -4.3, 0.082}, {23.8, -2.6, 0.036}, {23.5, -3.0, 0.043}};
const std::vector<std::vector<double>> kSE = {
    {2.6, 0.83, 0.015}, {3.5, 0.90, 0.019}, {2.7, 0.72, 0.015}, {3.5, 0.89, 0.018}, {3.2, 1.0, 0.020}};
const std::vector<std::vector<double>> kR = {
    {0.30, 0.45}, {0.28, 0.41}, {0.35, 0.39}, {0.31, 0.47}, {0.26, 0.44}}; // age, chl

// "Regression" / "Coefficients" is pooled by four rows: B with its companions, then each correlation.
TEST(MIColumnPattern, CoefficientsPooledByFourRows) {
  MiFlagsReset reset;
  Harness h;
  h.Open("Regression");
  MiTable t(h.w, 0, "Coefficients", "Coefficients", {kImputation, "Variables", "Statistics"});
  for (int i = 1; i <= 5; ++i) {
    const std::string imp = std::to_string(i);
    for (std::size_t j = 0; j < 3; ++j) {
      t.Cell({imp, kTerms[j], "B"}, kB[i - 1][j], WireFormat::Fixed(8, 3));
      t.Cell({imp, kTerms[j], "Std. Error"}, kSE[i - 1][j], WireFormat::Fixed(8, 3));
      t.Cell({imp, kTerms[j], "t"}, kB[i - 1][j] / kSE[i - 1][j], WireFormat::Fixed(8, 2));
      t.Cell({imp, kTerms[j], "Significance"}, 0.01, WireFormat::Fixed(8, 3));
      t.Cell({imp, kTerms[j], "^1 Confidence Interval for B@90#Lower Bound"}, 0, WireFormat::Fixed(8, 4));
      t.Cell({imp, kTerms[j], "^1 Confidence Interval for B@90#Upper Bound"}, 0, WireFormat::Fixed(8, 4));
      if (j == 0) continue; // the intercept has no correlations
      const double r = kR[i - 1][j - 1];
      t.Cell({imp, kTerms[j], "Correlations#Zero-order"}, r, WireFormat::Fixed(8, 3));
      t.Cell({imp, kTerms[j], "Correlations#Partial"}, r / 2, WireFormat::Fixed(8, 3));
      t.Cell({imp, kTerms[j], "Correlations#Part"}, r / 3, WireFormat::Fixed(8, 3));
    }
  }
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Coefficients");
  ASSERT_NE(table, nullptr);
  const Pooled e = PoolDirect(kB, kSE, 0.90);
  const auto at = [](const std::string& term, const std::string& stat) {
    return At{{kImputation, "Pooled"}, {"Variables", term}, {"Statistics", stat}};
  };
  for (std::size_t j = 0; j < 3; ++j) {
    SCOPED_TRACE(kTerms[j]);
    ExpectNear(NumberAt(*table, at(kTerms[j], "B")), e.estimate[j]);
    ExpectNear(NumberAt(*table, at(kTerms[j], "Std. Error")), e.stdError[j]);
    ExpectNear(NumberAt(*table, at(kTerms[j], "t")), e.estimate[j] / e.stdError[j]);
    ExpectNear(NumberAt(*table, at(kTerms[j], "Significance")), e.sig[j]);
    ExpectNear(NumberAt(*table, at(kTerms[j], "90 Confidence Interval for B#Lower Bound")), e.lower[j]);
    ExpectNear(NumberAt(*table, at(kTerms[j], "90 Confidence Interval for B#Upper Bound")), e.upper[j]);
    if (j == 0) {
      EXPECT_EQ(CellAt(*table, at(kTerms[j], "Zero-order")), nullptr);
      continue;
    }
    for (auto [stat, divisor] : {std::pair{"Zero-order", 1.0}, {"Partial", 2.0}, {"Part", 3.0}}) {
      double z = 0;
      for (const auto& r : kR)
        z += std::atanh(r[j - 1] / divisor) / 5;
      ExpectNear(NumberAt(*table, at(kTerms[j], stat)), std::tanh(z));
    }
  }
  // The diagnostics categories were appended by each row, once.
  const Strings stats = Labels(*table, "Statistics");
  EXPECT_EQ(std::count(stats.begin(), stats.end(), "Relative Efficiency"), 1);
}

TEST(MIColumnPattern, ModelsWhoseTermsVaryAreNotPooled) {
  MiFlagsReset reset;
  Harness h;
  h.Open("Regression");
  MiTable t(h.w, 0, "Coefficients", "Coefficients", {"Model", kImputation, "Variables", "Statistics"});
  for (const char* model : {"1", "2", "3"})
    for (int i = 1; i <= 3; ++i) {
      const std::string imp = std::to_string(i);
      for (std::size_t j = 0; j < 3; ++j) {
        // Model 1 has the same terms everywhere; models 2 and 3 lose "chl" in imputation 2.
        if (model[0] != '1' && i == 2 && j == 2) continue;
        t.Cell({model, imp, kTerms[j], "B"}, kB[i - 1][j]);
        t.Cell({model, imp, kTerms[j], "Std. Error"}, kSE[i - 1][j]);
      }
    }
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Coefficients");
  ASSERT_NE(table, nullptr);
  const auto b = [&](const char* model) {
    return NumberAt(*table,
                    {{"Model", model}, {kImputation, "Pooled"}, {"Variables", "age"}, {"Statistics", "B"}});
  };
  EXPECT_TRUE(b("1").has_value());
  EXPECT_FALSE(b("2").has_value());
  EXPECT_FALSE(b("3").has_value());
  std::vector<std::string> titleNotes;
  for (int i : table->TableTitle().Footnotes())
    titleNotes.push_back(table->Footnotes()[static_cast<std::size_t>(i)].text->AsString());
  EXPECT_EQ(titleNotes, Strings{"Models were not pooled because their terms differ between imputations."});
}

TEST(MIColumnPattern, RedundantParametersKeepTheirFootnoteAndShowZeroWithoutDecimals) {
  MiFlagsReset reset;
  Harness h;
  h.Open("UNIANOVA");
  MiTable t(h.w, 0, "Parameter Estimates", "Parameter Estimates", {kImputation, "Parameter", "Statistics"});
  const std::vector<CellNote> redundant = {{"Redundant parameter ...", ""}};
  for (int i = 1; i <= 5; ++i) {
    const std::string imp = std::to_string(i);
    t.Cell({imp, "Intercept", "B"}, kB[i - 1][0], WireFormat::Fixed(8, 3));
    t.Cell({imp, "Intercept", "Std. Error"}, kSE[i - 1][0], WireFormat::Fixed(8, 3));
    t.Cell({imp, "Intercept", "Significance"}, 0.001, WireFormat::Fixed(8, 3));
    t.Cell({imp, "[group=2]", "B"}, 0, WireFormat::Fixed(8, 3), redundant);
    t.Cell({imp, "[group=2]", "Std. Error"}, 0, WireFormat::Fixed(8, 3));
  }
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Parameter Estimates");
  ASSERT_NE(table, nullptr);
  const auto at = [](const char* term, const char* stat) {
    return At{{kImputation, "Pooled"}, {"Parameter", term}, {"Statistics", stat}};
  };
  const OmCellText* b = CellAt(*table, at("[group=2]", "B"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->AsString(), "0");
  EXPECT_EQ(NotesOf(*table, b), Strings{"This parameter is set to zero because it is redundant."});
  // Its significance cannot be computed, but a redundant parameter is not said to lack variance.
  EXPECT_EQ(NumberAt(*table, at("[group=2]", "Significance")), kSysmis);
  EXPECT_TRUE(NotesOf(*table, CellAt(*table, at("[group=2]", "Significance"))).empty());
  const OmCellText* intercept = CellAt(*table, at("Intercept", "B"));
  ASSERT_NE(intercept, nullptr);
  EXPECT_TRUE(NotesOf(*table, intercept).empty());
  EXPECT_EQ(FormatDecimals(static_cast<const OmNumber*>(intercept)->Format()), 3u);
}

// "Nominal Regression": the Wald chi-square becomes an F test whose two df stand in one cell, and Exp(B)
// with its interval follow the pooled estimate; the intercept, without Exp(B), is left out of those.
TEST(MIColumnPattern, WaldBecomesAnFTestAndExpBFollowsTheEstimate) {
  MiFlagsReset reset;
  Harness h;
  h.Open("Nominal Regression");
  MiTable t(h.w, 0, "Parameter Estimates", "Parameter Estimates", {kImputation, "Parameter", "Statistics"});
  const std::string interval = "^1% Confidence Interval for Exp(B)@95";
  for (int i = 1; i <= 5; ++i) {
    const std::string imp = std::to_string(i);
    for (std::size_t j = 0; j < 3; ++j) {
      const double b = kB[i - 1][j] / 10, se = kSE[i - 1][j] / 10;
      t.Cell({imp, kTerms[j], "B Estimate"}, b, WireFormat::Fixed(8, 3));
      t.Cell({imp, kTerms[j], "Standard Error"}, se, WireFormat::Fixed(8, 3));
      t.Cell({imp, kTerms[j], "Wald"}, b * b / se / se, WireFormat::Fixed(8, 3));
      t.Cell({imp, kTerms[j], "degrees of freedom"}, 1, WireFormat::Fixed(8, 0));
      t.Cell({imp, kTerms[j], "significance"}, 0.01, WireFormat::Fixed(8, 3));
      if (j == 0) continue;
      t.Cell({imp, kTerms[j], "Exp(B)"}, std::exp(b), WireFormat::Fixed(8, 3));
      t.Cell({imp, kTerms[j], interval + "#Lower Bound"}, 0, WireFormat::Fixed(8, 3));
      t.Cell({imp, kTerms[j], interval + "#Upper Bound"}, 0, WireFormat::Fixed(8, 3));
    }
  }
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Parameter Estimates");
  ASSERT_NE(table, nullptr);
  std::vector<std::vector<double>> b = kB, se = kSE;
  for (auto& row : b)
    for (double& v : row)
      v /= 10;
  for (auto& row : se)
    for (double& v : row)
      v /= 10;
  const Pooled e = PoolDirect(b, se);
  const std::string shown = "95% Confidence Interval for Exp(B)";
  const auto at = [](const std::string& term, const std::string& stat) {
    return At{{kImputation, "Pooled"}, {"Parameter", term}, {"Statistics", stat}};
  };
  for (std::size_t j = 0; j < 3; ++j) {
    SCOPED_TRACE(kTerms[j]);
    ExpectNear(NumberAt(*table, at(kTerms[j], "B Estimate")), e.estimate[j]);
    ExpectNear(NumberAt(*table, at(kTerms[j], "Wald")), e.f[j]);
    EXPECT_EQ(NotesOf(*table, CellAt(*table, at(kTerms[j], "Wald"))),
              Strings{"Significance computed using F distribution, not Chi-square."});
    ExpectNear(NumberAt(*table, at(kTerms[j], "significance")), e.fsig[j]);
    const OmCellText* df = CellAt(*table, at(kTerms[j], "degrees of freedom"));
    ASSERT_NE(df, nullptr);
    ASSERT_EQ(df->OrderCode(), OmCellText::kOrderComposite);
    char expected[64];
    std::snprintf(expected, sizeof expected, "1, %.3f", e.df[j]);
    EXPECT_EQ(static_cast<const OmComposite*>(df)->Filled(), expected);
    if (j == 0) {
      EXPECT_EQ(CellAt(*table, at(kTerms[j], "Exp(B)")), nullptr);
      EXPECT_EQ(CellAt(*table, at(kTerms[j], shown + "#Lower Bound")), nullptr);
      continue;
    }
    ExpectNear(NumberAt(*table, at(kTerms[j], "Exp(B)")), std::exp(e.estimate[j]));
    ExpectNear(NumberAt(*table, at(kTerms[j], shown + "#Lower Bound")), std::exp(e.lower[j]));
    ExpectNear(NumberAt(*table, at(kTerms[j], shown + "#Upper Bound")), std::exp(e.upper[j]));
  }
}

TEST(MIColumnPattern, PoolingLibraryErrorsFootnoteTheKeyStatistic) {
  // Two imputations, one with a negative standard error for "age".
  MiFlagsReset reset;
  Harness h;
  h.Open("Regression");
  MiTable t(h.w, 0, "Coefficients", "Coefficients", {kImputation, "Variables", "Statistics"});
  for (int i = 1; i <= 2; ++i)
    for (std::size_t j = 0; j < 3; ++j) {
      t.Cell({std::to_string(i), kTerms[j], "B"}, kB[i - 1][j]);
      t.Cell({std::to_string(i), kTerms[j], "Std. Error"}, i == 2 && j == 1 ? -1 : kSE[i - 1][j]);
    }
  t.End();
  h.End();
  const auto* table = h.Find<OmPivotTable>("Coefficients");
  ASSERT_NE(table, nullptr);
  for (const std::string& term : kTerms) {
    const At at = {{kImputation, "Pooled"}, {"Variables", term}, {"Statistics", "B"}};
    EXPECT_EQ(NumberAt(*table, at), kSysmis);
    EXPECT_EQ(NotesOf(*table, CellAt(*table, at)),
              Strings{GetPoolingErrorString(omf::pooling::kMPInvalidStdError)});
    EXPECT_EQ(CellAt(*table, {{kImputation, "Pooled"}, {"Variables", term}, {"Statistics", "Std. Error"}}),
              nullptr);
  }
}

} // namespace
