// Categories labelled NaN sort after every number (before them when descending), whatever else the
// dimension holds, so that sorting sees one consistent order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "support/FactoryHarness.h"

using namespace omf;

using omf::fixtures::Harness;
using omf::stream::WireFormat;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The values of the dimension's categories in display order; NaN as "NaN".
std::vector<std::string> Values(const OmDimensionNode& root) {
  std::vector<std::string> out;
  for (const auto& child : root.Children()) {
    const OmCellText& label = child->Label();
    const double v = label.OrderCode() == OmCellText::kOrderNumber
                         ? static_cast<const OmNumber&>(label).Value()
                         : static_cast<const OmNumDataValue&>(label).Value();
    out.push_back(std::isnan(v) ? "NaN" : std::to_string(static_cast<int>(v)));
  }
  return out;
}

// A table whose one dimension "D" holds categories labelled with these values, sorted as `mode` asks.
// As numbers, equal values (all NaN among them) are one category; as data values of distinct variables
// each value is a category of its own.
const OmPivotTable* SortedTable(Harness& h, const std::vector<double>& values, bool dataValues,
                                std::uint32_t mode) {
  h.Open("Sorting");
  h.w.String(1, "T");
  h.w.String(2, "T");
  h.w.TableBegin(0, 1, 2);
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::string variable = "v";
    variable += std::to_string(i);
    if (dataValues)
      h.w.NumValue(1, variable, values[i], WireFormat::Fixed(8, 0), "");
    else
      h.w.Number(1, values[i], WireFormat::Fixed(8, 0));
    h.w.String(2, "D");
    h.w.Category(0, 1, 2);
  }
  h.w.String(2, "D");
  h.w.Dimension(0, 2);
  h.w.DimensionSort(0, mode);
  h.w.TableEnd(0);
  h.End();
  return h.Find<OmPivotTable>("T");
}

TEST(NanLabels, SortAfterEveryNumber) {
  using Strings = std::vector<std::string>;
  // 40 values, every third NaN, the others distinct: long enough for the sort to partition.
  std::vector<double> many;
  Strings ascending, descending;
  for (int i = 0; i < 40; ++i)
    many.push_back(i % 3 == 0 ? kNaN : static_cast<double>((i * 37) % 41 - 20));
  for (double v : many)
    if (!std::isnan(v)) ascending.push_back(std::to_string(static_cast<int>(v)));
  std::sort(ascending.begin(), ascending.end(),
            [](const auto& a, const auto& b) { return std::stoi(a) < std::stoi(b); });
  descending.assign(ascending.rbegin(), ascending.rend());
  const std::size_t nans = 14;
  ascending.insert(ascending.end(), nans, "NaN");
  descending.insert(descending.begin(), nans, "NaN");

  struct Case {
    const char* what;
    std::vector<double> values;
    bool dataValues;
    std::uint32_t mode;
    Strings expected;
  };
  const Case cases[] = {
      {"numbers ascending", {2, kNaN, 1, -3}, false, 0, {"-3", "1", "2", "NaN"}},
      {"numbers descending", {2, kNaN, 1, -3}, false, 1, {"NaN", "2", "1", "-3"}},
      {"NaN first in arrival", {kNaN, 5, 4}, false, 0, {"4", "5", "NaN"}},
      {"data values ascending", many, true, 0, ascending},
      {"data values descending", many, true, 1, descending},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    const OmPivotTable* t = SortedTable(h, c.values, c.dataValues, c.mode);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->NDimensions(), 1);
    EXPECT_EQ(Values(t->Dimension(0).Root()), c.expected);
  }
}

} // namespace
