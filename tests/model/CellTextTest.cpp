#include "model/CellText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

constexpr std::uint32_t kInteger = MakeFormat(8, 5, 0);
constexpr std::uint32_t kTwoDecimals = MakeFormat(8, 5, 2);

using Mode = OmCellText::ModeType;

TEST(CellTextDisplay, VariablesByMode) {
  const struct {
    const char* name;
    const char* label;
    Mode mode;
    const char* expected;
  } cases[] = {
      {"sex", "Gender", OmCellText::kModeNames, "sex"},
      {"sex", "Gender", OmCellText::kModeLabels, "Gender"},
      {"sex", "Gender", OmCellText::kModeBoth, "Gender [sex]"},
      {"sex", "Gender", OmCellText::kModeNotSet, "Gender"},
      {"sex", "", OmCellText::kModeLabels, "sex"},
      {"sex", "", OmCellText::kModeBoth, "sex"},
      {"sex", "", OmCellText::kModeNotSet, "sex"},
      {"sex", "", OmCellText::kModeNames, "sex"},
  };
  for (const auto& c : cases) {
    const OmVariable v(c.name, c.label, c.mode);
    EXPECT_EQ(v.AsString(), c.expected) << "mode " << c.mode << " label '" << c.label << "'";
  }
}

TEST(CellTextDisplay, DataValuesByMode) {
  const struct {
    Mode mode;
    const char* label;
    const char* numeric;
    const char* string;
  } cases[] = {
      {OmCellText::kModeNames, "Male", "1.50", "m"},
      {OmCellText::kModeLabels, "Male", "Male", "Male"},
      {OmCellText::kModeBoth, "Male", "1.50 Male", "m Male"},
      {OmCellText::kModeNotSet, "Male", "Male", "Male"},
      {OmCellText::kModeLabels, "", "1.50", "m"},
      {OmCellText::kModeBoth, "", "1.50", "m"},
      {OmCellText::kModeNotSet, "", "1.50", "m"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " label '" << c.label << "'");
    EXPECT_EQ(OmNumDataValue("sex", 1.5, kTwoDecimals, c.label, c.mode).AsString(), c.numeric);
    EXPECT_EQ(OmStringDataValue("sex", "m   ", kTwoDecimals, c.label, c.mode).AsString(), c.string);
  }
  EXPECT_EQ(OmNumDataValue("x", kSysmis, kTwoDecimals, "", OmCellText::kModeNames).AsString(), ".");
  EXPECT_EQ(OmNumDataValue("x", 1234.5, MakeFormat(8, 3, 1), "", OmCellText::kModeBoth).AsString(),
            "1,234.5");

  // The mode can change after construction (display settings are applied later).
  OmVariable v("sex", "Gender", OmCellText::kModeNotSet);
  v.SetMode(OmCellText::kModeBoth);
  EXPECT_EQ(v.AsString(), "Gender [sex]");
  OmNumDataValue n("sex", 1, kInteger, "Male", OmCellText::kModeNotSet);
  n.SetMode(OmCellText::kModeBoth);
  EXPECT_EQ(n.AsString(), "1 Male");
}

TEST(CellTextDisplay, StringDataValuesLoseTrailingBlanksButKeepOneCharacter) {
  const struct {
    const char* given;
    const char* kept;
  } cases[] = {
      {"   ", " "}, {"", ""}, {"a  ", "a"}, {" a ", " a"}, {"a\t ", "a\t"}, {"a b", "a b"}, {" ", " "},
  };
  for (const auto& c : cases) {
    const OmStringDataValue v("s", c.given, kInteger, "", OmCellText::kModeNames);
    EXPECT_EQ(v.Value(), c.kept) << "'" << c.given << "'";
    EXPECT_EQ(v.AsString(), c.kept);
  }
}

