// Rubin's rules against reference values computed by established software (relative tolerance 1e-9),
// and the limits where the between or within variance vanishes.
#include "ReferenceFiles.h"
#include <omf/platform/pooling/MPFactory.h>
#include <omf/platform/status/SystemMissing.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

using namespace omf;

using MCCommon::kSystemMissing;

namespace {

constexpr double kRelTol = 1e-9;

void ExpectRel(double actual, double expected, const char* what) {
  EXPECT_NEAR(actual, expected, kRelTol * std::fabs(expected)) << what;
}

std::unique_ptr<IMPPoolCalculator> NewCalculator() {
  return std::unique_ptr<IMPPoolCalculator>(MPFactory::CreateMPCompAlgorithm());
}

// Adds imputations given as rows of estimates and standard errors (no standard errors: mode 1).
void AddAll(IMPPoolCalculator& calc, const std::vector<std::vector<double>>& estimates,
            const std::vector<std::vector<double>>& stdErrors) {
  MPParamContainer params;
  for (std::size_t i = 0; i < estimates.size(); ++i) {
    params.fMode = stdErrors.empty() ? 1 : 2;
    params.fParams = estimates[i];
    if (!stdErrors.empty()) params.fStdErrors = stdErrors[i];
    ASSERT_TRUE(calc.AddImputation(params).IsOK()) << "imputation " << i;
  }
}

} // namespace

TEST(RubinPooling, RegressionCoefficientsMatchReference) {
  const nlohmann::json ref = LoadReference("mi-regression-m5.json");
  const auto estimates = ref["estimates"].get<std::vector<std::vector<double>>>();
  const auto stdErrors = ref["stderrs"].get<std::vector<std::vector<double>>>();
  const double m = static_cast<double>(estimates.size());
  auto calc = NewCalculator();

  // One container reused for every imputation: AddImputation consumes what it holds.
  MPParamContainer params;
  for (std::size_t i = 0; i < estimates.size(); ++i) {
    params.fParams = estimates[i];
    params.fStdErrors = stdErrors[i];
    ASSERT_TRUE(calc->AddImputation(params).IsOK());
    EXPECT_TRUE(params.fParams.empty());
    EXPECT_TRUE(params.fStdErrors.empty());
  }
  EXPECT_EQ(calc->GetNumImputations(), estimates.size());

  MPParamContainer pooled;
  ASSERT_TRUE(calc->Pool(pooled).IsOK());
  std::vector<double> df, riv, fmi, eff, sig, t, lower, upper, df2, f, fsig;
  ASSERT_TRUE(calc->Diagnostics(df, riv, fmi, eff, sig).IsOK());
  ASSERT_TRUE(calc->TestStatistic(t, 0).IsOK());
  ASSERT_TRUE(calc->ConfidenceInterval(lower, upper, ref["level"].get<double>()).IsOK());
  ASSERT_TRUE(calc->DfAndSignificance({0, 0, 0}, df2, f, fsig).IsOK());

  const auto& terms = ref["pooled"];
  for (auto* list : {&pooled.fParams, &pooled.fVariances, &pooled.fPooledStdErrors, &df, &riv, &fmi, &eff,
                     &sig, &t, &lower, &upper, &df2, &f, &fsig})
    ASSERT_EQ(list->size(), terms.size());
  EXPECT_EQ(pooled.fMode, 2);
  for (std::size_t j = 0; j < terms.size(); ++j) {
    SCOPED_TRACE(ref["terms"][j].get<std::string>());
    const auto& e = terms[j];
    ExpectRel(pooled.fParams[j], e["estimate"], "estimate");
    ExpectRel(pooled.fVariances[j], e["between"], "between");
    ExpectRel(pooled.fPooledStdErrors[j], e["stderr"], "stderr");
    ExpectRel(pooled.fPooledStdErrors[j] * pooled.fPooledStdErrors[j], e["total"], "total");
    ExpectRel(riv[j] * e["within"].get<double>(), (1 + 1 / m) * e["between"].get<double>(), "within");
    ExpectRel(df[j], e["df"], "df");
    ExpectRel(riv[j], e["riv"], "riv");
    ExpectRel(fmi[j], e["fmi"], "fmi");
    ExpectRel(eff[j], e["efficiency"], "efficiency");
    ExpectRel(sig[j], e["sig"], "sig");
    ExpectRel(t[j], e["t"], "t");
    ExpectRel(lower[j], e["lower"], "lower");
    ExpectRel(upper[j], e["upper"], "upper");
    ExpectRel(df2[j], e["df"], "df of F");
    ExpectRel(f[j], e["F"], "F");
    ExpectRel(fsig[j], e["Fsig"], "Fsig");
  }
}

