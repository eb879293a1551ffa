// Translation of output through the string tables: every text of a pivot table (title, caption,
// corner, dimension and category labels, footnotes and their markers, cells), texts that stay as they
// are (not translatable, numbers, variables, data values), composites rebuilt from their translated
// template, and the shipped tables of every output language.
#include <omf/platform/path/PathFinder.h>
#include <omf/platform/stringtable/FacSTDictionary.h>
#include <omf/platform/stringtable/StringTable.h>
#include <omf/presentation/Translator.h>

#include <gtest/gtest.h>

#include <string>

#include "support/LanguageDirectories.h"

using namespace omf;

namespace {

std::string LanguagePath(const char* directory) {
  auto finder = PathFactory::getPathInstance(3);
  finder->SetRelativePath(directory);
  return finder->Path();
}

OmStringCell Text(const std::string& text, bool translatable = true) {
  return OmStringCell(text, nullptr, translatable);
}

constexpr std::uint32_t kWhole = MakeFormat(5, 5, 0);

OmComposite Composite(const std::string& templateText, std::initializer_list<const OmCellText*> arguments) {
  OmComposite composite(Text(templateText));
  for (const OmCellText* argument : arguments)
    composite.Add(*argument);
  return composite;
}

std::string Translated(FacSTDictionary& dictionary, OmCellText& text) {
  OmCellTextTranslator translator(&dictionary);
  text.Accept(translator);
  return text.AsString();
}

const char* const kTable = "Statistics = Statistiken\n"
                           "Caption text = Beschriftung\n"
                           "Corner = Ecke\n"
                           "Variables = Variablen\n"
                           "N = Anzahl\n"
                           "Valid = Gültig\n"
                           "Missing = Fehlend\n"
                           "Mean = Mittelwert\n"
                           "Cases weighted. = Fälle gewichtet.\n"
                           "* = +\n"
                           "Based on ^1 samples = Aus ^1 Stichproben\n"
                           "Cell text = Zelltext | a note | zweite Zeile\n"
                           "Gender = Geschlecht\n"
                           "Male = Männlich\n";

} // namespace

TEST(Translator, TranslatesEveryTextOfATable) {
  const omf::fixtures::LanguageDirectories dirs;
  FacSTDictionary dictionary(dirs.Language("xx", kTable));

  OmPivotTable table(Text("Statistics"), Text("Statistics", false), false);
  const OmStringCell caption = Text("Caption text"), corner = Text("Corner");
  table.Caption(&caption);
  table.CornerText(&corner);

  const int stats = table.AddDimension(Text("Variables"));
  OmDimension& statistics = table.Dimension(stats);
  OmDimensionNode* n = statistics.Child(&statistics.Root(), Text("N"), OmDimensionNode::kNoSubscript, true);
  statistics.Child(n, Text("Valid"), 0, false);
  statistics.Child(n, Text("Missing"), 1, false);
  statistics.Child(&statistics.Root(), Text("Mean"), 2, false);
  statistics.Child(&statistics.Root(), Text("Unlisted label"), 3, false);
  const int sex = table.AddDimension(OmVariable("sex", "Gender", OmCellText::kModeLabels));
  OmDimension& gender = table.Dimension(sex);
  gender.Child(&gender.Root(), OmNumDataValue("sex", 1, kWhole, "Male", OmCellText::kModeLabels), 0, false);

  const OmStringCell star = Text("*");
  table.Footnote(OmFootnote(nullptr, Text("Cases weighted."), &star));
  const OmNumber samples(997, MakeFormat(14, 5, 0));
  table.Footnote(OmFootnote(nullptr, Composite("Based on ^1 samples", {&samples})));

  const OmNumber mean(41.5, MakeFormat(8, 5, 1));
  const OmStringCell cellText = Text("Cell text"), fixed = Text("Mean", false);
  table.Cell({2, 0}, &mean);
  table.Cell({0, 0}, &cellText);
  table.Cell({1, 0}, &fixed);

  OmOutputTreeTranslator translator(&dictionary);
  table.Accept(translator);

  EXPECT_EQ(table.TableTitle().AsString(), "Statistiken");
  EXPECT_EQ(table.Caption()->AsString(), "Beschriftung");
  EXPECT_EQ(table.CornerText()->AsString(), "Ecke");
  EXPECT_EQ(table.Dimension(stats).Label().AsString(), "Variablen");
  const OmDimensionNode& root = table.Dimension(stats).Root();
  EXPECT_EQ(root.Child(0).Label().AsString(), "Anzahl");
  EXPECT_EQ(root.Child(0).Child(0).Label().AsString(), "Gültig");
  EXPECT_EQ(root.Child(0).Child(1).Label().AsString(), "Fehlend");
  EXPECT_EQ(root.Child(1).Label().AsString(), "Mittelwert");
  EXPECT_EQ(root.Child(2).Label().AsString(), "Unlisted label");
  // Variables and data values show their own names and labels: the table has no say in them.
  EXPECT_EQ(table.Dimension(sex).Label().AsString(), "Gender");
  EXPECT_EQ(table.Dimension(sex).Root().Child(0).Label().AsString(), "Male");

  ASSERT_EQ(table.Footnotes().size(), 2u);
  EXPECT_EQ(table.Footnotes()[0].text->AsString(), "Fälle gewichtet.");
  EXPECT_EQ(table.Footnotes()[0].marker->AsString(), "+");
  EXPECT_EQ(table.Footnotes()[1].text->AsString(), "Aus 997 Stichproben");

  EXPECT_EQ(table.Cell({0, 0})->AsString(), "Zelltext");
  const auto& translatedCell = static_cast<const OmStringCell&>(*table.Cell({0, 0}));
  EXPECT_EQ(translatedCell.FurtherText(), "a note");
  EXPECT_EQ(translatedCell.SecondText(), "zweite Zeile");
  EXPECT_EQ(translatedCell.AsEngString(), "Cell text");
  EXPECT_EQ(table.Cell({1, 0})->AsString(), "Mean"); // made not translatable
  EXPECT_EQ(table.Cell({2, 0})->AsString(), "41.5");
  EXPECT_EQ(static_cast<const OmNumber*>(table.Cell({2, 0}))->Value(), 41.5);
}

