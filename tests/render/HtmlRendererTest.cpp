#include <omf/render/HtmlRenderer.h>

#include <gtest/gtest.h>

#include "Trees.h"

using namespace omf;

using namespace render_test;

TEST(HtmlRenderer, NestedLabelsSpanAndTextsAreEscaped) {
  auto table = NestedTable();
  table->SetTableTitle(OmStringCell("<b>Stats</b> & \"more\""));
  table->TableTitle().Footnote(table->Footnote(OmFootnote(nullptr, OmStringCell("x < y"))));
  const OmStringCell corner("Corner");
  table->CornerText(&corner);
  OmOutputTree tree;
  WithProcedure(tree, std::move(table));
  const std::string html = omf::render::HtmlRenderer().Render(tree);

  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(html.find("&lt;b&gt;Stats&lt;/b&gt; &amp; &quot;more&quot;<sup>a</sup>"), std::string::npos);
  EXPECT_NE(html.find("<sup>a</sup> x &lt; y"), std::string::npos);
  EXPECT_NE(
      html.find("<tr><th rowspan=\"2\">Corner</th><th colspan=\"2\">N</th><th rowspan=\"2\">Mean</th></tr>\n"
                "<tr><th>Valid</th><th>Missing</th></tr>\n"),
      std::string::npos);
  EXPECT_NE(html.find("<tr><th>Income</th><td class=\"num\">1</td><td class=\"num\">11</td>"
                      "<td class=\"num\">21</td></tr>"),
            std::string::npos);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_NE(html.find("</html>\n"), std::string::npos);
}
