// Every error code of the pool calculator, reached through the calls that callers make, and its text.
#include <omf/platform/pooling/MPFactory.h>
#include <omf/platform/pooling/PoolingErrors.h>
#include <omf/platform/status/SystemMissing.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <string>

using namespace omf;

using MCCommon::kSystemMissing;
using MCCommon::MCStatus;
using namespace omf::pooling;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

MPParamContainer Imputation(std::vector<double> estimates, std::vector<double> stdErrors, int mode = 2) {
  MPParamContainer params;
  params.fMode = mode;
  params.fParams = std::move(estimates);
  params.fStdErrors = std::move(stdErrors);
  return params;
}

MCStatus Add(IMPPoolCalculator& calc, MPParamContainer params) {
  return calc.AddImputation(params);
}

using Step = std::function<MCStatus(IMPPoolCalculator&)>;

// Adds one imputation.
Step Adds(std::vector<double> estimates, std::vector<double> stdErrors, int mode = 2) {
  return [=](IMPPoolCalculator& c) { return Add(c, Imputation(estimates, stdErrors, mode)); };
}

// Runs the steps in turn; the status of the last one counts.
Step Then(std::vector<Step> steps) {
  return [=](IMPPoolCalculator& c) {
    MCStatus status;
    for (const Step& step : steps)
      status = step(c);
    return status;
  };
}

MCStatus Pool(IMPPoolCalculator& c) {
  MPParamContainer pooled;
  return c.Pool(pooled);
}

// Two valid imputations of two parameters (with standard errors in mode 2), pooled without an error.
Step PoolTwo(int mode = 2) {
  const std::vector<double> se = mode == 2 ? std::vector<double>{1, 1} : std::vector<double>{};
  return [=](IMPPoolCalculator& c) {
    EXPECT_TRUE(Add(c, Imputation({1, 2}, se, mode)).IsOK());
    EXPECT_TRUE(Add(c, Imputation({2, 3}, se, mode)).IsOK());
    EXPECT_TRUE(Pool(c).IsOK());
    return MCStatus();
  };
}

MCStatus Diagnose(IMPPoolCalculator& calc) {
  std::vector<double> a, b, c, d, e;
  return calc.Diagnostics(a, b, c, d, e);
}

Step Interval(double level) {
  return [=](IMPPoolCalculator& c) {
    std::vector<double> lower, upper;
    return c.ConfidenceInterval(lower, upper, level);
  };
}

MCStatus TestStatistic(IMPPoolCalculator& c) {
  std::vector<double> t;
  return c.TestStatistic(t, 0);
}

Step Significance(std::vector<double> nullValues) {
  return [=](IMPPoolCalculator& c) {
    std::vector<double> df, f, sig;
    return c.DfAndSignificance(nullValues, df, f, sig);
  };
}

} // namespace

