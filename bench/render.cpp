// Rendering a 1000 x 1000 table of numbers (built as in bench/model.cpp) to JSON and to text, into a
// stream that counts and discards the bytes.
#include <benchmark/benchmark.h>

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include <omf/model/OutputTree.h>
#include <omf/model/PivotTable.h>
#include <omf/render/JsonRenderer.h>
#include <omf/render/TextRenderer.h>

using namespace omf;

namespace {

class CountingBuffer final : public std::streambuf {
public:
  std::size_t Count() const { return _count; }

protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) ++_count;
    return c;
  }
  std::streamsize xsputn(const char*, std::streamsize n) override {
    _count += static_cast<std::size_t>(n);
    return n;
  }

private:
  std::size_t _count = 0;
};

const OmOutputTree& Tree(int n) {
  static std::unique_ptr<OmOutputTree> tree;
  static int built = 0;
  if (built == n) return *tree;
  tree = std::make_unique<OmOutputTree>();
  auto table = std::make_unique<OmPivotTable>(OmStringCell("Big"), OmStringCell("Big"), false);
  const int rows = table->AddDimension(OmStringCell("Rows"));
  const int columns = table->AddDimension(OmStringCell("Columns"));
  table->Rows().Set(0, static_cast<short>(rows));
  table->Columns().Set(0, static_cast<short>(columns));
  OmDimension& rowDim = table->Dimension(rows);
  OmDimension& columnDim = table->Dimension(columns);
  for (int r = 0; r < n; ++r)
    rowDim.Child(&rowDim.Root(), OmStringCell("Row " + std::to_string(r)), r, false);
  for (int c = 0; c < n; ++c)
    columnDim.Child(&columnDim.Root(), OmNumber(c, MakeFormat(4, 5, 0)), c, false);
  OmNumber number(0, MakeFormat(8, 5, 2));
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c) {
      number.SetValue(r * 0.5 + c);
      table->SetCell({r, c}, CloneText(number));
    }
  tree->Append(0, std::move(table));
  built = n;
  return *tree;
}

template <class Renderer> void Render(benchmark::State& state) {
  const OmOutputTree& tree = Tree(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    CountingBuffer buffer;
    std::ostream out(&buffer);
    Renderer().Render(tree, out);
    bytes = buffer.Count();
  }
  state.counters["output_bytes"] = static_cast<double>(bytes);
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}

void BM_RenderJson(benchmark::State& state) {
  Render<omf::render::JsonRenderer>(state);
}
void BM_RenderText(benchmark::State& state) {
  Render<omf::render::TextRenderer>(state);
}
BENCHMARK(BM_RenderJson)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderText)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