TEST(CellTextDisplay, StringCellsKeepTheUntranslatedText) {
  OmStringCell s("Mean", nullptr, true);
  EXPECT_TRUE(s.IsTranslatable());
  EXPECT_FALSE(OmStringCell("Log").IsTranslatable());
  s.SetText("Mittelwert");
  s.SetSecondText("second");
  s.SetFurtherText("further");
  EXPECT_EQ(s.AsString(), "Mittelwert");
  EXPECT_EQ(s.AsEngString(), "Mean");
  EXPECT_EQ(s.Length(), 10u);
  EXPECT_EQ(s.SecondText(), "second");
  EXPECT_EQ(s.FurtherText(), "further");
  // Other kinds: English text is the shown text, and the length query is 0.
  const OmNumber n(3, kInteger);
  EXPECT_EQ(n.AsEngString(), "3");
  EXPECT_EQ(n.Length(), 0u);
  EXPECT_EQ(OmVariable("v", "Label", OmCellText::kModeLabels).Length(), 0u);
}

TEST(CellTextDisplay, Utf8ConversionFromTheCodePage) {
  const OmStringCell latin("caf\xe9");
  EXPECT_EQ(latin.AsU8String("windows-1252"), "caf\xc3\xa9");
  const OmStringCell utf8("caf\xc3\xa9");
  EXPECT_EQ(utf8.AsU8String(), "caf\xc3\xa9");
  EXPECT_EQ(OmNumber(1234.5, MakeFormat(8, 3, 1)).AsU8String(), "1,234.5");
}

TEST(CellTextDisplay, NumericPredicate) {
  EXPECT_TRUE(OmNumber(kSysmis, kInteger).IsNumeric());
  EXPECT_TRUE(OmNumDataValue("v", 1, kInteger, "", OmCellText::kModeNames).IsNumeric());
  EXPECT_FALSE(OmNumDataValue("v", kSysmis, kInteger, "", OmCellText::kModeNames).IsNumeric());
  EXPECT_FALSE(OmStringCell("1").IsNumeric());
  EXPECT_FALSE(OmStringDataValue("v", "1", kInteger, "", OmCellText::kModeNames).IsNumeric());
  EXPECT_FALSE(OmVariable("v", "", OmCellText::kModeNames).IsNumeric());
}

// ---------------------------------------------------------------------------------------------------

TEST(CellTextCompare, NumbersOrderMissingFirstAndNaNLast) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  // ascending
  const double order[] = {kSysmis, -inf, -1e300, -1, 0, 0.5, 1, 1e300, inf, nan};
  for (std::size_t i = 0; i < std::size(order); ++i) {
    for (std::size_t j = 0; j < std::size(order); ++j) {
      const OmNumber a(order[i], kInteger);
      const OmNumber b(order[j], MakeFormat(3, 17, 2)); // the format plays no part
      const short expected = i < j ? -1 : i > j ? 1 : 0;
      EXPECT_EQ(a.Compare(b), expected) << order[i] << " vs " << order[j];
      const OmNumDataValue da("v", order[i], kInteger, "", OmCellText::kModeNames);
      const OmNumDataValue db("v", order[j], kInteger, "other label", OmCellText::kModeLabels);
      EXPECT_EQ(da.Compare(db), expected) << order[i] << " vs " << order[j];
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
      {OmCellTextPtr(new OmStringCell("abc")), OmCellTextPtr(new OmStringCell("abd")), -1},
      {OmCellTextPtr(new OmStringCell("ab")), OmCellTextPtr(new OmStringCell("abc")), -1},
      {OmCellTextPtr(new OmStringCell("b")), OmCellTextPtr(new OmStringCell("abc")), 1},
      {OmCellTextPtr(new OmStringCell("B")), OmCellTextPtr(new OmStringCell("a")), -1}, // bytes, not case
      {OmCellTextPtr(new OmStringCell("\xc3\xa9")), OmCellTextPtr(new OmStringCell("z")),
       1}, // unsigned bytes
      {OmCellTextPtr(new OmStringCell(std::string("a\0b", 3))), OmCellTextPtr(new OmStringCell("a")), 1},
      {OmCellTextPtr(new OmStringCell("same")), OmCellTextPtr(new OmStringCell("same")), 0},
      {OmCellTextPtr(new OmVariable("a", "z", OmCellText::kModeNames)),
       OmCellTextPtr(new OmVariable("b", "a", OmCellText::kModeNames)), -1},
      {OmCellTextPtr(new OmVariable("a", "b", OmCellText::kModeNames)),
       OmCellTextPtr(new OmVariable("a", "a", OmCellText::kModeLabels)), 1},
      {OmCellTextPtr(new OmVariable("a", "a", OmCellText::kModeNames)),
       OmCellTextPtr(new OmVariable("a", "a", OmCellText::kModeBoth)), 0},
      {OmCellTextPtr(new OmNumDataValue("a", 9, kInteger, "", OmCellText::kModeNames)),
       OmCellTextPtr(new OmNumDataValue("b", 1, kInteger, "", OmCellText::kModeNames)), -1},
      {OmCellTextPtr(new OmNumDataValue("a", 1, kInteger, "z", OmCellText::kModeNames)),
       OmCellTextPtr(new OmNumDataValue("a", 1, kTwoDecimals, "a", OmCellText::kModeNames)), 0},
      {OmCellTextPtr(new OmStringDataValue("a", "y", kInteger, "", OmCellText::kModeNames)),
       OmCellTextPtr(new OmStringDataValue("a", "x", kInteger, "", OmCellText::kModeNames)), 1},
      {OmCellTextPtr(new OmStringDataValue("a", "x  ", kInteger, "", OmCellText::kModeNames)),
       OmCellTextPtr(new OmStringDataValue("a", "x", kInteger, "", OmCellText::kModeNames)), 0},
      {OmCellTextPtr(new OmStringDataValue("b", "a", kInteger, "", OmCellText::kModeNames)),
       OmCellTextPtr(new OmStringDataValue("a", "z", kInteger, "", OmCellText::kModeNames)), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a->AsString() << " vs " << c.b->AsString());
    EXPECT_EQ(c.a->Compare(*c.b), c.expected);
    EXPECT_EQ(c.b->Compare(*c.a), -c.expected);
    EXPECT_EQ(c.a->Equals(*c.b), c.expected == 0);
  }
}

