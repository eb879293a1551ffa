// Bootstrap results for 10,000 statistics of 1,000 bootstrap samples and 200 jackknife values each:
// each interval method, bias with standard error, and all of them together as a table of that many
// cells would need.
#include <omf/platform/bootstats/MCBSBCaCI.h>
#include <omf/platform/bootstats/MCBSPercentileCI.h>
#include <omf/platform/bootstats/MCBSStdErrorBias.h>

#include <benchmark/benchmark.h>

#include <random>

using namespace omf;

namespace {

constexpr std::size_t kStatistics = 10000;
constexpr std::size_t kSamples = 1000;
constexpr std::size_t kJackknife = 200;

struct Statistic {
  double observed;
  std::vector<double> samples;
  std::vector<double> jackknife;
};

// Skewed bootstrap distributions around each observed value, like those of a correlation.
const std::vector<Statistic>& Data() {
  static const std::vector<Statistic> data = [] {
    std::mt19937_64 gen(7);
    std::normal_distribution<double> noise;
    std::vector<Statistic> d(kStatistics);
    for (Statistic& s : d) {
      s.observed = 0.5 * std::tanh(noise(gen));
      const double z = std::atanh(s.observed);
      s.samples.resize(kSamples);
      for (double& v : s.samples)
        v = std::tanh(z + 0.2 * noise(gen));
      s.jackknife.resize(kJackknife);
      for (double& v : s.jackknife)
        v = std::tanh(z + 0.01 * noise(gen));
    }
    return d;
  }();
  return data;
}

const std::vector<double> kWeightSums = {static_cast<double>(kJackknife)};

void Percentile(const Statistic& s) {
  MCBSPercentileCI ci;
  ci.SetBootstrapStats(s.samples);
  benchmark::DoNotOptimize(ci.GetCI(0.95));
}

void BCa(const Statistic& s) {
  MCBSBCaCI ci(s.observed);
  ci.SetSumWeights(kWeightSums);
  ci.SetBootstrapStats(s.samples);
  for (double v : s.jackknife)
    ci.AddJackknifeStat(v, 1, 0);
  benchmark::DoNotOptimize(ci.GetCI(0.95));
}

void BiasAndStdError(const Statistic& s) {
  MCBSStdErrorBias seBias;
  for (double v : s.samples)
    seBias.AddBootstrapStat(v);
  benchmark::DoNotOptimize(seBias.GetBias(s.observed));
  benchmark::DoNotOptimize(seBias.GetStandardError());
}

template <void (*Work)(const Statistic&)> void BM_TenThousand(benchmark::State& state) {
  const auto& data = Data();
  for (auto _ : state)
    for (const Statistic& s : data)
      Work(s);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kStatistics));
}

void All(const Statistic& s) {
  Percentile(s);
  BCa(s);
  BiasAndStdError(s);
}

BENCHMARK_TEMPLATE(BM_TenThousand, Percentile)->Name("PercentileInterval")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_TenThousand, BCa)->Name("BCaInterval")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_TenThousand, BiasAndStdError)->Name("BiasAndStdError")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_TenThousand, All)->Name("AllFourResults")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
