// A generated 300 x 300 crosstab (the benchmarks' stream) played through the factory and rendered in
// every format: the hashes of the outputs are pinned, so that changing how cells are stored, built or
// streamed cannot change a byte of what a user gets.
#include <cstdint>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include <omf/model/PivotTable.h>
#include <omf/render/HtmlRenderer.h>
#include <omf/render/JsonRenderer.h>
#include <omf/render/TextRenderer.h>

#include "../../bench/Crosstab.h"
#include "support/FactoryHarness.h"

namespace omf {
namespace {

// FNV-1a, 64 bits: the same value on every platform, unlike std::hash.
std::uint64_t Fnv(std::string_view bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

TEST(BigTableOutput, GeneratedCrosstabRendersUnchanged) {
  fixtures::Harness h;
  bench::WriteCrosstab(h.sink, 300);
  const struct {
    const char* format;
    std::string out;
    std::uint64_t hash;
    std::size_t bytes;
  } cases[] = {
      {"json", render::JsonRenderer().Render(h.tree), 4074634615379355091ull, 8797827},
      {"text", render::TextRenderer().Render(h.tree), 11970089349270632041ull, 6120159},
      {"html", render::HtmlRenderer().Render(h.tree), 17123846146767625403ull, 936932},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(c.out.size(), c.bytes);
    EXPECT_EQ(Fnv(c.out), c.hash);
  }
}

// The text and HTML layouts read the cells where the table keeps them: a layout that took each cell as a
// text of its own would turn every compact number of a million-cell table into a heap object.
TEST(BigTableOutput, LayoutsLeaveCompactNumbersCompact) {
  fixtures::Harness h;
  bench::WriteCrosstab(h.sink, 40);
  const OmPivotTable* table = nullptr;
  for (std::size_t node = 1; node < h.tree.Count() && table == nullptr; ++node)
    table = dynamic_cast<const OmPivotTable*>(h.tree.Part(node));
  ASSERT_NE(table, nullptr);
  const auto texts = [&] {
    std::size_t n = 0;
    table->ForEachText([&](const OmCellText&) { ++n; });
    return n;
  };
  ASSERT_EQ(texts(), 0u);
  ASSERT_EQ(table->CellCount(), 40u * 40u);
  EXPECT_FALSE(render::TextRenderer().Render(h.tree).empty());
  EXPECT_FALSE(render::HtmlRenderer().Render(h.tree).empty());
  EXPECT_EQ(texts(), 0u);
  EXPECT_EQ(table->CellCount(), 40u * 40u);
}

} // namespace
} // namespace omf
