#include "ExampleTree.h"

#include <memory>

#include "model/OutputTree.h"
#include "model/PivotTable.h"

namespace {

constexpr std::uint32_t kCount = MakeFormat(8, 5, 0);
constexpr std::uint32_t kMean = MakeFormat(10, 3, 2);
constexpr std::uint32_t kDeviation = MakeFormat(10, 3, 3);

OmDimensionNode* Category(OmPivotTable& table, int d, OmDimensionNode* parent, const OmCellText& label) {
  return table.Dimension(d).Child(parent, label, table.Size(d), false);
}

std::unique_ptr<OmPivotTable> StatisticsTable() {
  auto table = std::make_unique<OmPivotTable>(OmStringCell("Statistics"), OmStringCell("Statistics"), false);
  table->TableId((std::uint64_t{1} << 20) | 1);
  table->TableLocale("en_US");

  const int stats = table->AddDimension(OmStringCell("Statistics"));
  const int vars = table->AddDimension(OmStringCell("Variables"));
  const int sex = table->AddDimension(OmVariable("sex", "Gender", OmCellText::kModeLabels));
  table->Columns().Set(0, static_cast<short>(stats));
  table->Rows().Set(0, static_cast<short>(vars));
  table->Layers().Set(0, static_cast<short>(sex));

  OmDimension& statistics = table->Dimension(stats);
  OmDimensionNode* n =
      statistics.Child(&statistics.Root(), OmStringCell("N"), OmDimensionNode::kNoSubscript, true);
  Category(*table, stats, n, OmStringCell("Valid"));
  OmDimensionNode* missing = Category(*table, stats, n, OmStringCell("Missing"));
  Category(*table, stats, &statistics.Root(), OmStringCell("Mean"));
  Category(*table, stats, &statistics.Root(), OmStringCell("Std. Deviation"));

  OmDimension& variables = table->Dimension(vars);
  Category(*table, vars, &variables.Root(), OmVariable("age", "Age in years", OmCellText::kModeLabels));
  Category(*table, vars, &variables.Root(),
           OmVariable("income", "Household income", OmCellText::kModeLabels));

  OmDimension& gender = table->Dimension(sex);
  Category(*table, sex, &gender.Root(),
           OmNumDataValue("sex", 1, MakeFormat(1, 5, 0), "Male", OmCellText::kModeLabels));
  Category(*table, sex, &gender.Root(),
           OmNumDataValue("sex", 2, MakeFormat(1, 5, 0), "Female", OmCellText::kModeLabels));

  // Per gender and variable: valid, missing, mean, standard deviation.
  const double values[2][2][4] = {{{412, 3, 41.27, 12.804}, {398, 17, 52340.5, 18211.375}},
                                  {{455, 1, 43.9, 13.112}, {441, 15, 49875.25, kSysmis}}};
  const std::uint32_t formats[4] = {kCount, kCount, kMean, kDeviation};
  for (int g = 0; g < 2; ++g)
    for (int v = 0; v < 2; ++v)
      for (int s = 0; s < 4; ++s) {
        std::vector<int> at(3);
        at[static_cast<std::size_t>(stats)] = s;
        at[static_cast<std::size_t>(vars)] = v;
        at[static_cast<std::size_t>(sex)] = g;
        table->Cell(at, std::make_unique<OmNumber>(values[g][v][s], formats[s]).get());
      }

  const short weighted =
      table->Footnote(OmFootnote(nullptr, OmStringCell("Cases weighted by the survey weight.")));
  table->TableTitle().Footnote(weighted);
  const short grouped = table->Footnote(
      OmFootnote(nullptr, OmStringCell("The standard deviation cannot be computed: all incomes "
                                       "of this group are top-coded.")));
  table->Cell({3, 1, 1})->Footnote(grouped);
  const OmStringCell star("*");
  const short refused = table->Footnote(
      OmFootnote(nullptr, OmStringCell("Includes respondents who refused to answer."), &star));
  missing->Label().Footnote(refused);

  const OmStringCell caption("Source: household survey, second wave.");
  table->Caption(&caption);
  const OmStringCell corner("Variable");
  table->CornerText(&corner);
  table->EndTable();
  return table;
}

} // namespace

void BuildExampleTree(OmOutputTree& tree) {
  auto procedure = std::make_unique<OmProcedure>(OmStringCell("Frequencies"), "English", "UTF-8", "en_US");
  procedure->SetName("Frequencies");
  procedure->SetDisplayModes(OmCellText::kModeLabels, OmCellText::kModeLabels, OmCellText::kModeLabels,
                             OmCellText::kModeLabels);
  const std::size_t proc = tree.Append(0, std::move(procedure));

  auto title = std::make_unique<OmTextBlock>(OmStringCell("Title"), "UTF-8");
  title->Lines().push_back("Frequencies");
  tree.Append(proc, std::move(title));

  tree.Append(proc, StatisticsTable());

  // Kept in the code page the back end wrote it in; renderers show it in UTF-8.
  auto text = std::make_unique<OmTextBlock>(OmStringCell("Data file"), "windows-1252");
  text->Lines().push_back("Data file: caf\xE9_survey.sav");
  text->Lines().push_back("Filter: none. Weight: survey weight.");
  tree.Append(proc, std::move(text));
}
