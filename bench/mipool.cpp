// Pooling multiply imputed tables as the finish step does, through OmMIPooler: a regression's
// "Coefficients" table (4 and 1,000 terms over 100 imputations) and a 200 x 200 correlation matrix over 20
// imputations. Each iteration pools a fresh copy of the table; building the copy is not timed.
#include <omf/mipool/MIPooler.h>
#include <omf/model/PivotTable.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>

using namespace omf;

namespace {

constexpr std::uint32_t kThree = MakeFormat(8, 5, 3);

int AddLeaves(OmPivotTable& table, const OmCellText& label, const std::vector<std::string>& names) {
  const int d = table.AddDimension(label);
  OmDimension& dim = table.Dimension(d);
  for (const std::string& name : names)
    dim.Child(&dim.Root(), OmStringCell(name), dim.Size(), false);
  return d;
}

int AddImputations(OmPivotTable& table, int m) {
  const int d = table.AddDimension(OmVariable("Imputation_", "Imputation Number", OmCellText::kModeNotSet));
  OmDimension& dim = table.Dimension(d);
  for (int i = 0; i <= m; ++i)
    dim.Child(&dim.Root(), OmNumDataValue("Imputation_", i, MakeFormat(4, 5, 0), "", OmCellText::kModeNotSet),
              dim.Size(), false);
  return d;
}

void Set(OmPivotTable& table, const std::vector<int>& at, double value) {
  table.SetCell(at, OmCellTextPtr(new OmNumber(value, kThree)));
}

// Imputation 0 is the original data; imputations 1 to m are pooled.
std::unique_ptr<OmPivotTable> Coefficients(int terms, int m) {
  auto table =
      std::make_unique<OmPivotTable>(OmStringCell("Coefficients"), OmStringCell("Coefficients"), false);
  const int imp = AddImputations(*table, m);
  std::vector<std::string> names;
  for (int j = 0; j < terms; ++j)
    names.push_back(std::string("x").append(std::to_string(j)));
  const int term = AddLeaves(*table, OmStringCell("Variables"), names);
  const int stats = AddLeaves(*table, OmStringCell("Statistics"), {"B", "Std. Error", "t", "Significance"});
  OmDimension& s = table->Dimension(stats);
  const OmComposite interval = [] {
    OmComposite c(OmStringCell("^1 Confidence Interval for B"));
    c.Add(OmNumber(95, MakeFormat(3, 5, 0)));
    c.End();
    return c;
  }();
  OmDimensionNode* group = s.Child(&s.Root(), interval, -1, true);
  const int lower = s.Child(group, OmStringCell("Lower Bound"), s.Size(), false)->Subscript();
  const int upper = s.Child(group, OmStringCell("Upper Bound"), s.Size(), false)->Subscript();
  std::mt19937_64 gen(7);
  std::normal_distribution<double> noise;
  std::vector<int> at(3);
  for (int i = 0; i <= m; ++i)
    for (int j = 0; j < terms; ++j) {
      at[static_cast<std::size_t>(imp)] = i;
      at[static_cast<std::size_t>(term)] = j;
      const double b = j % 7 + 0.2 * noise(gen), se = 0.5 + 0.05 * std::fabs(noise(gen));
      const double values[] = {b, se, b / se, 0.05, b - 2 * se, b + 2 * se};
      const int cats[] = {0, 1, 2, 3, lower, upper};
      for (int k = 0; k < 6; ++k) {
        at[static_cast<std::size_t>(stats)] = cats[k];
        Set(*table, at, values[k]);
      }
    }
  return table;
}

std::unique_ptr<OmPivotTable> Correlations(int variables, int m) {
  auto table =
      std::make_unique<OmPivotTable>(OmStringCell("Correlations"), OmStringCell("Correlations"), false);
  std::vector<std::string> names;
  for (int v = 0; v < variables; ++v)
    names.push_back(std::string("v").append(std::to_string(v)));
  const int imp = AddImputations(*table, m);
  const int rows = AddLeaves(*table, OmStringCell("Rows"), names);
  const int stats =
      AddLeaves(*table, OmStringCell("Statistics"), {"Pearson Correlation", "Significance(2-tailed)", "N"});
  const int cols = AddLeaves(*table, OmStringCell("Columns"), names);
  std::mt19937_64 gen(11);
  std::uniform_real_distribution<double> r(-0.6, 0.6);
  std::vector<int> at(4);
  for (int i = 1; i <= m; ++i)
    for (int a = 0; a < variables; ++a)
      for (int b = 0; b < variables; ++b) {
        at[static_cast<std::size_t>(imp)] = i;
        at[static_cast<std::size_t>(rows)] = a;
        at[static_cast<std::size_t>(cols)] = b;
        at[static_cast<std::size_t>(stats)] = 0;
        Set(*table, at, a == b ? 1.0 : r(gen));
        at[static_cast<std::size_t>(stats)] = 2;
        Set(*table, at, 100);
      }
  return table;
}

template <class Make> void Pool(benchmark::State& state, const char* procedure, Make make) {
  const OmStringCell title(procedure);
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<OmPivotTable> table = make();
    state.ResumeTiming();
    OmMIPooler pooler(title, nullptr);
    table->Accept(pooler);
    benchmark::DoNotOptimize(pooler.drop);
    state.PauseTiming();
    table.reset();
    state.ResumeTiming();
  }
}

void BM_Coefficients4Terms100Imputations(benchmark::State& state) {
  Pool(state, "Regression", [] { return Coefficients(4, 100); });
}
void BM_Coefficients1000Terms100Imputations(benchmark::State& state) {
  Pool(state, "Regression", [] { return Coefficients(1000, 100); });
}
void BM_CorrelationMatrix200x200With20Imputations(benchmark::State& state) {
  Pool(state, "Correlations", [] { return Correlations(200, 20); });
}

} // namespace

BENCHMARK(BM_Coefficients4Terms100Imputations)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Coefficients1000Terms100Imputations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorrelationMatrix200x200With20Imputations)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
