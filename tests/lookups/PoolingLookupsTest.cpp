#include <omf/lookups/PoolingLookups.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/DimensionTrees.h"
#include <omf/platform/pooling/PoolingErrors.h>

using namespace omf;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::uint32_t kInteger = MakeFormat(8, 5, 0);

std::shared_ptr<const OmCellText> Str(const std::string& text) {
  return Shared(new OmStringCell(text));
}
std::shared_ptr<const OmCellText> Var(const std::string& name, const std::string& label = "",
                                      OmCellText::ModeType mode = OmCellText::kModeNotSet) {
  return Shared(new OmVariable(name, label, mode));
}
std::shared_ptr<const OmCellText> NumValue(const std::string& variable, double value,
                                           std::uint32_t format = kInteger, const std::string& label = "",
                                           OmCellText::ModeType mode = OmCellText::kModeNames) {
  return Shared(new OmNumDataValue(variable, value, format, label, mode));
}
std::shared_ptr<const OmCellText> Number(double value) {
  return Shared(new OmNumber(value, kInteger));
}

// A composite whose arguments are the texts given; a null text opens or closes a repeat list in turn.
std::shared_ptr<const OmCellText> Composite(const std::string& templ,
                                            const std::vector<std::shared_ptr<const OmCellText>>& args) {
  auto* composite = new OmComposite(OmStringCell(templ, nullptr, true));
  bool inList = false;
  for (const auto& arg : args) {
    if (arg) {
      composite->Add(*arg);
    } else {
      inList ? composite->EndRepeatList() : composite->BeginRepeatList();
      inList = !inList;
    }
  }
  composite->End();
  return Shared(composite);
}

// A table whose dimensions have these labels and no categories.
std::unique_ptr<OmPivotTable>
TableWithDimensions(const std::vector<std::shared_ptr<const OmCellText>>& labels) {
  auto table = EmptyTable();
  for (const auto& label : labels)
    table->AddDimension(*label);
  return table;
}

// ---- imputation and bootstrap split dimensions ---------------------------------------------------------

// The imputation dimension is the first labelled by the variable Imputation_ in any case; the bootstrap
// dimension the first labelled by the variable $bootstrap_split exactly, without a variable label.
TEST(SplitDimensions, SplitDimensionIsTheFirstLabelledByItsVariable) {
  const auto imputation = FindImputationDimension;
  const auto bootstrap = FindBootstrapDimension;
  const struct {
    const char* what;
    int (*find)(const OmPivotTable&);
    std::vector<std::shared_ptr<const OmCellText>> labels;
    int expected;
  } cases[] = {
      {"no dimensions", imputation, {}, -1},
      {"in capitals, after another dimension", imputation, {Str("Statistics"), Var("IMPUTATION_")}, 1},
      {"first of two", imputation, {Var("imputation_", "Imputation Number"), Var("Imputation_")}, 0},
      {"string with the variable's name", imputation, {Str("Imputation_")}, -1},
      {"data value of the variable", imputation, {NumValue("Imputation_", 0)}, -1},
      {"name without the underscore", imputation, {Var("Imputation")}, -1},
      {"name with more after it", imputation, {Var("Imputation_2")}, -1},
      {"second dimension", bootstrap, {Str("Statistics"), Var("$bootstrap_split")}, 1},
      {"display mode does not count", bootstrap, {Var("$bootstrap_split", "", OmCellText::kModeBoth)}, 0},
      {"first of two", bootstrap, {Var("$bootstrap_split"), Var("$bootstrap_split")}, 0},
      {"with a variable label", bootstrap, {Var("$bootstrap_split", "Bootstrap Split")}, -1},
      {"name in capitals", bootstrap, {Var("$BOOTSTRAP_SPLIT")}, -1},
      {"string label", bootstrap, {Str("$bootstrap_split")}, -1},
      {"no dimensions", bootstrap, {}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.find == imputation ? "imputation: " : "bootstrap: ") << c.what);
    EXPECT_EQ(c.find(*TableWithDimensions(c.labels)), c.expected);
  }
}

