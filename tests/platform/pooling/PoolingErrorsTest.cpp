// Every error code of the pool calculator, reached through the calls that callers make, and its text.
#include "platform/pooling/PoolingErrors.h"
#include "platform/pooling/MPFactory.h"
#include "platform/status/SystemMissing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <string>

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

// Two valid imputations of two parameters with standard errors, then Pool.
void PoolTwo(IMPPoolCalculator& calc, int mode = 2) {
  ASSERT_TRUE(
      Add(calc, Imputation({1, 2}, mode == 2 ? std::vector<double>{1, 1} : std::vector<double>{}, mode))
          .IsOK());
  ASSERT_TRUE(
      Add(calc, Imputation({2, 3}, mode == 2 ? std::vector<double>{1, 1} : std::vector<double>{}, mode))
          .IsOK());
  MPParamContainer pooled;
  ASSERT_TRUE(calc.Pool(pooled).IsOK());
}

MCStatus Diagnose(IMPPoolCalculator& calc) {
  std::vector<double> a, b, c, d, e;
  return calc.Diagnostics(a, b, c, d, e);
}

MCStatus Interval(IMPPoolCalculator& calc, double level) {
  std::vector<double> lower, upper;
  return calc.ConfidenceInterval(lower, upper, level);
}

} // namespace

TEST(PoolingErrors, EveryErrorCodeIsReachedAndReported) {
  struct Case {
    const char* what;
    std::function<MCStatus(IMPPoolCalculator&)> run;
    long code;
  };
  const std::vector<Case> cases = {
      {"Pool without imputations",
       [](auto& c) {
         MPParamContainer p;
         return c.Pool(p);
       },
       kMPTooFewImputations},
      {"Pool with one imputation",
       [](auto& c) {
         Add(c, Imputation({1}, {1}));
         MPParamContainer p;
         return c.Pool(p);
       },
       kMPTooFewImputations},
      {"parameter count differs",
       [](auto& c) {
         Add(c, Imputation({1, 2, 3}, {1, 1, 1}));
         return Add(c, Imputation({1, 2}, {1, 1}));
       },
       kMPParameterCountDiffers},
      {"fewer standard errors than estimates",
       [](auto& c) {
         return Add(c, Imputation({1, 2}, {1}));
       },
       kMPStdErrorCountMismatch},
      {"no standard errors in mode 2",
       [](auto& c) {
         return Add(c, Imputation({1, 2}, {}));
       },
       kMPStdErrorCountMismatch},
      {"missing standard error",
       [](auto& c) {
         return Add(c, Imputation({1, 2}, {1, kSystemMissing}));
       },
       kMPInvalidStdError},
      {"negative standard error",
       [](auto& c) {
         return Add(c, Imputation({1, 2}, {-0.5, 1}));
       },
       kMPInvalidStdError},
      {"infinite standard error",
       [](auto& c) {
         return Add(c, Imputation({1, 2}, {1, kInf}));
       },
       kMPInvalidStdError},
      {"NaN standard error",
       [](auto& c) {
         return Add(c, Imputation({1, 2}, {kNaN, 1}));
       },
       kMPInvalidStdError},
      {"NaN estimate",
       [](auto& c) {
         return Add(c, Imputation({kNaN, 2}, {1, 1}));
       },
       kMPInvalidEstimate},
      {"infinite estimate",
       [](auto& c) {
         return Add(c, Imputation({1, -kInf}, {1, 1}));
       },
       kMPInvalidEstimate},
      {"missing estimate", [](auto& c) { return Add(c, Imputation({kSystemMissing}, {}, 1)); },
       kMPInvalidEstimate},
      {"diagnostics in mode 1",
       [](auto& c) {
         PoolTwo(c, 1);
         return Diagnose(c);
       },
       kMPNoStdErrors},
      {"interval in mode 1",
       [](auto& c) {
         PoolTwo(c, 1);
         return Interval(c, 0.95);
       },
       kMPNoStdErrors},
      {"test statistic in mode 1",
       [](auto& c) {
         PoolTwo(c, 1);
         std::vector<double> t;
         return c.TestStatistic(t, 0);
       },
       kMPNoStdErrors},
      {"df and significance in mode 1",
       [](auto& c) {
         PoolTwo(c, 1);
         std::vector<double> df, f, sig;
         return c.DfAndSignificance({0}, df, f, sig);
       },
       kMPNoStdErrors},
      {"results before Pool",
       [](auto& c) {
         Add(c, Imputation({1}, {1}));
         Add(c, Imputation({2}, {1}));
         return Diagnose(c);
       },
       kMPNotPooled},
      {"results after a later imputation",
       [](auto& c) {
         PoolTwo(c);
         Add(c, Imputation({3, 4}, {1, 1}));
         std::vector<double> t;
         return c.TestStatistic(t, 0);
       },
       kMPNotPooled},
      {"mode changes",
       [](auto& c) {
         Add(c, Imputation({1}, {1}));
         return Add(c, Imputation({1}, {}, 1));
       },
       kMPModeDiffers},
      {"mode 0", [](auto& c) { return Add(c, Imputation({1}, {1}, 0)); }, kMPUnknownMode},
      {"mode 3", [](auto& c) { return Add(c, Imputation({1}, {1}, 3)); }, kMPUnknownMode},
      {"no estimates", [](auto& c) { return Add(c, Imputation({}, {})); }, kMPNoEstimates},
      {"three test values for two parameters",
       [](auto& c) {
         PoolTwo(c);
         std::vector<double> df, f, sig;
         return c.DfAndSignificance({0, 0, 0}, df, f, sig);
       },
       kMPNullValueCount},
      {"no test values",
       [](auto& c) {
         PoolTwo(c);
         std::vector<double> df, f, sig;
         return c.DfAndSignificance({}, df, f, sig);
       },
       kMPNullValueCount},
      {"level 0",
       [](auto& c) {
         PoolTwo(c);
         return Interval(c, 0);
       },
       kMPInvalidLevel},
      {"level 1",
       [](auto& c) {
         PoolTwo(c);
         return Interval(c, 1);
       },
       kMPInvalidLevel},
      {"level in percent",
       [](auto& c) {
         PoolTwo(c);
         return Interval(c, 95);
       },
       kMPInvalidLevel},
      {"level NaN",
       [](auto& c) {
         PoolTwo(c);
         return Interval(c, kNaN);
       },
       kMPInvalidLevel},
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
