// Table messages played through OmFactory: categories and groups, placement, sort modes, options,
// footnote targets, markers and colours, and the errors a table can end with.
#include <gtest/gtest.h>

#include "support/FactoryHarness.h"
#include <omf/builder/PivotFactory.h>
#include <omf/platform/error/ThrowError.h>
#include <omf/protocol/ProtocolError.h>

using namespace omf;

using omf::fixtures::CellText;
using omf::fixtures::Harness;
using omf::stream::Axis;
using omf::stream::FootnoteTarget;
using omf::stream::TableOption;
using omf::stream::WidthLimits;
using omf::stream::WireFormat;

namespace {

using Strings = std::vector<std::string>;

// Opens a procedure with a title and begins table 0 titled "T".
struct TableSession : Harness {
  TableSession() {
    Begin("Crosstabs");
    Title("Crosstabs");
    w.String(1, "T");
    w.String(2, "Crosstabulation");
    w.TableBegin(0, 1, 2);
  }
  void Category(const std::string& label, const std::string& dim) {
    w.String(1, label);
    w.String(2, dim);
    w.Category(0, 1, 2);
  }
  void Group(const std::string& label, const std::string& dim) {
    w.String(1, label);
    w.String(2, dim);
    w.Group(0, 1, 2);
  }
  void GroupEnd(const std::string& dim) {
    w.String(2, dim);
    w.GroupEnd(0, 2);
  }
  void CellAt(const std::string& cellDim, const std::string& category, double value) {
    w.String(2, cellDim);
    w.CellDimension(0, 2);
    w.Number(3, value, WireFormat::Fixed(8, 0));
    w.String(4, category);
    w.Cell(0, 3, 4);
  }
  void Place(const std::string& dim, int position, Axis axis) {
    w.String(2, dim);
    w.Place(0, 2, position, axis);
  }
  OmPivotTable& Finish() {
    w.TableEnd(0);
    End();
    OmPivotTable* t = Find<OmPivotTable>("T");
    EXPECT_NE(t, nullptr);
    return *t;
  }
};

std::vector<std::string> Labels(const OmDimensionNode& node) {
  std::vector<std::string> out;
  for (const auto& c : node.Children())
    out.push_back(c->Label().AsString());
  return out;
}

TEST(TableMessages, CategoriesGroupsAndSubscripts) {
  TableSession s;
  s.Category("a", "D");
  s.Category("a", "D"); // same label, same group: one category
  s.Group("g", "D");
  s.Category("a", "D"); // same label under another group: a new category
  s.Category("b", "D");
  s.GroupEnd("D");
  s.Group("g", "D"); // entering the group again finds it
  s.Category("c", "D");
  s.GroupEnd("D");
  OmPivotTable& t = s.Finish();
  const OmDimension& d = t.Dimension(0);
  EXPECT_EQ(Labels(d.Root()), (Strings{"a", "g"}));
  EXPECT_EQ(Labels(d.Root().Child(1)), (Strings{"a", "b", "c"}));
  EXPECT_EQ(d.Root().Child(0).Subscript(), 0);
  EXPECT_EQ(d.Root().Child(1).Child(0).Subscript(), 1); // subscripts follow first appearance
  EXPECT_EQ(d.Root().Child(1).Child(2).Subscript(), 3);
  EXPECT_EQ(d.Size(), 4);
}

TEST(TableMessages, CellsLandAtTheCurrentCategories) {
  TableSession s;
  s.Category("r1", "Rows");
  s.CellAt("Cols", "c1", 11);
  s.CellAt("Cols", "c2", 12);
  s.Category("r2", "Rows");
  s.CellAt("Cols", "c1", 21);
  s.Group("g", "Rows"); // entering a group resets the coordinate: a cell now lands at subscript 0
  s.CellAt("Cols", "c2", 99);
  s.GroupEnd("Rows");
  OmPivotTable& t = s.Finish();
  ASSERT_EQ(t.NDimensions(), 2);
  EXPECT_EQ(CellText(t, {0, 0}), "11");
  EXPECT_EQ(CellText(t, {0, 1}), "99");
  EXPECT_EQ(CellText(t, {1, 0}), "21");
  EXPECT_EQ(CellText(t, {1, 1}), "<none>");
}

TEST(TableMessages, DimensionsArePlacedOnAxes) {
  TableSession s;
  for (const char* d : {"A", "B", "C"}) {
    s.w.String(2, d);
    s.w.Dimension(0, 2);
  }
  s.Place("C", 1, Axis::Columns);
  s.Place("B", 2, Axis::Columns);
  s.Place("A", 4, Axis::Layers);  // grows with the fill value
  s.Place("D", 2, Axis::Columns); // new dimension, inserted before position 2
  OmPivotTable& t = s.Finish();
  // A, B, C were added in that order; unplaced they would stand in the rows as C, B, A.
  EXPECT_EQ(t.Rows().Items(), (std::vector<short>{}));
  EXPECT_EQ(t.Columns().Items(), (std::vector<short>{2, 3, 1}));
  EXPECT_EQ(t.Layers().Items(), (std::vector<short>{-1, -1, -1, 0}));
}

TEST(TableMessages, SortModesOptionsAndWidths) {
  TableSession s;
  s.Category("b", "D");
  s.Category("a", "D");
  s.Category("c", "D");
  s.w.DimensionSort(0, 1); // descending, applied at the finish step
  s.Group("g", "D");
  s.Category("z", "D");
  s.Category("y", "D");
  s.w.GroupSortMark(0, 0);
  s.GroupEnd("D");
  s.w.Number(5, 1, WireFormat::Fixed(1, 0));
  s.w.Option(0, TableOption::RotateRowLabels, 5);
  s.w.Number(5, 7.9, WireFormat::Fixed(1, 0));
  s.w.Option(0, TableOption::OptionNumber, 5);
  s.w.String(5, "D");
  s.w.Option(0, TableOption::DimensionOption, 5);
  s.w.ColumnWidths(0, WidthLimits::Both, 10, 40);
  s.w.ClearAuxiliary(0);
  s.w.String(5, "corner");
  s.w.Corner(0, 5);
  OmPivotTable& t = s.Finish();
  EXPECT_EQ(Labels(t.Dimension(0).Root()), (Strings{"g", "c", "b", "a"}));
  EXPECT_EQ(Labels(t.Dimension(0).Root().Child(0)), (Strings{"y", "z"}));
  EXPECT_TRUE(t.Dimension(0).Root().Child(0).Mark());
  EXPECT_TRUE(t.RotateRowLabels());
  EXPECT_EQ(t.OptionNumber(), 7);
  EXPECT_TRUE(t.Dimension(0).Option());
  EXPECT_EQ(t.MinColumnWidth(), 10);
  EXPECT_EQ(t.MaxColumnWidth(), 40);
  EXPECT_FALSE(t.AuxiliaryFlag());
  ASSERT_NE(t.CornerText(), nullptr);
  EXPECT_EQ(t.CornerText()->AsString(), "corner");
}

TEST(TableMessages, FootnoteTargetsMarkersAndColours) {
  TableSession s;
  const auto note = [&](FootnoteTarget target, const std::string& text) {
    s.w.String(7, text);
    s.w.Footnote(target, 7);
  };
  s.Group("g", "D");
  s.Category("c", "D");
  s.CellAt("E", "e", 1);
  s.w.String(2, "D");
  s.w.Dimension(0, 2); // D becomes the current dimension again
  note(FootnoteTarget::Title, "on title");
  note(FootnoteTarget::Dimension, "on dimension");
  note(FootnoteTarget::Group, "on group");
  note(FootnoteTarget::Category, "on category");
  note(FootnoteTarget::Cell, "on cell");
  note(FootnoteTarget::SetCaption, "the caption");
  note(FootnoteTarget::Caption, "on caption");
  s.w.String(7, "text");
  s.w.String(8, "*");
  s.w.FootnoteWithMarker(FootnoteTarget::Cell, 7, 8);
  s.w.String(7, "m");
  s.w.Marker(7);
  s.w.Bold();
  s.w.TextColour("#ff0000");
  s.w.Background("#00ff00");
  s.GroupEnd("D");
  OmPivotTable& t = s.Finish();
  const auto text = [&](int i) { return t.Footnotes().at(static_cast<std::size_t>(i)).text->AsString(); };
  ASSERT_EQ(t.Footnotes().size(), 7u);
  EXPECT_EQ(text(t.TableTitle().Footnotes().at(0)), "on title");
  EXPECT_EQ(text(t.Dimension(0).Label().Footnotes().at(0)), "on dimension");
  const OmDimensionNode& group = t.Dimension(0).Root().Child(0);
  EXPECT_EQ(text(group.Label().Footnotes().at(0)), "on group");
  const OmCellText& category = group.Child(0).Label();
  EXPECT_EQ(text(category.Footnotes().at(0)), "on category");
  EXPECT_TRUE(category.IsBold());
  EXPECT_EQ(category.TextColor(), "#ff0000");
  EXPECT_EQ(category.BackgroundColor(), "#00ff00");
  const OmCellText* cell = t.Cell({0, 0});
  ASSERT_NE(cell, nullptr);
  ASSERT_EQ(cell->Footnotes().size(), 2u);
  EXPECT_EQ(text(cell->Footnotes()[0]), "on cell");
  EXPECT_EQ(t.Footnotes().at(static_cast<std::size_t>(cell->Footnotes()[1])).marker->AsString(), "*");
  EXPECT_EQ(cell->Markers(), (Strings{"m"}));
  EXPECT_TRUE(t.HasMarkers());
  ASSERT_NE(t.Caption(), nullptr);
  EXPECT_EQ(t.Caption()->AsString(), "the caption");
  EXPECT_EQ(text(t.Caption()->Footnotes().at(0)), "on caption");
}

TEST(TableMessages, HeadingFootnotesReachTheHeadingsTables) {
  Harness h;
  h.Open("Crosstabs");
  h.w.String(1, "Heading");
  h.w.Heading(1);
  h.Table(0, "Before", "X", {"r"}, {"c"}, {1});
  h.w.String(1, "heading note");
  h.w.Footnote(FootnoteTarget::Heading, 1);
  h.Table(1, "After", "X", {"r"}, {"c"}, {1});
  h.End();
  for (const char* title : {"Before", "After"}) {
    OmPivotTable* t = h.Find<OmPivotTable>(title);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->TableTitle().Footnotes().size(), 1u) << title;
    EXPECT_EQ(t->Footnotes()[0].text->AsString(), "heading note");
  }
  EXPECT_EQ(h.Find<OmHeading>("Heading")->Footnotes().size(), 1u);
}