TEST(CellTextCompare, DifferentKindsOrderByKind) {
  OmStringCell templ("^1");
  OmComposite composite(templ);
  const OmNumber number(1, kInteger);
  const OmNumDataValue numValue("v", 1, kInteger, "", OmCellText::kModeNames);
  const OmStringDataValue stringValue("v", "1", kInteger, "", OmCellText::kModeNames);
  const OmVariable variable("v", "", OmCellText::kModeNames);
  const OmStringCell string("1");
  const OmCellText* byKind[] = {&number, &numValue, &stringValue, &variable, &string, &composite};
  for (std::size_t i = 0; i < std::size(byKind); ++i) {
    EXPECT_EQ(byKind[i]->OrderCode(), static_cast<short>(i));
    for (std::size_t j = 0; j < std::size(byKind); ++j) {
      const short expected = i < j ? -1 : i > j ? 1 : 0;
      EXPECT_EQ(byKind[i]->Compare(*byKind[j]), expected) << i << " vs " << j;
      EXPECT_EQ(byKind[i]->Equals(*byKind[j]), i == j);
    }
  }
}

// ---------------------------------------------------------------------------------------------------

TEST(CellTextMetaData, MadeOnFirstUseOnly) {
  OmNumber n(1, kInteger);
  EXPECT_FALSE(n.HasMetaData());
  EXPECT_TRUE(n.Footnotes().empty());
  EXPECT_TRUE(n.Markers().empty());
  EXPECT_FALSE(n.IsBold());
  EXPECT_EQ(n.TextColor(), "");
  EXPECT_EQ(n.BackgroundColor(), "");
  // Defaults and removals change nothing, so they make no metadata.
  n.setTextBold(false);
  n.setTextColor("");
  n.setBackgroundColor("");
  n.RemoveFootnote(3);
  EXPECT_FALSE(n.HasMetaData());

  n.setTextBold(true);
  EXPECT_TRUE(n.HasMetaData());
  EXPECT_TRUE(n.IsBold());
  n.setTextBold(false);
  EXPECT_FALSE(n.IsBold());
  n.setTextColor("#ff0000");
  n.setBackgroundColor("#00ff00");
  n.addMarker("a");
  n.addMarker("b");
  EXPECT_EQ(n.TextColor(), "#ff0000");
  EXPECT_EQ(n.BackgroundColor(), "#00ff00");
  EXPECT_EQ(n.Markers(), (std::vector<std::string>{"a", "b"}));
}

