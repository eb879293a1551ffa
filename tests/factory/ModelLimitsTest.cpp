// Streams that would grow the model past its limits (footnote indexes, group nesting, composite size and
// nesting) are refused at the message that would break the limit, with a ProtocolError naming it; the
// factory keeps what it has and plays the rest of the stream.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/FactoryHarness.h"
#include <omf/builder/PivotFactory.h>
#include <omf/protocol/ProtocolError.h>

using namespace omf;

using omf::fixtures::Harness;
using omf::stream::FootnoteTarget;
using omf::stream::WireFormat;

namespace {

// Sends messages that must be refused with a ProtocolError of the given type whose text holds `part`.
void ExpectRefused(const std::function<void()>& send, short type, const std::string& part) {
  try {
    send();
    ADD_FAILURE() << "not refused";
  } catch (const ProtocolError& e) {
    EXPECT_EQ(e.Type(), type);
    EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
  }
}

// A table "Holder" whose only cell is the text in `slot`.
void CellTable(Harness& h, int slot) {
  h.w.String(90, "Holder");
  h.w.String(91, "X");
  h.w.TableBegin(5, 90, 91);
  h.w.String(90, "Columns");
  h.w.CellDimension(5, 90);
  h.w.String(91, "c");
  h.w.Cell(5, slot, 91);
  h.w.TableEnd(5);
}

TEST(ModelLimits, FootnoteIndexesGoPastTheRangeOfAShort) {
  constexpr int kNotes = 40000; // more than a 16-bit index holds
  Harness h;
  h.Open("Frequencies");
  h.w.String(1, "Section");
  h.w.Heading(1);
  h.Table(0, "Statistics", "X", {"r"}, {"c"}, {1}, [&] {
    for (int i = 0; i < kNotes; ++i) {
      h.w.String(1, "note " + std::to_string(i));
      h.w.Footnote(FootnoteTarget::Title, 1);
    }
    h.w.String(1, "note 7"); // an equal note is the same footnote
    h.w.Footnote(FootnoteTarget::Cell, 1);
  });
  h.w.String(1, "about the section"); // inherited by the table above
  h.w.Footnote(FootnoteTarget::Heading, 1);
  h.w.String(1, "note 12345"); // inherited, and equal to one the table has
  h.w.Footnote(FootnoteTarget::Heading, 1);
  h.w.HeadingEnd();
  h.End();

  const OmPivotTable* table = h.Find<OmPivotTable>("Statistics");
  ASSERT_NE(table, nullptr);
  const auto& notes = table->Footnotes();
  ASSERT_EQ(notes.size(), static_cast<std::size_t>(kNotes + 1));
  for (std::size_t i = 0; i < notes.size(); ++i)
    ASSERT_EQ(notes[i].index, static_cast<int>(i));
  EXPECT_EQ(notes[kNotes].text->AsString(), "about the section");
  EXPECT_EQ(notes[kNotes - 1].text->AsString(), "note 39999");

  const std::vector<int>& title = table->TableTitle().Footnotes();
  ASSERT_EQ(title.size(), static_cast<std::size_t>(kNotes + 1));
  EXPECT_EQ(title.back(), kNotes);
  EXPECT_EQ(title[kNotes - 1], kNotes - 1);
  EXPECT_EQ(table->Cell({0, 0})->Footnotes(), std::vector<int>{7});
}

TEST(ModelLimits, GroupsNestAtMostAHundredLevels) {
  constexpr int kDepth = OmPivotFactory::kMaxGroupDepth;
  Harness h;
  h.Open("Frequencies");
  h.w.String(1, "Nested");
  h.w.String(2, "X");
  h.w.TableBegin(0, 1, 2);
  const auto group = [&](int i) {
    h.w.String(1, "group " + std::to_string(i));
    h.w.String(2, "Rows");
    h.w.Group(0, 1, 2);
  };
  for (int i = 1; i <= kDepth; ++i) {
    group(i);
    h.w.GroupSort(0, OmDimensionNode::kSortAscending);
    h.w.String(1, "z");
    h.w.String(2, "Rows");
    h.w.Category(0, 1, 2);
  }
  for (int extra = 0; extra < 3; ++extra) // a stream that goes on nesting is refused at every level
    ExpectRefused([&] { group(kDepth + 1 + extra); }, 270, "deeper than 100 levels");
  h.w.String(1, "Columns");
  h.w.CellDimension(0, 1);
  h.w.Number(3, 42, WireFormat::Fixed(8, 0));
  h.w.String(4, "c");
  h.w.Cell(0, 3, 4);
  for (int i = 0; i < kDepth; ++i) {
    h.w.String(2, "Rows");
    h.w.GroupEnd(0, 2);
  }
  h.w.TableEnd(0);
  h.End(); // translation and sorting walk the full depth

  const OmPivotTable* table = h.Find<OmPivotTable>("Nested");
  ASSERT_NE(table, nullptr);
  const OmDimension& rows = table->Dimension(table->FindDimension(OmStringCell("Rows")));
  const std::vector<const OmDimensionNode*> categories = rows.Categories();
  ASSERT_EQ(categories.size(), static_cast<std::size_t>(kDepth));
  // Each group received its category "z" before the next group; sorted, every group comes before its
  // "z", so the innermost category comes first.
  EXPECT_EQ(categories.front()->Parent()->Label().AsString(), "group 100");
  EXPECT_EQ(categories.back()->Parent()->Label().AsString(), "group 1");
  int depth = 0;
  for (const OmDimensionNode* n = categories.front(); n != &rows.Root(); n = n->Parent())
    ++depth;
  EXPECT_EQ(depth, kDepth + 1);
  EXPECT_TRUE(h.PlayValidProcedure("Next")) << "the factory stays usable";
}

TEST(ModelLimits, CompositesThatWouldGrowTooFarAreRefused) {
  // Slot 1 holds the composite "^1" of "x" to begin with; each level builds the next in its place from
  // a copy, so that slot 1 still holds the last level built when the next one is refused.
  const struct {
    const char* what;
    std::function<void(Harness&)> level;
    const char* refusal;
    std::function<std::string(int)> filled; // the text of slot 1 after so many levels
  } cases[] = {
      {"a template naming its argument twice doubles the filled text",
       [](Harness& h) {
         h.w.String(2, "^1^1");
         h.w.Composite(3, 2);
         h.w.Copy(1, 4);
         h.w.CompositeAdd(4);
         h.w.Copy(3, 1);
       },
       "could grow past 1048576 bytes",
       [](int levels) { return std::string(std::size_t{1} << levels, 'x'); }},
      {"adding a copy of itself doubles the texts",
       [](Harness& h) {
         h.w.Copy(1, 4);
         h.w.CompositeAdd(4); // the current composite is slot 1's
       },
       "more than 100000 texts", [](int) { return std::string("x"); }},
      {"a composite holding the previous one nests a level deeper",
       [](Harness& h) {
         h.w.String(2, "(^1)");
         h.w.Composite(3, 2);
         h.w.Copy(1, 4);
         h.w.CompositeAdd(4);
         h.w.Copy(3, 1);
       },
       "nest deeper than 100 levels",
       [](int levels) {
         return std::string(static_cast<std::size_t>(levels), '(') + "x" +
                std::string(static_cast<std::size_t>(levels), ')');
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.Open("Frequencies");
    h.w.String(2, "^1");
    h.w.Composite(1, 2);
    h.w.String(4, "x");
    h.w.CompositeAdd(4);
    int levels = 0;
    try {
      for (; levels < 200; ++levels)
        c.level(h);
      ADD_FAILURE() << "never refused";
    } catch (const ProtocolError& e) {
      EXPECT_EQ(e.Type(), 263);
      EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
    }
    EXPECT_LE(levels, 100); // refused within a few kilobytes of stream
    // The last level built is kept and used.
    CellTable(h, 1);
    h.End(); // translation fills every composite
    const OmPivotTable* table = h.Find<OmPivotTable>("Holder");
    ASSERT_NE(table, nullptr);
    const OmCellText* cell = table->Cell({0});
    ASSERT_NE(cell, nullptr);
    ASSERT_EQ(cell->OrderCode(), OmCellText::kOrderComposite);
    const auto& composite = static_cast<const OmComposite&>(*cell);
    EXPECT_LE(composite.TextCount(), OmComposite::kMaxTexts);
    EXPECT_LE(composite.Nesting(), OmComposite::kMaxNesting);
    EXPECT_LE(composite.FilledTotalBound(), OmComposite::kMaxFilledLength);
    EXPECT_TRUE(composite.IsSubstituted());
    EXPECT_EQ(composite.AsString(), c.filled(levels));
    EXPECT_TRUE(h.PlayValidProcedure("Next")) << "the factory stays usable";
  }
}

} // namespace
