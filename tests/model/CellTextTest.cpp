#include <omf/model/CellText.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

using namespace omf;

namespace {

constexpr std::uint32_t kInteger = MakeFormat(8, 5, 0);
constexpr std::uint32_t kTwoDecimals = MakeFormat(8, 5, 2);
constexpr auto kNames = OmCellText::kModeNames;
constexpr auto kLabels = OmCellText::kModeLabels;
constexpr auto kBoth = OmCellText::kModeBoth;
constexpr auto kNotSet = OmCellText::kModeNotSet;

OmCellTextPtr Str(std::string s) {
  return OmCellTextPtr(new OmStringCell(std::move(s)));
}
OmCellTextPtr Var(const char* name, const char* label) {
  return OmCellTextPtr(new OmVariable(name, label, kNames));
}
OmCellTextPtr NumVal(const char* var, double v, const char* label = "") {
  return OmCellTextPtr(new OmNumDataValue(var, v, kInteger, label, kNames));
}
OmCellTextPtr StrVal(const char* var, const char* v) {
  return OmCellTextPtr(new OmStringDataValue(var, v, kInteger, "", kNames));
}

TEST(CellTextDisplay, VariablesAndDataValuesByMode) {
  const struct {
    OmCellText::ModeType mode;
    const char* label;
    const char* variable;
    const char* numeric;
    const char* string;
  } cases[] = {
      {kNames, "Male", "sex", "1.50", "m"},
      {kLabels, "Male", "Male", "Male", "Male"},
      {kBoth, "Male", "Male [sex]", "1.50 Male", "m Male"},
      {kNotSet, "Male", "Male", "Male", "Male"},
      {kNames, "", "sex", "1.50", "m"},
      {kLabels, "", "sex", "1.50", "m"}, // an empty label falls back to the name or value
      {kBoth, "", "sex", "1.50", "m"},
      {kNotSet, "", "sex", "1.50", "m"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " label '" << c.label << "'");
    EXPECT_EQ(OmVariable("sex", c.label, c.mode).AsString(), c.variable);
    EXPECT_EQ(OmNumDataValue("sex", 1.5, kTwoDecimals, c.label, c.mode).AsString(), c.numeric);
    EXPECT_EQ(OmStringDataValue("sex", "m   ", kTwoDecimals, c.label, c.mode).AsString(), c.string);
  }
  EXPECT_EQ(OmNumDataValue("x", kSysmis, kTwoDecimals, "", kNames).AsString(), ".");
  EXPECT_EQ(OmNumDataValue("x", 1234.5, MakeFormat(8, 3, 1), "", kBoth).AsString(), "1,234.5");
  EXPECT_TRUE(OmNumDataValue("v", 1, kInteger, "", kNames).IsNumeric());
  EXPECT_FALSE(OmNumDataValue("v", kSysmis, kInteger, "", kNames).IsNumeric());
}

TEST(CellTextDisplay, StringDataValuesLoseTrailingBlanksButKeepOneCharacter) {
  const std::pair<const char*, const char*> cases[] = {
      {"   ", " "}, {"", ""}, {"a  ", "a"}, {" a ", " a"}, {"a\t ", "a\t"}, {"a b", "a b"}, {" ", " "},
  };
  for (const auto& [given, kept] : cases) {
    const OmStringDataValue v("s", given, kInteger, "", kNames);
    EXPECT_EQ(v.Value(), kept) << "'" << given << "'";
    EXPECT_EQ(v.AsString(), kept);
  }
}

TEST(CellTextDisplay, DataValuesOfBothKindsKeepTheirFieldsInTheirCommonBase) {
  struct Case {
    OmCellTextPtr value;
    const char* asLabels;
    const char* asBoth;
  };
  const std::uint32_t format = MakeFormat(6, 5, 1);
  Case cases[] = {
      {OmCellTextPtr(new OmNumDataValue("sex", 1, format, "Male", kNotSet)), "Male", "1.0 Male"},
      {OmCellTextPtr(new OmStringDataValue("city", "B ", format, "Berlin", kNotSet)), "Berlin", "B Berlin"},
  };
  OmMemoryRegion region;
  for (Case& c : cases) {
    auto& value = dynamic_cast<OmDataValue&>(*c.value);
    SCOPED_TRACE(value.VariableName());
    EXPECT_EQ(value.Format(), format);
    EXPECT_EQ(value.Mode(), kNotSet);
    EXPECT_EQ(value.AsString(), c.asLabels);
    value.SetMode(kBoth);
    EXPECT_EQ(value.AsString(), c.asBoth);
    const OmCellTextPtr copy(value.Clone(&region));
    const auto& copied = dynamic_cast<const OmDataValue&>(*copy);
    EXPECT_EQ(copied.VariableName(), value.VariableName());
    EXPECT_EQ(copied.ValueLabel(), value.ValueLabel());
    EXPECT_EQ(copied.Format(), format);
    EXPECT_EQ(copied.Mode(), kBoth);
    EXPECT_TRUE(copied.Equals(value));
    EXPECT_EQ(copied.AsString(), c.asBoth);
  }
  EXPECT_EQ(region.LiveObjects(), 0u);
}

TEST(CellTextDisplay, StringCellsKeepTheUntranslatedText) {
  OmStringCell s("Mean", nullptr, true);
  s.SetText("Mittelwert");
  s.SetSecondText("second");
  s.SetFurtherText("further");
  const OmCellTextPtr copy = CloneText(s);
  const auto& c = static_cast<const OmStringCell&>(*copy);
  EXPECT_TRUE(c.IsTranslatable());
  EXPECT_FALSE(OmStringCell("Log").IsTranslatable());
  EXPECT_EQ(c.AsString(), "Mittelwert");
  EXPECT_EQ(c.AsEngString(), "Mean");
  EXPECT_EQ(c.Length(), 10u);
  EXPECT_EQ(c.SecondText(), "second");
  EXPECT_EQ(c.FurtherText(), "further");
  // Other kinds: the English text is the shown text, the length query is 0.
  EXPECT_EQ(OmNumber(3, kInteger).AsEngString(), "3");
  EXPECT_EQ(OmNumber(3, kInteger).Length(), 0u);
  EXPECT_EQ(Var("v", "Label")->Length(), 0u);

  EXPECT_EQ(OmStringCell("caf\xe9").AsU8String("windows-1252"), "caf\xc3\xa9");
  EXPECT_EQ(OmStringCell("caf\xc3\xa9").AsU8String(), "caf\xc3\xa9");
  EXPECT_EQ(OmNumber(1234.5, MakeFormat(8, 3, 1)).AsU8String(), "1,234.5");
}

// ---------------------------------------------------------------------------------------------------

TEST(CellTextCompare, NumbersOrderMissingFirstAndNaNLast) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double ascending[] = {kSysmis, -inf, -1e300, -1, 0, 0.5, 1, 1e300, inf, nan};
  for (std::size_t i = 0; i < std::size(ascending); ++i) {
    for (std::size_t j = 0; j < std::size(ascending); ++j) {
      SCOPED_TRACE(testing::Message() << ascending[i] << " vs " << ascending[j]);
      const short expected = i < j ? -1 : i > j ? 1 : 0;
      // neither the format nor the value label plays a part
      EXPECT_EQ(OmNumber(ascending[i], kInteger).Compare(OmNumber(ascending[j], MakeFormat(3, 17, 2))),
                expected);
      EXPECT_EQ(NumVal("v", ascending[i])->Compare(*NumVal("v", ascending[j], "label")), expected);
    }
  }
  EXPECT_EQ(OmNumber(0.0, kInteger).Compare(OmNumber(-0.0, kInteger)), 0);
}

