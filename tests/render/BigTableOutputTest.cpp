// A generated 300 x 300 crosstab (the benchmarks' stream) played through the factory and rendered in
// every format: the hashes of the outputs are pinned, so that changing how cells are stored, built or
// streamed cannot change a byte of what a user gets.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <omf/model/CellText.h>
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

// The HTML page's data block of a table larger than the pieces its data is gathered in reads as one JSON
// value listing every cell.
TEST(BigTableOutput, HtmlDataOfABigTableIsWholeJson) {
  constexpr int kSize = 400; // some 2 MB of data
  fixtures::Harness h;
  bench::WriteCrosstab(h.sink, kSize);
  const std::string html = render::HtmlRenderer().Render(h.tree);
  const std::string open = "<script type=\"application/json\" class=\"omf-data\">";
  const std::size_t begin = html.find(open);
  ASSERT_NE(begin, std::string::npos);
  const std::size_t end = html.find("</script>", begin);
  ASSERT_NE(end, std::string::npos);
  const auto data = nlohmann::json::parse(html.substr(begin + open.size(), end - begin - open.size()));
  const auto& cells = data.at("v");
  ASSERT_EQ(cells.size(), std::size_t{kSize} * kSize);
  // The column variable's dimension is the first: it varies slowest.
  EXPECT_EQ(cells.at(1), "1000");
  EXPECT_EQ(cells.at(kSize), "1");
  EXPECT_EQ(cells.back(), std::to_string((kSize - 1) * 1000 + kSize - 1));
  EXPECT_EQ(data.at("n"), std::string(std::size_t{kSize} * kSize, '1'));
  EXPECT_TRUE(data.at("f").empty());
}

// Numbers without markers or footnotes take a shorter way into the text and HTML outputs than other
// cells: side by side with decorated numbers, strings and empty places, in every format, they are
// measured, aligned and escaped as every cell is.
TEST(BigTableOutput, PlainNumbersShowAsEveryOtherCellDoes) {
  using stream::WireFormat;
  struct Put {
    const char* column;
    double value;
    WireFormat format;
    const char* string = nullptr; // a string cell instead of the number
    const char* note = nullptr;   // a footnote on the cell
    const char* marker = nullptr; // a marker on the cell
  };
  const struct {
    const char* row;
    std::vector<Put> cells;
  } rows[] = {
      {"a",
       {{"x", 1234.5, {WireFormat::kComma, 8, 2}},
        {"y", 12.5, {WireFormat::kPercent, 6, 1}},
        {"z", -3, WireFormat::Fixed(8, 0), nullptr, "Rounded."}}},
      {"b",
       {{"x", 1234.5, {WireFormat::kDollar, 9, 2}},
        {"y", 0, WireFormat::Fixed(8, 0), "n/a & <none>"},
        {"z", kSysmis, WireFormat::Fixed(8, 0)}}},
      {"c",
       {{"x", 1234.5, {WireFormat::kDot, 8, 2}},
        {"y", 1234.5, {WireFormat::kScientific, 8, 2}, nullptr, nullptr, "m"}}}, // no cell at z
      {"d",
       {{"x", 42, {WireFormat::kZeroPadded, 5, 0}},
        {"y", -0.004, WireFormat::Fixed(8, 2)},
        {"z", 1e20, WireFormat::Fixed(8, 0)}}},
  };
  fixtures::Harness h;
  h.Open("Crosstabs");
  h.BeginTable("Mixed", "Mixed", "Columns", false);
  for (const auto& row : rows) {
    h.w.String(1, row.row);
    h.w.String(2, "Rows");
    h.w.Category(0, 1, 2);
    h.w.String(1, "Columns");
    h.w.CellDimension(0, 1);
    for (const Put& put : row.cells) {
      if (put.string != nullptr)
        h.w.String(3, put.string);
      else
        h.w.Number(3, put.value, put.format);
      h.w.String(4, put.column);
      h.w.Cell(0, 3, 4);
      if (put.note != nullptr) {
        h.w.String(5, put.note);
        h.w.Footnote(stream::FootnoteTarget::Cell, 5);
      }
      if (put.marker != nullptr) {
        h.w.String(5, put.marker);
        h.w.Marker(5);
      }
    }
  }
  h.w.String(1, "Columns");
  h.w.Place(0, 1, 1, stream::Axis::Columns);
  h.w.TableEnd(0);
  h.End();

  const std::string text = render::TextRenderer().Render(h.tree);
  const std::string grid = "Mixed\n"
                           "+---+-----------+--------------+-----------------------+\n"
                           "|   |     x     |      y       |           z           |\n"
                           "+===+===========+==============+=======================+\n"
                           "| a |  1,234.50 |        12.5% |                 -3[a] |\n"
                           "+---+-----------+--------------+-----------------------+\n"
                           "| b | $1,234.50 | n/a & <none> |                     . |\n"
                           "+---+-----------+--------------+-----------------------+\n"
                           "| c |  1.234,50 |    1.23E+03m |                       |\n"
                           "+---+-----------+--------------+-----------------------+\n"
                           "| d |     00042 |         0.00 | 100000000000000000000 |\n"
                           "+---+-----------+--------------+-----------------------+\n"
                           "a. Rounded.\n";
  EXPECT_NE(text.find(grid), std::string::npos) << text;

  const std::string html = render::HtmlRenderer().Render(h.tree);
  for (const char* part : {
           "<tr><th scope=\"row\">a</th><td class=\"num\">1,234.50</td><td class=\"num\">12.5%</td>"
           "<td class=\"num\">-3<span class=\"fn\"><sup>a</sup></span></td></tr>",
           "<tr><th scope=\"row\">b</th><td class=\"num\">$1,234.50</td><td>n/a &amp; &lt;none&gt;</td>"
           "<td class=\"num\">.</td></tr>",
           "<tr><th scope=\"row\">c</th><td class=\"num\">1.234,50</td>"
           "<td class=\"num\">1.23E+03<span class=\"fn\">m</span></td><td></td></tr>",
           "<tr><th scope=\"row\">d</th><td class=\"num\">00042</td><td class=\"num\">0.00</td>"
           "<td class=\"num\">100000000000000000000</td></tr>",
           // The data block lists the cells with the first dimension (the columns) varying slowest.
           "\"v\":[\"1,234.50\",\"$1,234.50\",\"1.234,50\",\"00042\",\"12.5%\",\"n/a \\u0026 "
           "\\u003cnone\\u003e\","
           "\"1.23E+03\",\"0.00\",\"-3\",\".\",\"\",\"100000000000000000000\"],"
           "\"n\":\"111110111101\",\"f\":{\"6\":[\"m\",\"\"],\"8\":[\"\",\"a\"]}",
       })
    EXPECT_NE(html.find(part), std::string::npos) << part << "\n" << html;
}

} // namespace
} // namespace omf
