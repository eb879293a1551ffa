// Writing one big table as data: the 1000 x 1000 "Crosstabs" table of bench/Crosstab.h, played once
// through the factory, then reshaped into a data frame (the work of the exports and of to_pandas before
// pandas), and written as CSV into memory. Its two dimensions lie on the rows; the column dimension
// named by a column specification makes it a 1000 x 1000 frame. bench/to_pandas.py times the Python side.
#include <benchmark/benchmark.h>

#include <sstream>

#include "Crosstab.h"
#include <omf/export/CsvWriter.h>
#include <omf/export/ExportTables.h>
#include <omf/export/Session.h>
#include <omf/export/TableFrame.h>
#include <omf/selection/OMSColumns.h>
#include <omf/stream/MessageWriter.h>

namespace {

using namespace omf;

// The session holding the N x N table, played once per size.
const data::Session& Played(int n) {
  static std::unique_ptr<data::Session> session;
  static int size = 0;
  if (size != n) {
    session = std::make_unique<data::Session>(data::SessionOptions{});
    omf::bench::WriteCrosstab(session->Sink(), n);
    session->Finish();
    size = n;
  }
  return *session;
}

const OMSColumns& ByColumn() {
  static const OMSColumns byColumn = [] {
    OMSColumns columns;
    columns.AddColumn(std::string_view("Column variable"));
    return columns;
  }();
  return byColumn;
}

void BM_TableFrame(benchmark::State& state) {
  const data::Session& session = Played(static_cast<int>(state.range(0)));
  const data::ExportTable table = data::ExportTables(session.Tree(), session.Requests()).front();
  for (auto _ : state) {
    data::TableFrame frame = data::MakeTableFrame(*table.table, &ByColumn(), table.codePage);
    benchmark::DoNotOptimize(frame.Numbers().data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}
BENCHMARK(BM_TableFrame)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// The export as omf export does it: shape, then write.
void BM_ExportCsv(benchmark::State& state) {
  const data::Session& session = Played(static_cast<int>(state.range(0)));
  const data::ExportTable table = data::ExportTables(session.Tree(), session.Requests()).front();
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::ostringstream out;
    data::WriteCsv(data::MakeTableFrame(*table.table, &ByColumn(), table.codePage), out);
    bytes = out.str().size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}
BENCHMARK(BM_ExportCsv)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