TEST(CellTextCompare, WithinEachKind) {
  const struct {
    OmCellTextPtr a;
    OmCellTextPtr b;
    short expected;
  } cases[] = {
      {Str("abc"), Str("abd"), -1},
      {Str("ab"), Str("abc"), -1},
      {Str("b"), Str("abc"), 1},
      {Str("B"), Str("a"), -1},       // bytes, not case
      {Str("\xc3\xa9"), Str("z"), 1}, // unsigned bytes
      {Str(std::string("a\0b", 3)), Str("a"), 1},
      {Str("same"), Str("same"), 0},
      {Var("a", "z"), Var("b", "a"), -1}, // name first
      {Var("a", "b"), Var("a", "a"), 1},  // then label
      {Var("a", "a"), OmCellTextPtr(new OmVariable("a", "a", kBoth)), 0},
      {NumVal("a", 9), NumVal("b", 1), -1},
      {NumVal("a", 1, "z"), NumVal("a", 1, "a"), 0},
      {StrVal("a", "y"), StrVal("a", "x"), 1},
      {StrVal("a", "x  "), StrVal("a", "x"), 0},
      {StrVal("b", "a"), StrVal("a", "z"), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a->AsString() << " vs " << c.b->AsString());
    EXPECT_EQ(c.a->Compare(*c.b), c.expected);
    EXPECT_EQ(c.b->Compare(*c.a), -c.expected);
    EXPECT_EQ(c.a->Equals(*c.b), c.expected == 0);
  }
}

