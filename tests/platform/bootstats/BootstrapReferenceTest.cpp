// Bias, standard error, percentile and BCa intervals of a bootstrapped correlation against reference
// values computed by established software (relative tolerance 1e-9).
#include <omf/platform/bootstats/MCBSBCaCI.h>
#include <omf/platform/bootstats/MCBSPercentileCI.h>
#include <omf/platform/bootstats/MCBSStdErrorBias.h>
#include "platform/pooling/ReferenceFiles.h" // shared with the pooling tests

#include <gtest/gtest.h>

#include <cmath>

using namespace omf;

namespace {

constexpr double kRelTol = 1e-9;

void ExpectRel(double actual, double expected, const char* what) {
  EXPECT_NEAR(actual, expected, kRelTol * std::fabs(expected)) << what;
}

} // namespace

TEST(BootstrapReference, CorrelationResultsMatchReference) {
  const nlohmann::json ref = LoadReference("boot-correlation.json");
  const double observed = ref["observed"];
  const auto samples = ref["samples"].get<std::vector<double>>();
  const auto jackknife = ref["jackknife"].get<std::vector<double>>();

  MCBSStdErrorBias seBias;
  for (double v : samples)
    seBias.AddBootstrapStat(v);
  ExpectRel(seBias.GetBias(observed), ref["bias"], "bias");
  ExpectRel(seBias.GetStandardError(), ref["stderr"], "standard error");

  MCBSPercentileCI percentile;
  percentile.SetBootstrapStats(samples);
  const auto [pLower, pUpper] = percentile.GetCI(0.95);
  ExpectRel(pLower, ref["percentile95"][0], "percentile lower");
  ExpectRel(pUpper, ref["percentile95"][1], "percentile upper");

  // Leave-one-out values: unit weights, one group whose weight sum is the number of cases.
  MCBSBCaCI bca(observed);
  bca.SetSumWeights({static_cast<double>(jackknife.size())});
  bca.SetBootstrapStats(samples);
  for (double v : jackknife)
    bca.AddJackknifeStat(v, 1, 0);
  const auto [bLower, bUpper] = bca.GetCI(0.95);
  ExpectRel(bLower, ref["bca95"][0], "BCa lower");
  ExpectRel(bUpper, ref["bca95"][1], "BCa upper");
}