TEST(Translator, DeepTreesAndTheLabelIndexOfWideGroups) {
  const omf::fixtures::LanguageDirectories dirs;
  FacSTDictionary dictionary(dirs.Language("xx", kTable));
  OmPivotTable table(Text("Statistics"), Text("Statistics", false), false);
  OmDimension& dim = table.Dimension(table.AddDimension(Text("Variables")));
  // Far deeper than a stream may nest groups: the walk takes no call depth from the tree.
  OmDimensionNode* node = &dim.Root();
  for (int i = 0; i < 100000; ++i)
    node = dim.Child(node, Text("N"), OmDimensionNode::kNoSubscript, true);
  dim.Child(node, Text("Valid"), 0, false);
  // Enough children for a label index, which must find the labels as translated.
  for (int i = 1; i <= 20; ++i)
    dim.Child(&dim.Root(), Text("Label " + std::to_string(i)), i, false);
  dim.Child(&dim.Root(), Text("Mean"), 21, false);
  EXPECT_EQ(dim.FindChild(&dim.Root(), Text("Mean"), false), 21);

  OmOutputTreeTranslator translator(&dictionary);
  table.Accept(translator);

  EXPECT_EQ(dim.FindChild(&dim.Root(), Text("Mittelwert"), false), 21);
  EXPECT_EQ(dim.FindChild(&dim.Root(), Text("Mean"), false), -1);
  const std::vector<const OmDimensionNode*> categories = dim.Categories();
  ASSERT_EQ(categories.size(), 22u);
  EXPECT_EQ(categories[0]->Label().AsString(), "Gültig");
  EXPECT_EQ(categories[0]->Parent()->Label().AsString(), "Anzahl");
}