TEST(CellTextCompare, DifferentKindsOrderByKind) {
  const OmComposite composite(OmStringCell("^1"));
  const OmNumber number(1, kInteger);
  const OmCellTextPtr texts[] = {NumVal("v", 1), StrVal("v", "1"), Var("v", ""), Str("1")};
  const OmCellText* byKind[] = {&number,        texts[0].get(), texts[1].get(),
                                texts[2].get(), texts[3].get(), &composite};
  for (std::size_t i = 0; i < std::size(byKind); ++i) {
    EXPECT_EQ(byKind[i]->OrderCode(), static_cast<short>(i));
    EXPECT_EQ(byKind[i]->IsNumeric(), i <= 1);
    for (std::size_t j = 0; j < std::size(byKind); ++j) {
      EXPECT_EQ(byKind[i]->Compare(*byKind[j]), i < j ? -1 : i > j ? 1 : 0) << i << " vs " << j;
      EXPECT_EQ(byKind[i]->Equals(*byKind[j]), i == j);
    }
  }
}

// ---------------------------------------------------------------------------------------------------

TEST(CellTextMetaData, MadeOnFirstUseFootnotesAddOnceInOrder) {
  OmNumber n(1, kInteger);
  EXPECT_TRUE(n.Footnotes().empty());
  EXPECT_TRUE(n.Markers().empty());
  EXPECT_FALSE(n.IsBold());
  EXPECT_EQ(n.TextColor(), "");
  // Defaults and removals change nothing, so they make no metadata.
  n.setTextBold(false);
  n.setTextColor("");
  n.setBackgroundColor("");
  n.RemoveFootnote(3);
  EXPECT_FALSE(n.HasMetaData());

  for (short i : {3, 1, 3, 2, 1})
    n.Footnote(i);
  EXPECT_TRUE(n.HasMetaData());
  EXPECT_EQ(n.Footnotes(), (std::vector<int>{3, 1, 2}));
  n.RemoveFootnote(1);
  n.RemoveFootnote(7);
  n.Footnote(1);
  EXPECT_EQ(n.Footnotes(), (std::vector<int>{3, 2, 1}));
  n.setTextBold(true);
  n.setTextColor("#ff0000");
  n.setBackgroundColor("#00ff00");
  n.addMarker("a");
  n.addMarker("b");
  EXPECT_TRUE(n.IsBold());
  EXPECT_EQ(n.TextColor(), "#ff0000");
  EXPECT_EQ(n.BackgroundColor(), "#00ff00");
  EXPECT_EQ(n.Markers(), (std::vector<std::string>{"a", "b"}));
}

TEST(CellTextMetaData, ManyFootnoteMarksKeepTheirOrderAndAddOnce) {
  // A title that carries every footnote of a large table: past a few dozen marks they are found
  // through a set, which must agree with the list through additions, repeats and removals.
  constexpr int kMarks = 2000;
  OmStringCell title("t");
  std::vector<int> expected;
  for (int i = 0; i < kMarks; ++i) {
    const int index = (i * 7919) % kMarks + 40000; // every index once, out of order
    title.Footnote(index);
    title.Footnote(index);
    expected.push_back(index);
  }
  EXPECT_EQ(title.Footnotes(), expected);
  for (int i = 0; i < kMarks - 10; ++i)
    title.RemoveFootnote(expected[static_cast<std::size_t>(i)]);
  expected.erase(expected.begin(), expected.end() - 10);
  EXPECT_EQ(title.Footnotes(), expected); // back to a few: found by a scan again
  title.Footnote(expected[0]);
  title.Footnote(70000);
  expected.push_back(70000);
  EXPECT_EQ(title.Footnotes(), expected);
  const OmCellTextPtr copy = CloneText(title);
  copy->Footnote(70000);
  EXPECT_EQ(copy->Footnotes(), expected);
}

TEST(CellTextMetaData, CopiesAreDeepAndKeepTheTracker) {
  icuTracker tracker{"de", {}};
  OmStringCell s("x");
  s.setICUTracker(&tracker);
  s.Footnote(4);
  s.addMarker("m");
  s.setTextBold(true);

  const OmCellTextPtr copy = CloneText(s);
  EXPECT_EQ(copy->getICUTracker(), &tracker);
  EXPECT_EQ(copy->Footnotes(), (std::vector<int>{4}));
  EXPECT_EQ(copy->Markers(), (std::vector<std::string>{"m"}));
  EXPECT_TRUE(copy->IsBold());
  copy->Footnote(5);
  copy->setTextBold(false);
  EXPECT_EQ(s.Footnotes(), (std::vector<int>{4}));
  EXPECT_TRUE(s.IsBold());
  EXPECT_FALSE(CloneText(OmNumber(1, kInteger))->HasMetaData());
}

// ---------------------------------------------------------------------------------------------------

// A text whose construction fails after its memory was allocated.
class FailingText final : public OmCellText {
public:
  FailingText() { throw std::runtime_error("construction failed"); }
  void Accept(Visitor&) override {}
  short OrderCode() const override { return kOrderString; }
  std::string AsString() const override { return {}; }
  short Compare(const OmCellText&) const override { return 0; }
  OmCellText* Clone(OmMemoryRegion*) const override { return nullptr; }
};