TEST(RubinPooling, CorrelationsOnFisherZScaleMatchReference) {
  const nlohmann::json ref = LoadReference("mi-correlation.json");
  const auto r = ref["r"].get<std::vector<double>>();
  const auto n = ref["n"].get<std::vector<double>>();
  auto calc = NewCalculator();
  for (std::size_t i = 0; i < r.size(); ++i) {
    MPParamContainer params; // a fresh container for every imputation
    params.fParams = {std::atanh(r[i])};
    params.fStdErrors = {1 / std::sqrt(n[i] - 3)};
    ASSERT_TRUE(calc->AddImputation(params).IsOK());
  }
  MPParamContainer pooled;
  ASSERT_TRUE(calc->Pool(pooled).IsOK());
  std::vector<double> df, f, sig;
  ASSERT_TRUE(calc->DfAndSignificance({0}, df, f, sig).IsOK());
  ExpectRel(pooled.fParams[0], ref["pooled_z"], "pooled z");
  ExpectRel(std::tanh(pooled.fParams[0]), ref["pooled_r"], "pooled r");
  ExpectRel(pooled.fPooledStdErrors[0] * pooled.fPooledStdErrors[0], ref["total"], "total");
  ExpectRel(df[0], ref["df"], "df");
  ExpectRel(sig[0], ref["sig"], "sig");
  EXPECT_NE(pooled.fVariances[0], 0);
}

// Three imputations, three parameters: equal estimates (B = 0), zero standard errors with varying
// estimates (U = 0), and both. With m = 3 the U = 0 case has 2 degrees of freedom, where Student's t has
// closed forms: P(|T| >= t) = 1 - t / sqrt(t^2 + 2) and quantile q(p) = (2p - 1) / sqrt(2p(1 - p)).
TEST(RubinPooling, LimitsWhenBetweenOrWithinVarianceVanishes) {
  auto calc = NewCalculator();
  AddAll(*calc, {{0.1, 1, 7}, {0.1, 2, 7}, {0.1, 3, 7}}, {{0.5, 0, 0}, {0.5, 0, 0}, {0.5, 0, 0}});
  MPParamContainer pooled;
  ASSERT_TRUE(calc->Pool(pooled).IsOK());
  std::vector<double> df, riv, fmi, eff, sig, t, lower, upper, df2, f, fsig;
  ASSERT_TRUE(calc->Diagnostics(df, riv, fmi, eff, sig).IsOK());
  ASSERT_TRUE(calc->TestStatistic(t, 0).IsOK());
  ASSERT_TRUE(calc->ConfidenceInterval(lower, upper, 0.95).IsOK());
  ASSERT_TRUE(calc->DfAndSignificance({0}, df2, f, fsig).IsOK());

  // B = 0: estimates 0.1 three times (not exact in binary, yet the variance must be exactly 0).
  EXPECT_EQ(pooled.fParams[0], 0.1);
  EXPECT_EQ(pooled.fVariances[0], 0);
  EXPECT_DOUBLE_EQ(pooled.fPooledStdErrors[0], 0.5);
  EXPECT_EQ(riv[0], 0);
  EXPECT_EQ(fmi[0], 0);
  EXPECT_EQ(eff[0], 1);
  EXPECT_EQ(df[0], kSystemMissing);
  EXPECT_EQ(sig[0], kSystemMissing);
  EXPECT_EQ(lower[0], kSystemMissing);
  EXPECT_EQ(upper[0], kSystemMissing);
  EXPECT_DOUBLE_EQ(t[0], 0.2);
  EXPECT_EQ(df2[0], kSystemMissing);
  EXPECT_DOUBLE_EQ(f[0], 0.04);
  EXPECT_EQ(fsig[0], kSystemMissing);

  // U = 0, B = 1: T = 4/3, t = 2 / sqrt(4/3) = sqrt(3).
  const double total = 4.0 / 3;
  const double p = 1 - std::sqrt(3.0) / std::sqrt(5.0);
  const double q = 0.95 / std::sqrt(2 * 0.975 * 0.025);
  EXPECT_DOUBLE_EQ(pooled.fVariances[1], 1);
  EXPECT_DOUBLE_EQ(pooled.fPooledStdErrors[1], std::sqrt(total));
  EXPECT_EQ(riv[1], std::numeric_limits<double>::infinity());
  EXPECT_EQ(df[1], 2);
  EXPECT_EQ(fmi[1], 1);
  EXPECT_DOUBLE_EQ(eff[1], 0.75);
  ExpectRel(sig[1], p, "sig, U = 0");
  ExpectRel(t[1], std::sqrt(3.0), "t, U = 0");
  ExpectRel(lower[1], 2 - q * std::sqrt(total), "lower, U = 0");
  ExpectRel(upper[1], 2 + q * std::sqrt(total), "upper, U = 0");
  ExpectRel(f[1], 3, "F, U = 0");
  ExpectRel(fsig[1], p, "F significance, U = 0");

  // B = 0 and U = 0: no spread at all, so no test.
  EXPECT_EQ(pooled.fVariances[2], 0);
  EXPECT_EQ(pooled.fPooledStdErrors[2], 0);
  EXPECT_EQ(t[2], kSystemMissing);
  EXPECT_EQ(f[2], kSystemMissing);
  EXPECT_EQ(sig[2], kSystemMissing);
}