TEST(PoolingErrors, EveryErrorCodeIsReachedAndReported) {
  struct Case {
    const char* what;
    Step run;
    long code;
  };
  const std::vector<Case> cases = {
      {"Pool without imputations", Pool, kMPTooFewImputations},
      {"Pool with one imputation", Then({Adds({1}, {1}), Pool}), kMPTooFewImputations},
      {"parameter count differs", Then({Adds({1, 2, 3}, {1, 1, 1}), Adds({1, 2}, {1, 1})}),
       kMPParameterCountDiffers},
      {"fewer standard errors than estimates", Adds({1, 2}, {1}), kMPStdErrorCountMismatch},
      {"no standard errors in mode 2", Adds({1, 2}, {}), kMPStdErrorCountMismatch},
      {"missing standard error", Adds({1, 2}, {1, kSystemMissing}), kMPInvalidStdError},
      {"negative standard error", Adds({1, 2}, {-0.5, 1}), kMPInvalidStdError},
      {"infinite standard error", Adds({1, 2}, {1, kInf}), kMPInvalidStdError},
      {"NaN standard error", Adds({1, 2}, {kNaN, 1}), kMPInvalidStdError},
      {"NaN estimate", Adds({kNaN, 2}, {1, 1}), kMPInvalidEstimate},
      {"infinite estimate", Adds({1, -kInf}, {1, 1}), kMPInvalidEstimate},
      {"missing estimate", Adds({kSystemMissing}, {}, 1), kMPInvalidEstimate},
      {"diagnostics in mode 1", Then({PoolTwo(1), Diagnose}), kMPNoStdErrors},
      {"interval in mode 1", Then({PoolTwo(1), Interval(0.95)}), kMPNoStdErrors},
      {"test statistic in mode 1", Then({PoolTwo(1), TestStatistic}), kMPNoStdErrors},
      {"df and significance in mode 1", Then({PoolTwo(1), Significance({0})}), kMPNoStdErrors},
      {"results before Pool", Then({Adds({1}, {1}), Adds({2}, {1}), Diagnose}), kMPNotPooled},
      {"results after a later imputation", Then({PoolTwo(), Adds({3, 4}, {1, 1}), TestStatistic}),
       kMPNotPooled},
      {"mode changes", Then({Adds({1}, {1}), Adds({1}, {}, 1)}), kMPModeDiffers},
      {"mode 0", Adds({1}, {1}, 0), kMPUnknownMode},
      {"mode 3", Adds({1}, {1}, 3), kMPUnknownMode},
      {"no estimates", Adds({}, {}), kMPNoEstimates},
      {"three test values for two parameters", Then({PoolTwo(), Significance({0, 0, 0})}), kMPNullValueCount},
      {"no test values", Then({PoolTwo(), Significance({})}), kMPNullValueCount},
      {"level 0", Then({PoolTwo(), Interval(0)}), kMPInvalidLevel},
      {"level 1", Then({PoolTwo(), Interval(1)}), kMPInvalidLevel},
      {"level in percent", Then({PoolTwo(), Interval(95)}), kMPInvalidLevel},
      {"level NaN", Then({PoolTwo(), Interval(kNaN)}), kMPInvalidLevel},
  };
  std::set<long> reached;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<IMPPoolCalculator> calc(MPFactory::CreateMPCompAlgorithm());
    const MCStatus status = c.run(*calc);
    EXPECT_FALSE(status.IsOK());
    EXPECT_EQ(status.GetErrorCode(), c.code);
    reached.insert(c.code);
  }
  EXPECT_EQ(reached.size(), static_cast<std::size_t>(kMPLastErrorCode)) << "every code has a case";
}

TEST(PoolingErrors, EveryCodeHasItsOwnText) {
  std::set<std::string> texts;
  for (long code = 0; code <= kMPLastErrorCode; ++code) {
    const std::string text = GetPoolingErrorString(code);
    EXPECT_GT(text.size(), 10u) << code;
    EXPECT_EQ(text.back(), '.') << code;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), static_cast<std::size_t>(kMPLastErrorCode + 1));
  EXPECT_STREQ(GetPoolingErrorString(kMPTooFewImputations), "Pooling needs at least two imputations.");
  const std::string unknown = GetPoolingErrorString(-1);
  EXPECT_EQ(unknown, GetPoolingErrorString(kMPLastErrorCode + 1));
  EXPECT_EQ(texts.count(unknown), 0u);
}

// A rejected imputation changes nothing, the container is emptied all the same, and failed calls still
// give one missing value per parameter so that callers that skip the status read no garbage.
TEST(PoolingErrors, RejectedImputationLeavesTheCalculatorAsItWas) {
  std::unique_ptr<IMPPoolCalculator> calc(MPFactory::CreateMPCompAlgorithm());
  ASSERT_TRUE(Add(*calc, Imputation({1, 2}, {1, 1})).IsOK());
  MPParamContainer bad = Imputation({5, kNaN}, {1, 1});
  EXPECT_EQ(calc->AddImputation(bad).GetErrorCode(), kMPInvalidEstimate);
  EXPECT_TRUE(bad.fParams.empty());
  EXPECT_TRUE(bad.fStdErrors.empty());
  EXPECT_EQ(calc->GetNumImputations(), 1u);

  std::vector<double> lower = {42}, upper;
  EXPECT_EQ(calc->ConfidenceInterval(lower, upper, 0.95).GetErrorCode(), kMPNotPooled);
  EXPECT_EQ(lower, (std::vector<double>{kSystemMissing, kSystemMissing}));
  EXPECT_EQ(upper, lower);

  ASSERT_TRUE(Add(*calc, Imputation({3, 2}, {1, 1})).IsOK());
  MPParamContainer pooled;
  ASSERT_TRUE(calc->Pool(pooled).IsOK());
  EXPECT_EQ(pooled.fParams, (std::vector<double>{2, 2}));
  EXPECT_EQ(pooled.fVariances, (std::vector<double>{2, 0}));
}