TEST(CellTextRegion, CountsLiveTextsAndBytesAndTakesBackFailedConstructions) {
  OmMemoryRegion region;
  const OmCellText* number = new (&region) OmNumber(1, kInteger);
  EXPECT_EQ(region.LiveObjects(), 1u);
  EXPECT_GE(region.LiveBytes(), sizeof(OmNumber));
  const std::size_t oneNumber = region.LiveBytes();
  const OmCellText* string = new (&region) OmStringCell("x");
  EXPECT_EQ(region.LiveObjects(), 2u);
  EXPECT_GE(region.LiveBytes(), oneNumber + sizeof(OmStringCell));
  OmMemoryRegion::Release(string);
  EXPECT_EQ(region.LiveBytes(), oneNumber);
  OmMemoryRegion::Release(number);
  OmMemoryRegion::Release(nullptr);
  EXPECT_EQ(region.LiveObjects(), 0u);
  EXPECT_EQ(region.LiveBytes(), 0u);

  EXPECT_THROW((void)new (&region) FailingText(), std::runtime_error);
  EXPECT_EQ(region.LiveObjects(), 0u);
  EXPECT_EQ(region.LiveBytes(), 0u);
  OmMemoryRegion* heap = OmMemoryRegion::DefaultHeap();
  const std::size_t heapObjects = heap->LiveObjects();
  const std::size_t heapBytes = heap->LiveBytes();
  EXPECT_THROW((void)new FailingText(), std::runtime_error);
  EXPECT_EQ(heap->LiveObjects(), heapObjects);
  EXPECT_EQ(heap->LiveBytes(), heapBytes);
}

TEST(CellTextRegion, ClonesOfEveryKindGoToTheRegionAskedFor) {
  OmMemoryRegion region;
  OmMemoryRegion* heap = OmMemoryRegion::DefaultHeap();
  const std::size_t heapObjects = heap->LiveObjects();

  OmComposite composite(OmStringCell("^1 and [:^1,:]2"));
  composite.Add(OmNumber(1, kInteger));
  composite.BeginRepeatList();
  composite.Add(OmStringCell("a"));
  composite.Add(OmVariable("v", "", kNames));
  composite.End();
  const std::size_t compositeTexts = 1 + 3; // its template and three arguments, in the default heap
  EXPECT_EQ(heap->LiveObjects(), heapObjects + compositeTexts);

  const OmCellTextPtr others[] = {Str("s"), Var("v", "l"), NumVal("v", 1), StrVal("v", "s"),
                                  OmCellTextPtr(new OmNumber(2, MakeFormat(10, 3, 2)))};
  std::vector<OmCellTextPtr> clones;
  clones.emplace_back(composite.Clone(&region));
  for (const OmCellTextPtr& t : others) {
    clones.emplace_back(t->Clone(&region));
    EXPECT_EQ(clones.back()->AsFormattedString(), t->AsFormattedString());
    EXPECT_TRUE(clones.back()->Equals(*t));
  }
  // The composite's template and arguments are copied into the region with it, and so are arguments
  // added to the copy later.
  EXPECT_EQ(region.LiveObjects(), 1 + std::size(others) + compositeTexts);
  auto& compositeCopy = static_cast<OmComposite&>(*clones[0]);
  compositeCopy.Add(OmStringCell("late"));
  EXPECT_EQ(region.LiveObjects(), 1 + std::size(others) + compositeTexts + 1);
  compositeCopy.Substitute();
  EXPECT_EQ(compositeCopy.AsString(), "1 and a,v");

  clones.clear();
  EXPECT_EQ(region.LiveObjects(), 0u);
  EXPECT_EQ(region.LiveBytes(), 0u);
  const OmCellTextPtr onHeap(others[0]->Clone(nullptr)); // null means the default heap
  EXPECT_EQ(heap->LiveObjects(), heapObjects + compositeTexts + std::size(others) + 1);
}

TEST(CellTextRegion, FootprintOfNumbers) {
  // A number cell costs its object and one tag word in the default heap, and no metadata.
  EXPECT_LE(sizeof(OmNumber), 40u);
  OmMemoryRegion* heap = OmMemoryRegion::DefaultHeap();
  const std::size_t bytes = heap->LiveBytes();
  std::vector<OmCellTextPtr> cells;
  for (int i = 0; i < 1000; ++i)
    cells.emplace_back(new OmNumber(i, kInteger));
  EXPECT_LE(heap->LiveBytes() - bytes, 1000 * 48u);
  cells.clear();
  EXPECT_EQ(heap->LiveBytes(), bytes);
}

} // namespace