TEST(RubinPooling, EstimatesOnlyGiveEstimateAndBetweenVariance) {
  auto calc = NewCalculator();
  AddAll(*calc, {{1, 10}, {3, 10}, {5, 10}}, {});
  MPParamContainer pooled;
  ASSERT_TRUE(calc->Pool(pooled).IsOK());
  EXPECT_EQ(pooled.fMode, 1);
  EXPECT_EQ(pooled.fParams, (std::vector<double>{3, 10}));
  EXPECT_EQ(pooled.fVariances, (std::vector<double>{4, 0}));
  EXPECT_TRUE(pooled.fPooledStdErrors.empty());
}

TEST(RubinPooling, TestValuesApplyToAllOrEachParameter) {
  auto calc = NewCalculator();
  AddAll(*calc, {{1, 4}, {3, 4}}, {{1, 1}, {1, 3}}); // T = 1 + 1.5 * 2 = 4 and 5 + 0 = 5
  MPParamContainer pooled;
  ASSERT_TRUE(calc->Pool(pooled).IsOK());
  std::vector<double> df, f, sig, t;
  ASSERT_TRUE(calc->DfAndSignificance({1}, df, f, sig).IsOK());
  EXPECT_DOUBLE_EQ(f[0], 0.25);
  EXPECT_DOUBLE_EQ(f[1], 9.0 / 5);
  ASSERT_TRUE(calc->DfAndSignificance({2, 4}, df, f, sig).IsOK());
  EXPECT_DOUBLE_EQ(f[0], 0);
  EXPECT_DOUBLE_EQ(f[1], 0);
  EXPECT_DOUBLE_EQ(sig[0], 1);
  ASSERT_TRUE(calc->TestStatistic(t, -2).IsOK());
  EXPECT_DOUBLE_EQ(t[0], 2);
  EXPECT_DOUBLE_EQ(t[1], 6 / std::sqrt(5.0));
}

TEST(RubinPooling, ResetStartsAnotherPool) {
  auto calc = NewCalculator();
  AddAll(*calc, {{1}, {2}}, {{1}, {1}});
  calc->Reset();
  EXPECT_EQ(calc->GetNumImputations(), 0u);
  AddAll(*calc, {{1, 2, 3}, {3, 4, 5}}, {}); // another parameter count and mode are fine now
  MPParamContainer pooled;
  ASSERT_TRUE(calc->Pool(pooled).IsOK());
  EXPECT_EQ(pooled.fParams, (std::vector<double>{2, 3, 4}));
}
