// Charts, answer trees, models and outline text through the factory.
#include <gtest/gtest.h>

#include "support/FactoryHarness.h"
#include <omf/selection/OMSObjectSelector.h>

using namespace omf;

using omf::fixtures::Harness;

namespace {

using Strings = std::vector<std::string>;

TEST(ContentParts, ChartsAnswerTreesAndModels) {
  Harness h;
  h.Open("Graph");
  h.w.Chart(3, 0, "Bar chart");
  h.w.Chart(3, 1, "abcd");
  h.w.Chart(3, 7, "xy");
  h.w.Chart(3, 9, "by group");
  h.w.Chart(3, 10, "map");
  h.w.Chart(3, 5, "ignored");
  h.w.Chart(8, 1, "no such chart");
  h.w.AnswerTree(2, 1, "Tree");
  h.w.AnswerTree(2, 4, "node data");
  h.w.Model("Model", {"one", "two"}, "subtitle", /*fragmentBytes=*/5); // several fragments
  h.w.Outline("Graph outline");
  h.End();
  EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:Graph", "3:Graph", "3:Bar chart", "3:Tree", "3:Model"}));
  auto* chart = h.Find<OmChart>("Bar chart");
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(chart->Content().size(), 3u); // slots 1, 7 and the map
  EXPECT_EQ(chart->Content().at(1).size(), 4u);
  EXPECT_EQ(chart->Content().at(OmChart::kMapInfoSlot).size(), 3u);
  EXPECT_EQ(static_cast<const OmStringCell&>(chart->Title()).SecondText(), "by group");
  auto* tree = h.Find<OmAnswerTree>("Tree");
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->Content().at(4).size(), 9u);
  auto* model = h.Find<OmModel>("Model");
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->Content().at(1).size(), 3u);
  EXPECT_EQ(model->Content().at(2).size(), 3u);
  EXPECT_EQ(static_cast<const OmStringCell&>(model->Title()).SecondText(), "subtitle");
  auto* procedure = h.Find<OmProcedure>("Graph");
  ASSERT_NE(procedure, nullptr);
  ASSERT_NE(procedure->OutlineText(), nullptr);
  EXPECT_EQ(procedure->OutlineText()->AsString(), "Graph outline");
}

TEST(ContentParts, HiddenChartsIgnoreTheirUpdates) {
  std::vector<OMSObjectSelector> requests(1);
  requests[0].SelectType(2); // text blocks only
  Harness h(requests);
  h.Open("Graph");
  h.w.Chart(0, 0, "Hidden");
  h.w.Chart(0, 1, "abcd");
  h.w.Text("kept");
  h.End();
  EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:Graph", "3:Graph"}));
}

TEST(ContentParts, OutsideAProcedureTheyAreIgnored) {
  Harness h;
  h.w.Chart(0, 0, "Chart");
  h.w.Model("Model");
  h.w.Text("text");
  EXPECT_EQ(h.Outline(), (Strings{"1:Output"}));
}

} // namespace