TEST(TableMessages, TableErrorsAreThrownWithTheirNumbers) {
  const struct {
    const char* what;
    std::function<void(TableSession&)> body;
    int number;
  } cases[] = {
      {"ending a table that was never begun", [](TableSession& s) { s.w.TableEnd(9); }, 101},
      {"ending a table inside a group",
       [](TableSession& s) {
         s.Group("g", "D");
         s.w.TableEnd(0);
       },
       102},
      {"bold with no category to take it",
       [](TableSession& s) {
         s.w.String(2, "D");
         s.w.Dimension(0, 2);
         s.w.Bold();
       },
       103},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TableSession s;
    try {
      c.body(s);
      ADD_FAILURE() << "no error";
    } catch (const OmError& e) {
      EXPECT_EQ(e.Number(), c.number);
      EXPECT_EQ(e.File(), "omerrors.err");
      // The text comes from the shipped message file, not the fallback for a missing one.
      EXPECT_EQ(std::string(e.what()).find("not found"), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find("no text"), std::string::npos) << e.what();
    }
  }
}

TEST(TableMessages, AfterError102TheBuilderStaysRegistered) {
  TableSession s;
  s.Group("g", "D");
  EXPECT_THROW(s.w.TableEnd(0), OmError);
  s.GroupEnd("D");
  s.Category("c", "D");
  EXPECT_NO_THROW(s.w.TableEnd(0));
  s.End();
  EXPECT_NE(s.Find<OmPivotTable>("T"), nullptr);
}

