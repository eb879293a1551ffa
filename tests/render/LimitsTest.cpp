// The renderers on trees that a library user may build however deep or large: outlines stay in
// proportion to the tree, nested groups are walked without recursion, and a table's grids stop at the
// byte limit with a notice.
#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "Trees.h"
#include <omf/render/HtmlRenderer.h>
#include <omf/render/JsonRenderer.h>
#include <omf/render/Limits.h>
#include <omf/render/TextRenderer.h>

using namespace omf;

using namespace render_test;

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A prefix and a number, as "G12".
std::string Named(const char* prefix, int n) {
  std::string name = prefix;
  name += std::to_string(n);
  return name;
}

// Takes a chain of nested groups apart from the bottom, so that the test does not depend on how deep
// the model's own destruction may recurse.
void Dismantle(OmDimensionNode& top) {
  std::vector<OmDimensionNode*> chain{&top};
  while (chain.back()->ChildCount() != 0)
    chain.push_back(&chain.back()->Child(chain.back()->ChildCount() - 1));
  for (std::size_t k = chain.size(); k-- > 0;)
    chain[k]->Children().clear();
}

} // namespace

TEST(RenderLimits, DeepOutlinesIndentDownToALevelAndNameDeeperLevels) {
  constexpr int kDepth = 20000;
  OmOutputTree tree;
  std::size_t node = 0;
  for (int level = 1; level <= kDepth; ++level)
    node = tree.Append(node, std::make_unique<OmHeading>(OmStringCell(Named("H", level))));
  const std::string deepest(2 * (omf::render::kMaxOutlineIndentLevel - 1), ' ');

  const std::string text = omf::render::TextRenderer().Render(tree);
  EXPECT_TRUE(Contains(text, "\nH1\n  H2\n    H3\n"));
  EXPECT_TRUE(Contains(text, "\n" + deepest + "H32\n" + deepest + "(level 33) H33\n"));
  EXPECT_TRUE(Contains(text, "\n" + deepest + "(level 20000) H20000\n"));
  // Two spaces a level would write 400 MB.
  EXPECT_LT(text.size(), 200u * kDepth);

  const std::string html = omf::render::HtmlRenderer().Render(tree);
  EXPECT_TRUE(Contains(html, "<li class=\"leaf\"><a href=\"#p33\">(level 33) H33</a></li>\n"));
  EXPECT_TRUE(Contains(html, ">(level 20000) H20000</a>"));
  EXPECT_LT(html.size(), 200u * kDepth);

  const auto json = nlohmann::json::parse(omf::render::JsonRenderer().Render(tree));
  const auto parts = render_test::FlatParts(json);
  ASSERT_EQ(parts.size(), static_cast<std::size_t>(kDepth));
  EXPECT_EQ(parts[kDepth - 1]["level"], kDepth);
  EXPECT_EQ(parts[kDepth - 1]["title"], "H20000");
}

TEST(RenderLimits, DeeplyNestedGroupsAreWalkedWithoutRecursion) {
  constexpr int kDepth = 100000;
  auto owned = std::make_unique<OmPivotTable>(OmStringCell("Deep"), OmStringCell("Deep"), false);
  OmPivotTable& table = *owned;
  const int d = table.AddDimension(OmStringCell("Nested"));
  OmDimensionNode* node = &table.Dimension(d).Root();
  for (int level = 1; level < kDepth; ++level)
    node = Group(table, d, node, OmStringCell(Named("G", level)));
  Category(table, d, node, OmStringCell("Leaf"));
  Number(table, {0}, 42);
  OmOutputTree tree;
  WithProcedure(tree, std::move(owned));

  const auto doc = nlohmann::json::parse(omf::render::JsonRenderer().Render(tree));
  const nlohmann::json* at = &doc["parts"][0]["parts"][0]["dimensions"][0]["categories"][0];
  int depth = 1;
  for (; at->contains("children"); ++depth)
    at = &(*at)["children"][0];
  EXPECT_EQ(depth, kDepth);
  EXPECT_EQ((*at)["label"], "Leaf");
  EXPECT_EQ((*at)["index"], 0);
  EXPECT_EQ(doc["parts"][0]["parts"][0]["cells"][0]["text"], "42");

  // One row with a label column per level.
  const std::string text = omf::render::TextRenderer().Render(tree);
  EXPECT_TRUE(Contains(text, "| G1 | G2 | G3 |"));
  EXPECT_TRUE(Contains(text, "| G99999 | Leaf | 42 |"));
  EXPECT_TRUE(Contains(omf::render::HtmlRenderer().Render(tree),
                       "<th scope=\"row\">G99999</th><th scope=\"row\">Leaf</th><td class=\"num\">42</td>"));

  Dismantle(table.Dimension(d).Root());
}

TEST(RenderLimits, LayersBeyondTheByteLimitBecomeOneNotice) {
  // 90,000 rows a layer. The first layer's cells are short; the second holds a text of 3,000
  // characters, which widens its column on every row: 540 MB of grid.
  auto owned = std::make_unique<OmPivotTable>(OmStringCell("Wide"), OmStringCell("Wide"), false);
  OmPivotTable& table = *owned;
  const int outer = table.AddDimension(OmStringCell("Outer")),
            inner = table.AddDimension(OmStringCell("Inner"));
  const int layers = table.AddDimension(OmStringCell("Layers"));
  table.Rows().Set(0, static_cast<short>(outer));
  table.Rows().Set(1, static_cast<short>(inner));
  table.Layers().Set(0, static_cast<short>(layers));
  for (int k = 0; k < 300; ++k) {
    Category(table, outer, &table.Dimension(outer).Root(), OmStringCell(Named("o", k)));
    Category(table, inner, &table.Dimension(inner).Root(), OmStringCell(Named("i", k)));
  }
  for (int k = 1; k <= 3; ++k)
    Category(table, layers, &table.Dimension(layers).Root(), OmStringCell(Named("L", k)));
  Number(table, {0, 0, 0}, 1);
  const OmStringCell wide(std::string(3000, 'w'));
  table.Cell({299, 299, 1}, &wide);
  OmOutputTree tree;
  WithProcedure(tree, std::move(owned));

  std::ostringstream out;
  const std::vector<std::string> omitted = omf::render::TextRenderer().Render(tree, out);
  const std::string why = "its grids would write more than 268435456 bytes; at most that many are written";
  ASSERT_EQ(omitted.size(), 1u);
  EXPECT_EQ(omitted[0], "table \"Wide\": layers 2 to 3 not shown: " + why);
  const std::string text = out.str();
  const std::size_t first = text.find("Layers: L1\n"),
                    notice = text.find("[Layers 2 to 3 not shown: " + why + "]\n");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(notice, std::string::npos);
  EXPECT_LT(first, notice);
  EXPECT_TRUE(Contains(text.substr(first, notice - first), "| o0   | i0   | 1 |"));
  EXPECT_FALSE(Contains(text, "Layers: L2"));
  EXPECT_LT(text.size(), omf::render::kMaxTableBytes);
}
