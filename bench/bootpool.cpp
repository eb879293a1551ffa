// Bootstrap pooling of a 100 x 100 correlation matrix with 1,000 bootstrap samples and 100 jackknife
// samples: 11 million stored cells, pooled as a bootstrapped "Correlations" procedure's table is (bias,
// standard error and BCa interval for each of its 10,000 correlations). Reports, apart from building the
// table: the removal of per-sample output, the pooling pass and the sweep that takes the samples' cells
// out of the table's storage, each in wall-clock and in this thread's CPU time (the machine may be
// shared), the pooling and sweep together per statistic, and the peak memory beyond the table per
// stored cell.
#include <omf/bootpool/OmBootPooler.h>
#include <omf/platform/bootspec/SvrBootstrapSpecs.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <random>
#include <time.h>

using namespace omf;

namespace {

// Plain counters: the benchmark allocates on one thread only, and an atomic operation per allocation
// would cost the sweep, which frees eleven million cells, about as much as the freeing itself.
long long gLive = 0;
long long gPeak = 0;

void Count(long long bytes) {
  gLive += bytes;
  if (gLive > gPeak) gPeak = gLive;
}

// This thread's CPU time in milliseconds.
double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

constexpr int kVariables = 100;
constexpr int kSamples = 1000;
constexpr int kJackknife = 100;

// The procedure's tree: the procedure, its title block and the correlation table.
struct Procedure {
  OmOutputTree tree;
  OmPivotTable* table = nullptr;
  std::size_t cells = 0;

  Procedure() {
    const OmStringCell title("Correlations", nullptr, true);
    const std::size_t proc =
        tree.Append(0, std::make_unique<OmProcedure>(title, "English", "UTF-8", "en_US"));
    tree.Append(proc, std::make_unique<OmTextBlock>(title, "UTF-8"));
    auto made = std::make_unique<OmPivotTable>(title, title, false);
    OmPivotTable& t = *made;
    const int split = t.AddDimension(OmVariable("$bootstrap_split", "", OmCellText::kModeNotSet));
    const int rows = t.AddDimension(OmStringCell("Variables"));
    const int cols = t.AddDimension(OmStringCell("Variables2"));
    const int stats = t.AddDimension(OmStringCell("Statistics"));
    for (int s = 0; s < 1 + kSamples + kJackknife; ++s)
      t.Dimension(split).Child(
          &t.Dimension(split).Root(),
          OmNumDataValue("$bootstrap_split", s, MakeFormat(5, 5, 0), "", OmCellText::kModeNotSet), s, false);
    for (int d : {rows, cols})
      for (int v = 0; v < kVariables; ++v)
        t.Dimension(d).Child(&t.Dimension(d).Root(),
                             OmStringCell(std::string(1, 'v').append(std::to_string(v))), v, false);
    t.Dimension(stats).Child(&t.Dimension(stats).Root(), OmStringCell("Pearson Correlation"), 0, false);
    t.Rows().Items() = {static_cast<short>(rows), static_cast<short>(stats)};
    t.Columns().Items() = {static_cast<short>(cols)};
    t.Layers().Items() = {static_cast<short>(split)};
    std::mt19937_64 gen(11);
    std::normal_distribution<double> noise;
    for (int i = 0; i < kVariables; ++i)
      for (int j = 0; j < kVariables; ++j) {
        const double r = i == j ? 1 : 0.6 * std::tanh(noise(gen));
        const double z = std::atanh(std::min(r, 0.999));
        for (int s = 0; s < 1 + kSamples + kJackknife; ++s) {
          const double spread = s == 0 ? 0 : s <= kSamples ? 0.1 : 0.01;
          const double v = i == j ? 1 : std::tanh(z + spread * noise(gen));
          t.SetCell({s, i, j, 0}, OmCellTextPtr(new OmNumber(v, MakeFormat(8, 5, 3))));
        }
      }
    cells = t.CellCount();
    table = &t;
    tree.Append(proc, std::move(made));
  }
};

SvrBootstrapSpecs Specification() {
  SvrBootstrapSpecs specs;
  specs.SetNSamples(kSamples);
  specs.SetJackknifeCases(std::vector<SvrJackknifeCase>(kJackknife, SvrJackknifeCase{1, 0}));
  return specs;
}

void BM_PoolCorrelationMatrix(benchmark::State& state) {
  const SvrBootstrapSpecs specs = Specification();
  for (auto _ : state) {
    state.PauseTiming();
    auto procedure = std::make_unique<Procedure>();
    const long long before = gLive;
    gPeak = before;
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = CpuMs();
    OmBootPooler pooler(procedure->tree.Part(2)->Title(), procedure->tree, 1, &specs);
    const auto t1 = std::chrono::steady_clock::now();
    const double c1 = CpuMs();
    procedure->table->Accept(pooler);
    const auto t2 = std::chrono::steady_clock::now();
    const double c2 = CpuMs();
    // The cells of the samples leave the table's storage on its next use.
    benchmark::DoNotOptimize(procedure->table->CellCount());
    const auto t3 = std::chrono::steady_clock::now();
    const double c3 = CpuMs();
    state.PauseTiming();
    const auto ms = [](auto a, auto b) { return std::chrono::duration<double, std::milli>(b - a).count(); };
    constexpr double kStatistics = kVariables * kVariables;
    state.counters["removal ms"] = ms(t0, t1);
    state.counters["pooling ms"] = ms(t1, t2);
    state.counters["sweep ms"] = ms(t2, t3);
    state.counters["removal cpu ms"] = c1 - c0;
    state.counters["pooling cpu ms"] = c2 - c1;
    state.counters["sweep cpu ms"] = c3 - c2;
    state.counters["pool+sweep us/stat"] = ms(t1, t3) * 1e3 / kStatistics;
    state.counters["pool+sweep cpu us/stat"] = (c3 - c1) * 1e3 / kStatistics;
    state.counters["cells"] = static_cast<double>(procedure->cells);
    state.counters["peak bytes per cell"] =
        static_cast<double>(gPeak - before) / static_cast<double>(procedure->cells);
    procedure.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PoolCorrelationMatrix)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

// Every allocation is counted, so that the peak of the pooling can be told apart from the table.
void* operator new(std::size_t bytes) {
  void* p = std::malloc(bytes ? bytes : 1);
  if (p == nullptr) throw std::bad_alloc();
  Count(static_cast<long long>(malloc_usable_size(p)));
  return p;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  Count(-static_cast<long long>(malloc_usable_size(p)));
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  operator delete(p);
}

BENCHMARK_MAIN();