TEST(CellTextMetaData, FootnotesAddOnceInOrder) {
  OmStringCell s("x");
  for (short i : {3, 1, 3, 2, 1})
    s.Footnote(i);
  EXPECT_EQ(s.Footnotes(), (std::vector<short>{3, 1, 2}));
  s.RemoveFootnote(1);
  s.RemoveFootnote(7);
  EXPECT_EQ(s.Footnotes(), (std::vector<short>{3, 2}));
  s.Footnote(1);
  EXPECT_EQ(s.Footnotes(), (std::vector<short>{3, 2, 1}));
}

TEST(CellTextMetaData, CopiesAreDeepAndKeepTheTracker) {
  icuTracker tracker{"de", {}};
  OmStringCell s("x");
  s.setICUTracker(&tracker);
  s.Footnote(4);
  s.addMarker("m");
  s.setTextBold(true);
  s.setTextColor("red");

  const OmCellTextPtr copy = CloneText(s);
  EXPECT_EQ(copy->getICUTracker(), &tracker);
  EXPECT_EQ(copy->Footnotes(), (std::vector<short>{4}));
  EXPECT_EQ(copy->Markers(), (std::vector<std::string>{"m"}));
  EXPECT_TRUE(copy->IsBold());
  EXPECT_EQ(copy->TextColor(), "red");

  copy->Footnote(5);
  copy->setTextBold(false);
  EXPECT_EQ(s.Footnotes(), (std::vector<short>{4}));
  EXPECT_TRUE(s.IsBold());

  const OmCellTextPtr plain = CloneText(OmNumber(1, kInteger));
  EXPECT_FALSE(plain->HasMetaData());
  EXPECT_EQ(plain->getICUTracker(), nullptr);
}

TEST(CellTextClone, EveryKindCopiesItsFields) {
  OmStringCell s("Mean", nullptr, true);
  s.SetText("Mittel");
  s.SetSecondText("2nd");
  s.SetFurtherText("3rd");
  const OmCellText* originals[] = {
      new OmNumber(1234.5, MakeFormat(10, 3, 2)),
      &s,
      new OmVariable("sex", "Gender", OmCellText::kModeBoth),
      new OmNumDataValue("sex", 1, kInteger, "Male", OmCellText::kModeBoth),
      new OmStringDataValue("city", "Bern  ", kInteger, "Capital", OmCellText::kModeBoth),
  };
  for (const OmCellText* original : originals) {
    const OmCellTextPtr copy = CloneText(*original);
    EXPECT_EQ(copy->OrderCode(), original->OrderCode());
    EXPECT_EQ(copy->AsString(), original->AsString());
    EXPECT_EQ(copy->AsEngString(), original->AsEngString());
    EXPECT_EQ(copy->AsFormattedString(), original->AsFormattedString());
    EXPECT_TRUE(copy->Equals(*original));
  }
  const auto* stringCopy = static_cast<const OmStringCell*>(CloneText(s).release());
  EXPECT_TRUE(stringCopy->IsTranslatable());
  EXPECT_EQ(stringCopy->SecondText(), "2nd");
  EXPECT_EQ(stringCopy->FurtherText(), "3rd");
  OmMemoryRegion::Release(stringCopy);
  for (const OmCellText* original : originals)
    if (original != &s) OmMemoryRegion::Release(original);
}

// ---------------------------------------------------------------------------------------------------

