// The bootstrap catalogue: the rows a procedure selects, and which of them a table meets.
#include <gtest/gtest.h>

#include <omf/bootpool/BootCatalogue.h>

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