TEST(SplitDimensions, OriginalDataIsTheLeafHoldingImputationZeroOfTheDimensionsVariable) {
  const struct {
    const char* what;
    std::shared_ptr<const OmCellText> dimension;
    std::vector<TreeSpec> tree;
    int expected;
  } cases[] = {
      {"after other imputations",
       Var("Imputation_"),
       {Leaf(NumValue("Imputation_", 1)), Leaf(NumValue("Imputation_", 2)), Leaf(NumValue("Imputation_", 0))},
       2},
      {"format, value label and display mode do not count",
       Var("Imputation_"),
       {Leaf(NumValue("Imputation_", 0, MakeFormat(3, 5, 2), "Original data", OmCellText::kModeLabels))},
       0},
      {"inside a group",
       Var("Imputation_"),
       {Leaf("Total"), Group("Data", {Leaf(NumValue("Imputation_", 1)), Leaf(NumValue("Imputation_", 0))})},
       2},
      {"a group labelled with imputation 0 is searched, not matched",
       Var("Imputation_"),
       {Group(NumValue("Imputation_", 0), {Leaf("a")}), Leaf(NumValue("Imputation_", 0))},
       1},
      {"the variable is named as the dimension's label names it",
       Var("IMPUTATION_"),
       {Leaf(NumValue("Imputation_", 0)), Leaf(NumValue("IMPUTATION_", 0))},
       1},
      {"a dimension not labelled by a variable looks for Imputation_",
       Str("Imputation Number"),
       {Leaf(NumValue("imputation_", 0)), Leaf(NumValue("Imputation_", 0))},
       1},
      {"a string label reading 0", Var("Imputation_"), {Leaf("0")}, -1},
      {"no imputation 0", Var("Imputation_"), {Leaf(NumValue("Imputation_", 1))}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto table = EmptyTable();
    const int d = AddDimension(*table, OmStringCell("other"), {Leaf(NumValue("Imputation_", 0))});
    EXPECT_EQ(d, 0);
    EXPECT_EQ(FindOriginalDataCategory(*table, AddDimension(*table, *c.dimension, c.tree)), c.expected);
  }
}

TEST(SplitDimensions, PooledCategoryIsFoundAtTheTopLevelOrAppendedWithTheNextFreeSubscript) {
  const struct {
    const char* what;
    std::vector<TreeSpec> tree;
    int expected;
    std::size_t topLevel; // children of the root afterwards
  } cases[] = {
      {"appended", {Leaf("1"), Leaf("2")}, 2, 3},
      {"existing", {Leaf("1"), Leaf("Pooled"), Leaf("2")}, 1, 3},
      {"only inside a group", {Group("G", {Leaf("Pooled")}), Leaf("2")}, 2, 3},
      {"a group named Pooled is no category", {Group("Pooled", {Leaf("x")})}, 1, 2},
      {"case differs", {Leaf("pooled")}, 1, 2},
      {"empty dimension", {}, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto table = EmptyTable();
    const int d = AddDimension(*table, *Var("Imputation_"), c.tree);
    EXPECT_EQ(FindOrAddPooledCategory(*table, d), c.expected);
    EXPECT_EQ(FindOrAddPooledCategory(*table, d), c.expected); // a second call finds it
    EXPECT_EQ(table->Dimension(d).Root().ChildCount(), c.topLevel);
  }

  // The label is a translatable string, and the subscript follows the largest one given out.
  auto table = EmptyTable();
  const int d = table->AddDimension(*Var("Imputation_"));
  OmDimension& dim = table->Dimension(d);
  dim.Child(&dim.Root(), OmStringCell("1"), 0, false);
  dim.Child(&dim.Root(), OmStringCell("5"), 5, false);
  EXPECT_EQ(FindOrAddPooledCategory(*table, d), 6);
  const OmCellText& label = dim.Root().Child(2).Label();
  ASSERT_EQ(label.OrderCode(), OmCellText::kOrderString);
  EXPECT_EQ(label.AsString(), "Pooled");
  EXPECT_TRUE(static_cast<const OmStringCell&>(label).IsTranslatable());
}

TEST(SplitDimensions, BootstrapSampleNumberOfEveryKindOfLabel) {
  const struct {
    const char* what;
    std::shared_ptr<const OmCellText> label;
    int expected;
  } cases[] = {
      {"data value 3", NumValue("$bootstrap_split", 3), 3},
      {"data value 0", NumValue("$bootstrap_split", 0), 0},
      {"data value 1000", NumValue("$bootstrap_split", 1000), 1000},
      {"data value 2.5", NumValue("$bootstrap_split", 2.5), -1},
      {"data value NaN", NumValue("$bootstrap_split", kNaN), -1},
      {"data value system-missing", NumValue("$bootstrap_split", kSysmis), -1},
      {"data value beyond 32 bits", NumValue("$bootstrap_split", 4294967296.0), -1},
      {"data value of a variable in capitals", NumValue("$BOOTSTRAP_SPLIT", 3), -1},
      {"data value of another variable", NumValue("sample", 3), -1},
      {"string with blanks and equals sign", Str("$bootstrap_split = 7"), 7},
      {"string without blanks", Str("$bootstrap_split=7"), 7},
      {"string, digit right after the name", Str("$bootstrap_split7"), 7},
      {"string, several blanks and equals signs", Str("Sample $bootstrap_split == = 4 of 9"), 4},
      {"string, two digits give the first", Str("$bootstrap_split = 12"), 1},
      {"string ending right after the equals sign", Str("$bootstrap_split ="), -1},
      {"string ending right after the name", Str("$bootstrap_split"), -1},
      {"string, a letter after the equals sign", Str("$bootstrap_split = x7"), -1},
      {"string, a minus sign", Str("$bootstrap_split = -7"), -1},
      {"string without the name", Str("sample = 7"), -1},
      {"string with the name in capitals", Str("$BOOTSTRAP_SPLIT = 7"), -1},
      {"number", Number(3), -1},
      {"variable", Var("$bootstrap_split"), -1},
      {"string data value", Shared(new OmStringDataValue("$bootstrap_split", "3", kInteger, "", {})), -1},
      {"composite, data value argument", Composite("Sample ^1", {NumValue("$bootstrap_split", 4)}), 4},
      {"composite, first argument that carries one",
       Composite("^1 ^2 ^3", {NumValue("$bootstrap_split", 2.5), Str("x"), Str("$bootstrap_split=8")}), 8},
      {"composite, inside a repeat list",
       Composite("[:^1:]1", {nullptr, Str("a"), NumValue("$bootstrap_split", 6), nullptr}), 6},
      {"composite, nested composite argument",
       Composite("^1", {Composite("Sample ^1", {NumValue("$bootstrap_split", 5)})}), 5},
      {"composite, only its template names a sample", Composite("$bootstrap_split = 3", {}), -1},
      {"composite without a sample", Composite("^1", {Number(3)}), -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(BootstrapSampleNumber(*c.label), c.expected);
  }
}

// ---- dimensions and categories -------------------------------------------------------------------------

TEST(TableLookups, DimensionByLabelIsTheFirstEqualOne) {
  auto table = TableWithDimensions({Str("Statistics"), Var("x", "X"), Str("statistics"), Str("Statistics")});
  EXPECT_EQ(FindDimensionByLabel(*table, *Str("Statistics")), 0);
  EXPECT_EQ(FindDimensionByLabel(*table, *Str("statistics")), 2);
  EXPECT_EQ(FindDimensionByLabel(*table, *Var("x", "X")), 1);
  EXPECT_EQ(FindDimensionByLabel(*table, *Var("x", "")), -1);
  EXPECT_EQ(FindDimensionByLabel(*table, *Str("Statistics ")), -1);
  EXPECT_EQ(FindDimensionByLabel(*EmptyTable(), *Str("Statistics")), -1);
}

// A dimension with groups at two depths:
//   a(0)  G{ b(1)  H{ c(2) }  G(3) }  c(4)  N{ }
std::unique_ptr<OmPivotTable> GroupedTable() {
  auto table = EmptyTable();
  AddDimension(
      *table, "Dimension",
      {Leaf("a"), Group("G", {Leaf("b"), Group("H", {Leaf("c")}), Leaf("G")}), Leaf("c"), Group("N", {})});
  return table;
}

TEST(TableLookups, CategoryIsTheFirstEqualLeafDepthFirst) {
  auto table = GroupedTable();
  const OmDimensionNode& root = table->Dimension(0).Root();
  const OmDimensionNode& g = root.Child(1);
  const struct {
    const char* what;
    const OmDimensionNode& from;
    std::shared_ptr<const OmCellText> label;
    int expected;
  } cases[] = {
      {"top level", root, Str("a"), 0},
      {"a group is searched before the next sibling", root, Str("c"), 2},
      {"a group's label does not match, a leaf's further on does", root, Str("G"), 3},
      {"a group without a leaf of that label", root, Str("N"), -1},
      {"case differs", root, Str("A"), -1},
      {"same text, other kind", root, Number(1), -1},
      {"from a group", g, Str("c"), 2},
      {"from a group, the leaf is outside it", g, Str("a"), -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FindCategory(c.from, *c.label), c.expected);
  }
}

TEST(TableLookups, FindOrAddCategoryAppendsOnlyWhatIsMissing) {
  auto table = GroupedTable();
  OmDimension& dim = table->Dimension(0);
  EXPECT_EQ(FindOrAddCategory(dim, "b"), 1); // inside a group
  EXPECT_EQ(dim.Root().ChildCount(), 4u);
  EXPECT_EQ(FindOrAddCategory(dim, "N"), 5); // only a group has that label
  EXPECT_EQ(FindOrAddCategory(*table, 0, "N"), 5);
  EXPECT_EQ(FindOrAddCategory(dim, "B"), 6); // labels are exact
  EXPECT_EQ(FindOrAddCategory(*table, 0, "B"), 6);
  EXPECT_EQ(ChildLabels(dim.Root()), (std::vector<std::string>{"a", "G", "c", "N", "N", "B"}));
  EXPECT_FALSE(dim.Root().Child(4).IsGroup());
  const OmCellText& label = dim.Root().Child(5).Label();
  ASSERT_EQ(label.OrderCode(), OmCellText::kOrderString);
  EXPECT_TRUE(static_cast<const OmStringCell&>(label).IsTranslatable());
}

TEST(TableLookups, CategoryByPathThroughGroups) {
  auto table = EmptyTable();
  const int d = AddDimension(*table, "Dimension",
                             {Group("N", {Leaf("Valid"), Leaf("Missing")}),     // 0, 1
                              Group("M", {Group("Sub", {Leaf("Valid")})}),      // 2
                              Group("Total", {Leaf("Total")}),                  // 3
                              Leaf("Total"),                                    // 4
                              Group("A", {Leaf("x")}), Group("A", {Leaf("y")}), // 5, 6
                              Leaf(NumValue("v", 1)),                           // 7
                              Group("", {Leaf("e")})});                         // 8
  const OmDimension& dim = table->Dimension(d);
  const struct {
    const char* path;
    int expected;
  } cases[] = {
      {"N#Valid", 0},     {"Valid", 0},                     // through the group N
      {"N#Missing", 1},   {"M#Valid", 2},                   // the group Sub stands between
      {"Sub#Valid", 2},   {"M#Sub#Valid", 2}, {"Total", 4}, // the group Total is passed over, not searched
      {"Total#Total", 3}, {"A#y", 6},                       // the first group A has no y
      {"1", 7},                                             // labels compare as shown
      {"N#Valid#", 0},    {"#e", 8},          {"N#valid", -1}, {"N #Valid", -1}, {"N##Valid", -1},
      {"N", -1},          {"Missing#x", -1},  {"", -1},        {"#", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FindCategoryByPath(c.path, dim), c.expected);
  }
}

// A group of a lower and an upper bound, and the label of such a group with its level as an argument.
TreeSpec Bounds(std::shared_ptr<const OmCellText> label, std::vector<TreeSpec> more = {}) {
  std::vector<TreeSpec> children = {Leaf("Lower Bound"), Leaf("Upper Bound")};
  children.insert(children.end(), more.begin(), more.end());
  return Group(std::move(label), std::move(children));
}
TreeSpec Bounds(const std::string& label) {
  return Bounds(Str(label));
}
constexpr const char* kInterval = "^1% Confidence Interval";
constexpr const char* kTwo = "^1% Confidence Interval ^2";
std::shared_ptr<const OmCellText> Interval(std::shared_ptr<const OmCellText> level) {
  return Composite(kInterval, {std::move(level)});
}

TEST(TableLookups, ConfidenceIntervalWithItsLevel) {
  const struct {
    const char* what;
    std::vector<TreeSpec> tree;
    const char* label;
    int first, second; // -1: not found
    double level;
  } cases[] = {
      {"the level in percent", {Leaf("Mean"), Bounds(Interval(Number(90)))}, kInterval, 1, 2, 0.90},
      {"composite with 95", {Bounds(Interval(Number(95)))}, kInterval, 0, 1, 0.95},
      {"composite with a fraction", {Bounds(Interval(Number(0.9)))}, kInterval, 0, 1, 0.9},
      {"composite with 1 (a percentage)", {Bounds(Interval(Number(1)))}, kInterval, 0, 1, 0.01},
      {"composite whose argument is a string", {Bounds(Interval(Str("90")))}, kInterval, 0, 1, 0.95},
      {"two arguments", {Bounds(Composite(kTwo, {Number(90), Number(2)}))}, kTwo, 0, 1, 0.95},
      {"string label", {Bounds("95% Confidence Interval")}, "95% Confidence Interval", 0, 1, 0.95},
      {"inside a group", {Group("Statistics", {Leaf("Mean"), Bounds("CI")})}, "CI", 1, 2, 0.95},
      {"three children", {Bounds(Interval(Number(90)), {Leaf("Width")})}, kInterval, -1, -1, 0.90},
      {"the first node that reads so is a leaf", {Leaf("CI"), Bounds("CI")}, "CI", -1, -1, 0.95},
      {"case differs", {Bounds("CI")}, "ci", -1, -1, 0.95},
      {"the dimension's own label does not count", {Leaf("Mean"), Leaf("Median")}, "Dimension", -1, -1, 0.95},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto table = EmptyTable();
    const int d = AddDimension(*table, "Dimension", c.tree);
    int second = 7, first = 7;
    double level = 0.5;
    EXPECT_EQ(FindConfidenceInterval(table->Dimension(d), c.label, second, first, level), c.first >= 0);
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(second, c.second);
    EXPECT_DOUBLE_EQ(level, c.level);
  }
}

// ---- footnotes -----------------------------------------------------------------------------------------

TEST(TableLookups, FootnoteIsFoundByEqualText) {
  auto table = EmptyTable();
  EXPECT_EQ(FindFootnote(*table, *Str("a")), -1);
  table->Footnote(OmFootnote(nullptr, OmStringCell("a")));
  table->Footnote(OmFootnote(nullptr, OmStringCell("b"), &*Str("*")));
  table->Footnote(OmFootnote(nullptr, OmStringCell("b")), true);
  EXPECT_EQ(FindFootnote(*table, *Str("a")), 0);
  EXPECT_EQ(FindFootnote(*table, *Str("b")), 1); // the first, whatever its marker
  EXPECT_EQ(FindFootnote(*table, *Str("B")), -1);
  EXPECT_EQ(FindFootnote(*table, *Var("a")), -1);
}

TEST(TableLookups, CellFootnotesReuseEqualTexts) {
  auto table = EmptyTable();
  OmNumber first(1, kInteger), second(2, kInteger);
  EXPECT_EQ(AddCellFootnote("Too few cases.", *table, first), 0);
  EXPECT_EQ(AddCellFootnote("Too few cases.", *table, second), 0);
  EXPECT_EQ(AddCellFootnote("Other.", *table, second), 1);
  ASSERT_EQ(table->Footnotes().size(), 2u);
  const OmFootnote& note = table->Footnotes()[0];
  ASSERT_EQ(note.text->OrderCode(), OmCellText::kOrderString);
  EXPECT_EQ(note.text->AsString(), "Too few cases.");
  EXPECT_TRUE(static_cast<const OmStringCell&>(*note.text).IsTranslatable());
  EXPECT_EQ(note.marker, nullptr);
  EXPECT_EQ(first.Footnotes(), (std::vector<int>{0}));
  EXPECT_EQ(second.Footnotes(), (std::vector<int>{0, 1}));
}

TEST(TableLookups, EnsureCellFootnoteKeepsAnExistingCellAndFillsAnEmptyOne) {
  auto table = EmptyTable();
  AddDimension(*table, "Rows", {Leaf("r0"), Leaf("r1")});
  AddDimension(*table, "Columns", {Leaf("c0")});
  table->Cell({0, 0}, &*Number(42));
  const OmCellText* existing = table->Cell({0, 0});

  EnsureCellFootnote(*table, {0, 0}, 3);
  EnsureCellFootnote(*table, {0, 0}, 3);
  EXPECT_EQ(table->Cell({0, 0}), existing);
  EXPECT_EQ(static_cast<const OmNumber*>(existing)->Value(), 42);
  EXPECT_EQ(existing->Footnotes(), (std::vector<int>{3}));

  EnsureCellFootnote(*table, {1, 0}, 2);
  const OmCellText* made = table->Cell({1, 0});
  ASSERT_NE(made, nullptr);
  ASSERT_EQ(made->OrderCode(), OmCellText::kOrderNumber);
  EXPECT_EQ(static_cast<const OmNumber*>(made)->Value(), kSysmis);
  EXPECT_EQ(static_cast<const OmNumber*>(made)->Format(), 0x00050005u); // bytes 5, 0, 5, 0
  EXPECT_EQ(made->Footnotes(), (std::vector<int>{2}));
}

TEST(TableLookups, PoolingErrorFootnoteCarriesTheErrorText) {
  auto table = EmptyTable();
  AddDimension(*table, "Rows", {Leaf("r0"), Leaf("r1"), Leaf("r2")});
  table->Cell({0}, &*Number(1.5));
  AddPoolingErrorFootnote(*table, {0}, omf::pooling::kMPTooFewImputations);
  AddPoolingErrorFootnote(*table, {1}, omf::pooling::kMPTooFewImputations);
  AddPoolingErrorFootnote(*table, {2}, -5);
  ASSERT_EQ(table->Footnotes().size(), 2u);
  EXPECT_EQ(table->Footnotes()[0].text->AsString(),
            GetPoolingErrorString(omf::pooling::kMPTooFewImputations));
  EXPECT_EQ(table->Footnotes()[1].text->AsString(), GetPoolingErrorString(-5));
  EXPECT_TRUE(static_cast<const OmStringCell&>(*table->Footnotes()[1].text).IsTranslatable());
  EXPECT_EQ(static_cast<const OmNumber*>(table->Cell({0}))->Value(), 1.5);
  EXPECT_EQ(static_cast<const OmNumber*>(table->Cell({1}))->Value(), kSysmis);
  EXPECT_EQ(table->Cell({0})->Footnotes(), (std::vector<int>{0}));
  EXPECT_EQ(table->Cell({1})->Footnotes(), (std::vector<int>{0}));
  EXPECT_EQ(table->Cell({2})->Footnotes(), (std::vector<int>{1}));
}

// ---- estimates -----------------------------------------------------------------------------------------

// Expected values that are not finite must match in kind; finite ones to 1e-14 relative.
void ExpectValues(const std::vector<double>& actual, const std::vector<double>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "value " << i);
    if (std::isnan(expected[i]))
      EXPECT_TRUE(std::isnan(actual[i])) << actual[i];
    else if (std::isinf(expected[i]))
      EXPECT_EQ(actual[i], expected[i]);
    else
      EXPECT_NEAR(actual[i], expected[i], 1e-14 * std::max(1.0, std::fabs(expected[i])));
  }
}

TEST(Estimates, FisherZStopsAfterTheFirstValueOutsideTheOpenInterval) {
  const struct {
    std::vector<double> values;
    bool inside;
    std::vector<double> expected;
  } cases[] = {
      {{0.5, 1.0, 0.2}, false, {std::atanh(0.5), kInf, 0.2}},
      {{-1.0, 0.3}, false, {-kInf, 0.3}},
      {{0.1, 1.5, 2.0}, false, {std::atanh(0.1), kNaN, 2.0}},
      {{kNaN, 0.3}, false, {kNaN, 0.3}},
      {{0.0, -0.5, 0.999999}, true, {0.0, std::atanh(-0.5), std::atanh(0.999999)}},
      {{}, true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.values));
    std::vector<double> values = c.values;
    EXPECT_EQ(FisherZ(values), c.inside);
    ExpectValues(values, c.expected);
  }
}

TEST(Estimates, InverseFisherZUndoesFisherZAndReachesPlusMinusOne) {
  std::vector<double> values = {0.0, 0.5, -0.25, 0.999};
  const std::vector<double> original = values;
  EXPECT_TRUE(FisherZ(values));
  InverseFisherZ(values);
  ExpectValues(values, original);

  values = {kInf, -kInf, 400.0, -400.0, kSysmis, kNaN, 1.0};
  InverseFisherZ(values);
  ExpectValues(values, {1.0, -1.0, 1.0, -1.0, -1.0, kNaN, std::tanh(1.0)});
}

TEST(Estimates, MeanOfSumsFromLeftToRight) {
  EXPECT_EQ(MeanOf({}), kSysmis);
  EXPECT_EQ(MeanOf({3.0}), 3.0);
  EXPECT_EQ(MeanOf({1.0, 2.0, 3.0, 4.0}), 2.5);
  // 1e16 + 1 rounds back to 1e16, so the small values are lost in this order.
  EXPECT_EQ(MeanOf({1e16, 1.0, 1.0, -1e16}), 0.0);
  EXPECT_EQ(MeanOf({1.0, 1.0, 1e16, -1e16}), 0.5);
}

} // namespace
