// Building an N x N table of numbers the way the table builder does: for every cell, its row and column
// categories are looked up by label (FindChild) and added when missing (Child), then a clone of a number
// is stored. Rows are labelled by strings, columns by numbers. Counters: cells per second, and the bytes
// each stored cell costs, measured as the growth of the heap in use while the table is built (mallinfo2:
// bytes in use in the arena plus bytes in mmapped blocks, where the large arrays live), with the share of
// the texts (the default region's live bytes) beside it.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <string>

#include <omf/model/PivotTable.h>

using namespace omf;

namespace {

struct Built {
  std::unique_ptr<OmPivotTable> table;
  double heapBytes = 0;
  double textBytes = 0;
};

std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

Built BuildTable(int n) {
  const std::size_t heapBefore = HeapInUse();
  const std::size_t textBefore = OmMemoryRegion::DefaultHeap()->LiveBytes();
  auto table = std::make_unique<OmPivotTable>(OmStringCell("Big"), OmStringCell("Big"), false);
  const int rows = table->AddDimension(OmStringCell("Rows"));
  const int columns = table->AddDimension(OmStringCell("Columns"));
  OmDimension& rowDim = table->Dimension(rows);
  OmDimension& columnDim = table->Dimension(columns);
  OmNumber number(0, MakeFormat(8, 5, 2));
  std::vector<int> at(2);
  for (int r = 0; r < n; ++r) {
    const OmStringCell rowLabel("Row " + std::to_string(r));
    for (int c = 0; c < n; ++c) {
      int i = rowDim.FindChild(&rowDim.Root(), rowLabel, false);
      if (i < 0) {
        rowDim.Child(&rowDim.Root(), rowLabel, table->Size(rows), false);
        i = static_cast<int>(rowDim.Root().ChildCount()) - 1;
      }
      at[static_cast<std::size_t>(rows)] = rowDim.Root().Child(static_cast<std::size_t>(i)).Subscript();
      const OmNumber columnLabel(c, MakeFormat(4, 5, 0));
      int j = columnDim.FindChild(&columnDim.Root(), columnLabel, false);
      if (j < 0) {
        columnDim.Child(&columnDim.Root(), columnLabel, table->Size(columns), false);
        j = static_cast<int>(columnDim.Root().ChildCount()) - 1;
      }
      at[static_cast<std::size_t>(columns)] = columnDim.Root().Child(static_cast<std::size_t>(j)).Subscript();
      number.SetValue(r * 0.5 + c);
      table->SetCell(at, CloneText(number));
    }
  }
  const double cells = static_cast<double>(n) * n;
  return Built{std::move(table), static_cast<double>(HeapInUse() - heapBefore) / cells,
               static_cast<double>(OmMemoryRegion::DefaultHeap()->LiveBytes() - textBefore) / cells};
}

void BM_BuildTable(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Built built;
  for (auto _ : state) {
    built = BuildTable(n);
    if (built.table->CellCount() != static_cast<std::size_t>(n) * static_cast<std::size_t>(n))
      state.SkipWithError("cells lost");
    state.PauseTiming();
    built.table.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n * n);
  state.counters["bytes_per_cell"] = built.heapBytes;
  state.counters["text_bytes_per_cell"] = built.textBytes;
}
BENCHMARK(BM_BuildTable)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