TEST(CellTextVisitor, OverloadsDoNothingUnlessStated) {
  struct NumberCounter : OmCellText::Visitor {
    int numbers = 0;
    void Visit(OmNumber&) override { ++numbers; }
  } counter;
  OmStringCell templ("^1");
  OmComposite composite(templ);
  OmNumber number(1, kInteger);
  OmNumDataValue numValue("v", 1, kInteger, "", OmCellText::kModeNames);
  OmStringDataValue stringValue("v", "1", kInteger, "", OmCellText::kModeNames);
  OmVariable variable("v", "", OmCellText::kModeNames);
  OmStringCell string("1");
  OmCellText* all[] = {&composite, &number, &numValue, &stringValue, &variable, &string};
  for (OmCellText* t : all)
    t->Accept(counter);
  EXPECT_EQ(counter.numbers, 1);
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

TEST(CellTextRegion, CountsLiveTextsAndBytes) {
  OmMemoryRegion region;
  const OmCellText* number = new (&region) OmNumber(1, kInteger);
  EXPECT_EQ(region.LiveObjects(), 1u);
  EXPECT_GE(region.LiveBytes(), sizeof(OmNumber));
  const std::size_t oneNumber = region.LiveBytes();

  const OmCellText* string = new (&region) OmStringCell("x");
  EXPECT_EQ(region.LiveObjects(), 2u);
  EXPECT_GE(region.LiveBytes(), oneNumber + sizeof(OmStringCell));

  OmMemoryRegion::Release(string);
  EXPECT_EQ(region.LiveObjects(), 1u);
  EXPECT_EQ(region.LiveBytes(), oneNumber);
  OmMemoryRegion::Release(number);
  EXPECT_EQ(region.LiveObjects(), 0u);
  EXPECT_EQ(region.LiveBytes(), 0u);
  OmMemoryRegion::Release(nullptr);
}

TEST(CellTextRegion, ClonesGoToTheRegionAskedFor) {
  OmMemoryRegion region;
  OmMemoryRegion* heap = OmMemoryRegion::DefaultHeap();
  const std::size_t heapObjects = heap->LiveObjects();
  const std::size_t heapBytes = heap->LiveBytes();

  OmStringCell templ("^1 and [:^1,:]2");
  OmComposite composite(templ);
  composite.Add(OmNumber(1, kInteger));
  composite.BeginRepeatList();
  composite.Add(OmStringCell("a"));
  composite.Add(OmVariable("v", "", OmCellText::kModeNames));
  composite.End();
  const std::size_t compositeTexts = 1 + 3; // template and three arguments, made in the default heap
  EXPECT_EQ(heap->LiveObjects(), heapObjects + compositeTexts);

  std::vector<OmCellTextPtr> clones;
  const OmCellText* originals[] = {
      &composite,
      &templ,
      new OmNumber(2, kInteger),
      new OmVariable("v", "l", OmCellText::kModeLabels),
      new OmNumDataValue("v", 1, kInteger, "", OmCellText::kModeNames),
      new OmStringDataValue("v", "s", kInteger, "", OmCellText::kModeNames),
  };
  for (const OmCellText* t : originals)
    clones.emplace_back(t->Clone(&region));
  // The composite's template and arguments are copied into the region with it.
  EXPECT_EQ(region.LiveObjects(), std::size(originals) + compositeTexts);
  EXPECT_EQ(clones[0]->AsString(), "^1 and [:^1,:]2");
  auto& compositeCopy = static_cast<OmComposite&>(*clones[0]);
  compositeCopy.Substitute();
  EXPECT_EQ(compositeCopy.AsString(), "1 and a,v");
  // Arguments added later to the copy are made in its region too.
  compositeCopy.Add(OmStringCell("late"));
  EXPECT_EQ(region.LiveObjects(), std::size(originals) + compositeTexts + 1);

  clones.clear();
  EXPECT_EQ(region.LiveObjects(), 0u);
  EXPECT_EQ(region.LiveBytes(), 0u);
  for (std::size_t i = 2; i < std::size(originals); ++i)
    OmMemoryRegion::Release(originals[i]);
  EXPECT_EQ(heap->LiveObjects(), heapObjects + compositeTexts);

  // Null means the default heap.
  const OmCellTextPtr onHeap(templ.Clone(nullptr));
  EXPECT_EQ(heap->LiveObjects(), heapObjects + compositeTexts + 1);
  EXPECT_GT(heap->LiveBytes(), heapBytes);
}

TEST(CellTextRegion, FailedConstructionGivesTheMemoryBack) {
  OmMemoryRegion region;
  EXPECT_THROW((void)new (&region) FailingText(), std::runtime_error);
  EXPECT_EQ(region.LiveObjects(), 0u);
  EXPECT_EQ(region.LiveBytes(), 0u);

  OmMemoryRegion* heap = OmMemoryRegion::DefaultHeap();
  const std::size_t objects = heap->LiveObjects();
  const std::size_t bytes = heap->LiveBytes();
  EXPECT_THROW((void)new FailingText(), std::runtime_error);
  EXPECT_EQ(heap->LiveObjects(), objects);
  EXPECT_EQ(heap->LiveBytes(), bytes);
}

TEST(CellTextRegion, FootprintOfNumbers) {
  // A number cell costs its object and one tag word in the default heap; metadata is not made for it.
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
