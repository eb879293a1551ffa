#include "fuzz/ExtraSession.h"

#include <string>

namespace omf {

namespace fuzz {
namespace {

using omf::stream::Axis;
using omf::stream::FootnoteTarget;
using omf::stream::MessageWriter;
using omf::stream::TableOption;
using omf::stream::WidthLimits;
using omf::stream::WireFormat;

void Begin(MessageWriter& w, std::int64_t number, const std::string& name, bool bootstrap = false,
           const std::string& language = "English") {
  omf::stream::ProcedureSettings s;
  s.procedure = name;
  s.language = language;
  s.bootstrap = bootstrap;
  w.ProcedureBegin(number, s);
}

// A table of `rows` x `columns` categories with a cell in each, dimensions "Rows" and "Columns".
void SmallTable(MessageWriter& w, std::uint8_t tcid, const std::string& title, int rows, int columns) {
  w.String(1, title);
  w.String(2, "Sub " + title);
  w.TableBegin(tcid, 1, 2);
  w.String(1, "Columns");
  w.Dimension(tcid, 1);
  for (int r = 0; r < rows; ++r) {
    w.String(1, "r" + std::to_string(r));
    w.String(2, "Rows");
    w.Category(tcid, 1, 2);
    w.String(1, "Columns");
    w.CellDimension(tcid, 1);
    for (int c = 0; c < columns; ++c) {
      w.Number(3, r * 10.0 + c, WireFormat::Fixed(6, 1));
      w.String(4, "c" + std::to_string(c));
      w.Cell(tcid, 3, 4);
    }
  }
  w.TableEnd(tcid);
}

// Composites: a template with two arguments, one with a repeat list, and a copy of the first.
void Composites(MessageWriter& w) {
  w.String(7, "^1 for ^2");
  w.Composite(1, 7);
  w.String(2, "Mean");
  w.CompositeAdd(2);
  w.Variable(2, "income", "Household income");
  w.CompositeAdd(2);
  w.Copy(1, 8);
  w.String(7, "Values [:^1=^2,:]1");
  w.Composite(9, 7);
  w.RepeatBegin();
  w.Number(2, 1, WireFormat::Fixed(3, 0));
  w.CompositeAdd(2);
  w.String(2, "one");
  w.CompositeAdd(2);
  w.Number(2, 2, WireFormat::Fixed(3, 0));
  w.CompositeAdd(2);
  w.String(2, "two");
  w.CompositeAdd(2);
  w.RepeatEnd();
}

void TableWithEverything(MessageWriter& w) {
  Composites(w);
  w.String(2, "Composite Table");
  w.TableBegin(0, 1, 2); // title from the composite in slot 1
  w.String(1, "Statistics");
  w.Place(0, 1, 1, Axis::Columns, true, false);
  w.Copy(8, 1);
  w.Scratch(1);
  w.Variable(1, "income", "Household income");
  w.Dimension(0, 1);
  w.String(1, "Statistics");
  w.DimensionSort(0, 1);
  w.String(1, "Top");
  w.Variable(2, "income", "Household income");
  w.Group(0, 1, 2);
  for (double v : {3.0, 1.0, 2.0}) {
    w.NumValue(1, "income", v, WireFormat::Fixed(4, 0), "v" + std::to_string(static_cast<int>(v)), 1);
    w.Variable(2, "income", "Household income");
    w.Category(0, 1, 2);
    if (v == 3.0)
      for (FootnoteTarget t : {FootnoteTarget::Category, FootnoteTarget::Group, FootnoteTarget::Dimension}) {
        w.String(5, "note " + std::to_string(static_cast<int>(t)));
        w.Footnote(t, 5);
      }
    w.String(1, "Statistics");
    w.CellDimension(0, 1);
    w.Number(3, v * 1.5, WireFormat::Fixed(8, 2));
    w.String(4, "Mean");
    w.Cell(0, 3, 4);
    w.Bold();
    w.Background("#ffeedd");
    w.TextColour("blue");
    w.Integer(3, static_cast<int>(v), WireFormat::Fixed(5, 0));
    w.String(4, "N");
    w.Cell(0, 3, 4);
    w.String(5, "a note");
    w.String(6, "x");
    w.FootnoteWithMarker(FootnoteTarget::Cell, 5, 6);
  }
  w.StringValue(1, "city", "Bern", WireFormat::Fixed(8, 0), "Capital", 0);
  w.Variable(2, "income", "Household income");
  w.Category(0, 1, 2);
  w.String(4, "N");
  w.CellCategory(0, 4);
  w.Variable(2, "income", "Household income");
  w.GroupEnd(0, 2);
  w.GroupSort(0, 2);
  w.GroupSortMark(0, 1);
  w.GroupMark(0);
  w.String(6, "*");
  w.Marker(6);
  for (FootnoteTarget t : {FootnoteTarget::Title, FootnoteTarget::SetCaption, FootnoteTarget::Caption}) {
    w.String(5, "note " + std::to_string(static_cast<int>(t)));
    w.Footnote(t, 5);
  }
  w.Number(3, 1, WireFormat::Fixed(1, 0));
  w.Option(0, TableOption::RotateRowLabels, 3);
  w.Number(3, 7, WireFormat::Fixed(1, 0));
  w.Option(0, TableOption::OptionNumber, 3);
  w.String(3, "Statistics");
  w.Option(0, TableOption::DimensionOption, 3);
  w.ColumnWidths(0, WidthLimits::Both, 8, 40);
  w.String(1, "Corner");
  w.Corner(0, 1);
  w.ClearAuxiliary(0);
  w.TableEnd(0);
  // A continuation of the table.
  w.String(1, "Composite Table");
  w.String(2, "Composite Table");
  w.TableBegin(0, 1, 2, true);
  w.TableEnd(0);
  w.Free(9);
}

} // namespace

void WriteExtraSession(MessageWriter& w) {
  w.ByteOrderProbe();
  w.Swap(false);
  w.Setting("MIORIGINAL", 1);
  w.SettingPair(3, 4);
  w.Display("TVARS", "Both");
  w.Display("ONUMBERS", "Labels");
  w.Log("first line", 3);
  w.Log("after a form feed", -1);
  w.Signal();
  w.LogEnd();
  w.PageTitle("Title", "Subtitle");
  Begin(w, 7, "Regression");
  w.String(1, "Regression");
  w.TextBlock(1);
  w.Text("line one", 2);
  w.Text("after a form feed", -1);
  w.Outline("Outline of Regression");
  w.String(1, "Outer");
  w.Heading(1);
  w.String(5, "heading note");
  w.Footnote(FootnoteTarget::Heading, 5);
  w.String(1, "Inner");
  w.Heading(1);
  TableWithEverything(w);
  w.HeadingEnd();
  w.String(1, "Empty");
  w.Heading(1);
  w.HeadingEnd();
  w.HeadingEnd();
  w.Chart(1, 0, "Pie chart");
  w.Chart(1, 2, "chart content");
  w.Chart(1, 7, std::string(16, 'c'));
  w.Chart(1, 9, "chart subtitle");
  w.Chart(1, 10, "map info");
  w.AnswerTree(0, 1, "Tree");
  w.AnswerTree(0, 2, "tree content");
  w.AnswerTree(0, 0, "tree zero");
  w.Model("Model", {"content one", "content two"}, "model subtitle");
  w.Model("Fragmented model", {"x"}, "", 6);
  w.ProcedureEnd("", 5);
  w.Display("OLANG", "French");
  Begin(w, 8, "Frequencies", false, "French");
  w.Variable(1, "Imputation_", "Imputation Number");
  w.NumValue(2, "Imputation_", 1, WireFormat::Fixed(2, 0), "1");
  w.Split(1, 2);
  SmallTable(w, 0, "Statistics", 2, 2);
  w.ProcedureEnd();
  w.Display("OLANG", "English");
}

void WriteBootstrapSession(MessageWriter& w) {
  Begin(w, 9, "Frequencies", true);
  w.String(1, "Frequencies");
  w.TextBlock(1);
  w.Text("Frequencies");
  SmallTable(w, 0, "Statistics", 1, 1);
  w.String(1, "Empty heading");
  w.Heading(1);
  w.HeadingEnd();
  SmallTable(w, 1, "Second", 1, 2);
  w.ProcedureEnd("level=95\nsamples=10\n");
}

} // namespace fuzz

} // namespace omf