TEST(Translator, NotesMissingKeysInTheTextsTracker) {
  const omf::fixtures::LanguageDirectories dirs;
  FacSTDictionary dictionary(dirs.Language("xx", kTable));
  OmPivotTable table(Text("Statistics"), Text("Statistics"), false);
  const int d = table.AddDimension(Text("Variables"));
  OmStringCell unlisted = Text("Unlisted label");
  unlisted.setICUTracker(table.getICUTracker());
  table.Dimension(d).Child(&table.Dimension(d).Root(), unlisted, 0, false);
  OmStringCell alsoUnlisted = Text("Another unlisted label");
  alsoUnlisted.setICUTracker(table.getICUTracker());
  const OmNumber five(5, kWhole);
  OmComposite composite = Composite("Template without entry ^1", {&five});
  composite.setICUTracker(table.getICUTracker());
  table.Cell({0}, &composite);

  OmOutputTreeTranslator translator(&dictionary);
  table.Accept(translator);
  alsoUnlisted.Accept(translator.CellTextTranslator());
  EXPECT_EQ(
      table.getICUTracker()->missingKeys,
      (std::vector<std::string>{"Unlisted label", "Template without entry ^1", "Another unlisted label"}));
}

TEST(Translator, CompositesAreRebuiltFromTheTranslatedTemplate) {
  FacSTDictionary german(LanguagePath("lang/de"));
  const OmNumber level(95, MakeFormat(5, 5, 0)), fractional(90.5, MakeFormat(5, 5, 1));
  const OmNumber samples(1000, MakeFormat(14, 5, 0)), coverage(39, MakeFormat(14, 5, 0));
  const OmStringCell percent = Text("Percent"), stratified = Text("stratified bootstrap samples");
  const OmStringCell name = Text("Percent", false);

  struct Case {
    OmComposite composite;
    const char* german;
    const char* english;
  };
  Case cases[] = {
      {Composite("^1% Confidence Interval", {&level}), "95%-Konfidenzintervall", "95% Confidence Interval"},
      {Composite("BCa ^1% Confidence Interval", {&fractional}), "BCa-90.5%-Konfidenzintervall",
       "BCa 90.5% Confidence Interval"},
      {Composite("Bootstrap for ^1", {&percent}), "Bootstrap für Prozent", "Bootstrap for Percent"},
      {Composite("Bootstrap for ^1", {&name}), "Bootstrap für Percent", "Bootstrap for Percent"},
      {Composite("Unless otherwise noted, bootstrap results are based on ^1 ^2", {&samples, &stratified}),
       "Sofern nicht anders angegeben, beruhen die Bootstrap-Ergebnisse auf 1000 geschichteten "
       "Bootstrap-Stichproben",
       "Unless otherwise noted, bootstrap results are based on 1000 stratified bootstrap samples"},
      {Composite("^1% coverage needs ^2 samples...", {&level, &coverage}),
       "Ein 95%-Konfidenzintervall erfordert mindestens 39 Bootstrap-Stichproben; das Intervall wird nicht "
       "berechnet.",
       "95% coverage needs 39 samples..."},
      {Composite("^1\\% Confidence Interval of the Difference", {&level}),
       "95%-Konfidenzintervall der Differenz", "95% Confidence Interval of the Difference"},
  };
  for (Case& c : cases) {
    EXPECT_EQ(Translated(german, c.composite), c.german);
    // The untranslated text is still there, and the arguments are the same numbers.
    EXPECT_EQ(c.composite.AsEngString(), c.english);
    for (const OmCellText* argument : c.composite.Leaves()) {
      if (argument->OrderCode() != OmCellText::kOrderNumber) continue;
      const auto& number = static_cast<const OmNumber&>(*argument);
      const bool unchanged = number.Equals(level) || number.Equals(fractional) || number.Equals(samples) ||
                             number.Equals(coverage);
      EXPECT_TRUE(unchanged) << number.Value();
    }
  }

  // A template made not translatable is filled as it is.
  OmComposite fixed(Text("^1% Confidence Interval", false));
  fixed.Add(level);
  EXPECT_EQ(Translated(german, fixed), "95% Confidence Interval");

  // A composite inside a composite is translated and filled too.
  OmComposite inner = Composite("^1% Confidence Interval", {&level});
  OmComposite outer = Composite("Bootstrap for ^1", {&inner});
  EXPECT_EQ(Translated(german, outer), "Bootstrap für 95%-Konfidenzintervall");
}

TEST(Translator, WithoutADictionaryNothingChanges) {
  OmStringCell text = Text("Mean");
  OmComposite composite = Composite("^1% Confidence Interval", {&text});
  OmCellTextTranslator translator(nullptr);
  text.Accept(translator);
  composite.Accept(translator);
  EXPECT_EQ(text.AsString(), "Mean");
  EXPECT_EQ(composite.AsString(), "Mean% Confidence Interval");
}
