// Playing a recorded stream through OmFactory: one "Crosstabs" table of N x N numeric cells sent as a
// back end sends it (bench/Crosstab.h).
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include <omf/factory/Factory.h>
#include <omf/factory/FactorySink.h>
#include <omf/model/OutputTree.h>
#include <omf/selection/OMSObjectSelector.h>
#include <omf/stream/MessageWriter.h>

#include "Crosstab.h"

using namespace omf;

namespace {

using omf::stream::RecordingSink;
using omf::stream::StreamRecord;

using omf::bench::WriteCrosstab;

std::vector<StreamRecord> Crosstab(int n) {
  RecordingSink sink;
  WriteCrosstab(sink, n);
  return sink.Take();
}

struct Keep : OmFactory::Observer {
  bool KeepProcedure() override { return true; }
};

void BM_PlayCrosstab(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<StreamRecord> records = Crosstab(n);
  const std::vector<OMSObjectSelector> none;
  for (auto _ : state) {
    OmOutputTree tree;
    OmFactory factory(&tree, "", "UTF-8", none);
    Keep keep;
    factory.Register(&keep);
    for (StreamRecord& r : records)
      factory.Message(r.type, static_cast<unsigned>(r.payload.size()), r.payload.data());
    benchmark::DoNotOptimize(tree.Count());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * records.size()));
  state.counters["messages"] = static_cast<double>(records.size());
}
BENCHMARK(BM_PlayCrosstab)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// Peak memory of the process (VmHWM), in megabytes, after playing the 1000 x 1000 stream once as it is
// written (run this benchmark alone: --benchmark_filter=PeakMemory).
void BM_PeakMemory(benchmark::State& state) {
  for (auto _ : state) {
    OmOutputTree tree;
    const std::vector<OMSObjectSelector> none;
    OmFactory factory(&tree, "", "UTF-8", none);
    Keep keep;
    factory.Register(&keep);
    omf::stream::FactorySink sink(
        factory); // each message goes in as it is written: only the factory's memory
    WriteCrosstab(sink, 1000);
  }
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) state.counters["peak_MB"] = std::stod(line.substr(6)) / 1024.0;
}
BENCHMARK(BM_PeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