TEST(TableMessages, AnUnsetCellDimensionWritesTheBuilderState) {
  TableSession s;
  s.Category("r", "Rows");
  s.w.Number(3, 1, WireFormat::Fixed(4, 0));
  s.w.String(4, "c");
  testing::internal::CaptureStderr();
  EXPECT_THROW(s.w.Cell(0, 3, 4), ProtocolError);
  const std::string state = testing::internal::GetCapturedStderr();
  EXPECT_EQ(state, "OmPivotFactory state on error:\n\tTable Title: T\n\tCurrent Dimension: 0\n\n");
}

} // namespace

// Numbers wait in their slots as values and string texts are filled again once used: whatever a slot
// held before, a table gets what the last message put there, and a number read by any other message
// (a label, a copy) is the same number.
TEST(TableMessages, SlotsHandOutWhatWasLastPutInThem) {
  Harness h;
  h.Open("Frequencies");
  h.BeginTable("T", "T", "Columns");
  h.w.Number(3, 1.5, WireFormat::Fixed(6, 1));
  h.w.String(4, "first");
  h.w.Cell(0, 3, 4);
  h.w.Number(3, 2.25, WireFormat::Fixed(6, 2)); // the same slots again
  h.w.String(4, "second", true);
  h.w.Cell(0, 3, 4);
  h.w.Number(5, 7, WireFormat::Fixed(4, 0)); // a number as a category label
  h.w.Copy(5, 6);
  h.w.Cell(0, 6, 5);
  h.w.Integer(3, 9, WireFormat::Fixed(4, 0));
  h.w.String(4, "fourth");
  h.w.Cell(0, 3, 4);
  h.w.TableEnd(0);
  h.End();
  const OmPivotTable* t = h.Find<OmPivotTable>("T");
  ASSERT_NE(t, nullptr);
  std::vector<std::string> labels, cells;
  for (const OmDimensionNode* c : t->Dimension(0).Categories()) {
    labels.push_back(c->Label().AsString());
    cells.push_back(fixtures::CellText(*t, {c->Subscript()}));
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"first", "second", "7", "fourth"}));
  EXPECT_EQ(cells, (std::vector<std::string>{"1.5", "2.25", "7", "9"}));
}
