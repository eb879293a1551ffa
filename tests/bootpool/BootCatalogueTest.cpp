// The bootstrap catalogue: its rows, the rows a procedure selects, and which of them a table meets.
#include <gtest/gtest.h>

#include <omf/bootpool/BootCatalogue.h>
#include <omf/bootpool/OmBootPoolingPattern1.h>
#include <omf/bootpool/OmBootPoolingPattern2.h>
#include <omf/bootpool/OmBootPoolingPattern3.h>

using namespace omf;

namespace {

// A table of the template with the split dimension and the named dimensions.
std::unique_ptr<OmPivotTable> Table(const std::string& templ, std::vector<std::string> dims,
                                    bool split = true) {
  auto t = std::make_unique<OmPivotTable>(OmStringCell(templ), OmStringCell(templ), false);
  if (split) t->AddDimension(OmVariable("$bootstrap_split", "", OmCellText::kModeNotSet));
  for (const std::string& d : dims)
    t->AddDimension(OmStringCell(d));
  return t;
}

// The positions (from 1) of the rows the procedure selects that apply to the table.
std::vector<int> Applying(const std::string& procedure, const OmPivotTable& table) {
  std::vector<int> rows;
  const auto& catalogue = BootCatalogue();
  for (std::size_t i = 0; i < catalogue.size(); ++i)
    if (catalogue[i]->MatchesProcedure(OmStringCell(procedure)) && catalogue[i]->AppliesTo(table))
      rows.push_back(static_cast<int>(i) + 1);
  return rows;
}

} // namespace

TEST(BootCatalogue, RowsInCatalogueOrder) {
  const auto& catalogue = BootCatalogue();
  ASSERT_EQ(catalogue.size(), 52u);
  EXPECT_EQ(&catalogue, &BootCatalogue()); // built once
  int kinds[4] = {};
  for (const OmBootPattern* p : catalogue) {
    if (dynamic_cast<const OmBootPoolingPattern1*>(p)) ++kinds[1];
    if (dynamic_cast<const OmBootPoolingPattern2*>(p)) ++kinds[2];
    if (dynamic_cast<const OmBootPoolingPattern3*>(p)) ++kinds[3];
  }
  EXPECT_EQ(kinds[1], 17);
  EXPECT_EQ(kinds[2], 15);
  EXPECT_EQ(kinds[3], 20);
  const auto* frequencies = dynamic_cast<const OmBootPoolingPattern1*>(catalogue[0]);
  ASSERT_NE(frequencies, nullptr);
  EXPECT_EQ(frequencies->Statistics().front().second, " zero fill");
  const auto* contrasts = dynamic_cast<const OmBootPoolingPattern1*>(catalogue[25]);
  ASSERT_NE(contrasts, nullptr);
  EXPECT_TRUE(contrasts->significanceOnly);
  EXPECT_EQ(catalogue[40]->placement, OmBootPattern::kRows);
  EXPECT_FALSE(catalogue[40]->rearrange);
  EXPECT_EQ(catalogue[41]->RequiredDimensions(), (std::vector<std::string>{"Variable1", "Variable2"}));
}

TEST(BootCatalogue, TablesMeetTheRowsOfTheirProcedureAndTemplate) {
  struct Case {
    const char* procedure;
    std::unique_ptr<OmPivotTable> table;
    std::vector<int> rows;
  };
  Case cases[] = {
      {"Explore", Table("Descriptives", {"Statistics"}), {4}},
      {"Explore", Table("M Estimators", {"Statistics"}), {5}},
      {"Explore", Table("Percentiles", {}), {6}}, // pattern 1 makes its statistics dimension
      {"Correlations", Table("Correlations", {"Statistics"}), {9}},
      {"Correlations", Table("Descriptive Statistics", {"Statistics"}), {7}},
      {"Correlations", Table("Correlations", {"Statistics"}, false), {}}, // no split dimension
      {"Oneway", Table("Descriptives", {"Statistics"}), {24}},
      {"UNIANOVA", Table("Parameter Estimates", {"Statistics", "Parameter"}), {28}},
      {"UNIANOVA", Table("Parameter Estimates", {"Statistics"}), {}}, // required dimension missing
      {"Regression", Table("Coefficient Correlations", {"Statistics", "Variables1", "Variables2"}), {37}},
      {"Means", Table("Descriptives", {"Statistics"}), {}},
      {"Unknown", Table("Correlations", {"Statistics"}), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.procedure) + " / " + c.table->TemplateName().AsString());
    EXPECT_EQ(Applying(c.procedure, *c.table), c.rows);
  }
}
