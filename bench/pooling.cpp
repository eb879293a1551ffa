// Pooling 10,000 parameters over 100 imputations through the calculator, as one model with that many
// terms would be pooled: every imputation passed through one container, then Pool, then every result.
#include <omf/platform/pooling/MPFactory.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

using namespace omf;

namespace {

constexpr std::size_t kParameters = 10000;
constexpr std::size_t kImputations = 100;

struct Imputations {
  std::vector<std::vector<double>> estimates;
  std::vector<std::vector<double>> stdErrors;
};

const Imputations& Data() {
  static const Imputations data = [] {
    Imputations d;
    std::mt19937_64 gen(42);
    std::normal_distribution<double> noise;
    std::vector<double> truth(kParameters);
    for (double& t : truth)
      t = 5 * noise(gen);
    for (std::size_t i = 0; i < kImputations; ++i) {
      d.estimates.emplace_back(kParameters);
      d.stdErrors.emplace_back(kParameters);
      for (std::size_t j = 0; j < kParameters; ++j) {
        d.estimates[i][j] = truth[j] + 0.3 * noise(gen);
        d.stdErrors[i][j] = 0.5 + 0.05 * std::fabs(noise(gen));
      }
    }
    return d;
  }();
  return data;
}

std::unique_ptr<IMPPoolCalculator> AddAndPool(MPParamContainer& pooled) {
  const Imputations& d = Data();
  std::unique_ptr<IMPPoolCalculator> calc(MPFactory::CreateMPCompAlgorithm());
  MPParamContainer params;
  for (std::size_t i = 0; i < kImputations; ++i) {
    params.fParams.assign(d.estimates[i].begin(), d.estimates[i].end());
    params.fStdErrors.assign(d.stdErrors[i].begin(), d.stdErrors[i].end());
    calc->AddImputation(params);
  }
  calc->Pool(pooled);
  return calc;
}

void BM_AddImputationsAndPool(benchmark::State& state) {
  Data();
  for (auto _ : state) {
    MPParamContainer pooled;
    AddAndPool(pooled);
    benchmark::DoNotOptimize(pooled.fParams.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kParameters));
}
BENCHMARK(BM_AddImputationsAndPool)->Unit(benchmark::kMillisecond);

void BM_PoolWithEveryResult(benchmark::State& state) {
  Data();
  const std::vector<double> nulls(kParameters, 0.0);
  for (auto _ : state) {
    MPParamContainer pooled;
    auto calc = AddAndPool(pooled);
    std::vector<double> df, riv, fmi, eff, sig, t, lower, upper, f;
    calc->Diagnostics(df, riv, fmi, eff, sig);
    calc->TestStatistic(t, 0);
    calc->ConfidenceInterval(lower, upper, 0.95);
    calc->DfAndSignificance(nulls, df, f, sig);
    benchmark::DoNotOptimize(sig.data());
    benchmark::DoNotOptimize(upper.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kParameters));
}
BENCHMARK(BM_PoolWithEveryResult)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
