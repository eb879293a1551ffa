#include "examples/BuiltinSession.h"

#include <string>
#include <vector>

namespace omf::examples {
namespace {

using omf::stream::Axis;
using omf::stream::FootnoteTarget;
using omf::stream::MessageWriter;
using omf::stream::WireFormat;

// Slots the session uses; a slot is refilled for every message that takes its cell.
enum Slot : int { kLabel = 1, kDim = 2, kCell = 3, kCategory = 4, kNote = 5, kMarker = 6, kTemplate = 7 };

const WireFormat kCount = WireFormat::Fixed(5, 0);
const WireFormat kTwo = WireFormat::Fixed(8, 2);
const WireFormat kOne = WireFormat::Fixed(5, 1);

// A few shorthands over the writer for building one table at a time.
struct Table {
  MessageWriter& w;
  std::uint8_t tcid;

  Table(MessageWriter& writer, std::uint8_t id, const std::string& title, const std::string& subtype,
        bool splits = false)
      : w(writer), tcid(id) {
    w.String(kLabel, title);
    w.String(kDim, subtype);
    w.TableBegin(tcid, kLabel, kDim, splits);
  }
  void Dimension(const std::string& label) {
    w.String(kDim, label);
    w.Dimension(tcid, kDim);
  }
  void VariableDimension(const std::string& name, const std::string& label) {
    w.Variable(kDim, name, label);
    w.Dimension(tcid, kDim);
  }
  void Place(const std::string& label, int position, Axis axis) {
    w.String(kDim, label);
    w.Place(tcid, kDim, position, axis);
  }
  void Category(const std::string& dim, const std::string& label) {
    w.String(kLabel, label);
    w.String(kDim, dim);
    w.Category(tcid, kLabel, kDim);
  }
  void Group(const std::string& dim, const std::string& label) {
    w.String(kLabel, label);
    w.String(kDim, dim);
    w.Group(tcid, kLabel, kDim);
  }
  void EndGroup(const std::string& dim) {
    w.String(kDim, dim);
    w.GroupEnd(tcid, kDim);
  }
  void CellDimension(const std::string& dim) {
    w.String(kDim, dim);
    w.CellDimension(tcid, kDim);
  }
  // A number under the given category of the cell dimension.
  void Number(const std::string& category, double value, WireFormat format) {
    w.Number(kCell, value, format);
    w.String(kCategory, category);
    w.Cell(tcid, kCell, kCategory);
  }
  void Note(FootnoteTarget target, const std::string& text) {
    w.String(kNote, text);
    w.Footnote(target, kNote);
  }
  void End() { w.TableEnd(tcid); }
};

void Procedure(MessageWriter& w, std::int64_t number, const std::string& name,
               const std::string& language = "English") {
  omf::stream::ProcedureSettings s;
  s.procedure = name;
  s.language = language;
  w.ProcedureBegin(number, s);
  w.String(kLabel, name);
  w.TextBlock(kLabel);
  w.Text(name);
}

void Notes(MessageWriter& w, std::uint8_t tcid, const std::string& command) {
  Table t(w, tcid, "Notes", "Notes");
  t.Dimension("Notes");
  t.CellDimension("Values");
  t.Place("Values", 1, Axis::Columns);
  t.Category("Notes", "Output Created");
  w.String(kCell, "05-DEC-2026 17:00:00");
  w.String(kCategory, "Value");
  w.Cell(tcid, kCell, kCategory);
  t.Category("Notes", "Syntax");
  w.String(kCell, command);
  w.String(kCategory, "Value");
  w.Cell(tcid, kCell, kCategory);
  t.End();
  w.String(kLabel, "Active Dataset");
  w.TextBlock(kLabel);
  w.Text("DataSet1");
}

// A frequency table of one variable, with value labels, valid and missing groups.
void FrequencyTable(MessageWriter& w, const std::string& name, const std::string& label,
                    const std::vector<std::pair<double, std::string>>& values,
                    const std::vector<double>& counts, double missing) {
  Table t(w, 1, label, "Frequencies");
  const std::string rows = "Values", cols = "Statistics";
  t.Dimension(cols);
  w.Variable(kDim, name, label);
  w.Dimension(1, kDim);
  w.Variable(kDim, name, label);
  w.Place(1, kDim, 1, Axis::Rows);
  t.Place(cols, 1, Axis::Columns);
  double total = missing;
  for (double c : counts)
    total += c;
  const double valid = total - missing;
  const auto row = [&](double count, double validCount, double cumulative) {
    t.CellDimension(cols);
    t.Number("Frequency", count, kCount);
    t.Number("Percent", 100.0 * count / total, kOne);
    if (validCount >= 0) t.Number("Valid Percent", 100.0 * validCount / valid, kOne);
    if (cumulative >= 0) t.Number("Cumulative Percent", 100.0 * cumulative / valid, kOne);
  };
  w.String(kLabel, "Valid");
  w.Variable(kDim, name, label);
  w.Group(1, kLabel, kDim);
  double cumulative = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    w.NumValue(kLabel, name, values[i].first, WireFormat::Fixed(4, 0), values[i].second);
    w.Variable(kDim, name, label);
    w.Category(1, kLabel, kDim);
    cumulative += counts[i];
    row(counts[i], counts[i], cumulative);
  }
  w.String(kLabel, "Total");
  w.Variable(kDim, name, label);
  w.Category(1, kLabel, kDim);
  row(valid, valid, -1);
  w.Variable(kDim, name, label);
  w.GroupEnd(1, kDim);
  w.String(kLabel, "Missing");
  w.Variable(kDim, name, label);
  w.Group(1, kLabel, kDim);
  w.String(kLabel, "System");
  w.Variable(kDim, name, label);
  w.Category(1, kLabel, kDim);
  row(missing, -1, -1);
  w.Variable(kDim, name, label);
  w.GroupEnd(1, kDim);
  w.String(kLabel, "Total");
  w.Variable(kDim, name, label);
  w.Category(1, kLabel, kDim);
  row(total, -1, -1);
  t.End();
}

void Frequencies(MessageWriter& w) {
  Procedure(w, 1, "Frequencies");
  Notes(w, 0, "FREQUENCIES VARIABLES=sex income.");
  {
    Table t(w, 0, "Statistics", "Statistics");
    t.Dimension("Statistics");
    t.Place("Statistics", 1, Axis::Rows);
    w.String(kDim, "Variables");
    w.Place(0, kDim, 1, Axis::Columns);
    const auto column = [&](const std::string& name, const std::string& label, double valid, double missing,
                            double mean, double sd) {
      t.Group("Statistics", "N");
      w.Variable(kDim, name, label);
      w.String(kCategory, "Variables");
      w.Category(0, kDim, kCategory);
      t.CellDimension("Statistics");
      t.Number("Valid", valid, kCount);
      t.Number("Missing", missing, kCount);
      t.EndGroup("Statistics");
      t.Number("Mean", mean, kTwo);
      t.Number("Std. Deviation", sd, kTwo);
    };
    column("sex", "Gender", 98, 2, 1.52, 0.5);
    // A footnote on the cell just written.
    t.Note(FootnoteTarget::Cell, "Multiple modes exist. The smallest value is shown");
    column("income", "Household income (thousands)", 95, 5, 52.37, 18.91);
    t.Note(FootnoteTarget::Title, "Cases weighted by the sampling weight");
    t.End();
  }
  FrequencyTable(w, "sex", "Gender", {{1, "Male"}, {2, "Female"}}, {47, 51}, 2);
  FrequencyTable(w, "region", "Region", {{1, "North"}, {2, "South"}, {3, "East"}, {4, "West"}},
                 {20, 31, 25, 21}, 3);
  w.ProcedureEnd();
}

void Crosstabs(MessageWriter& w) {
  Procedure(w, 2, "Crosstabs");
  Notes(w, 0, "CROSSTABS /TABLES=region BY sex BY agegroup.");
  w.String(kLabel, "Region * Gender * Age group");
  w.Heading(kLabel);
  w.String(kNote, "Based on the 2026 survey wave");
  w.Footnote(FootnoteTarget::Heading, kNote);
  w.Text("Cells show counts of respondents.");
  {
    Table t(w, 0, "Region * Gender * Age group Crosstabulation", "Crosstabulation");
    t.VariableDimension("region", "Region");
    t.VariableDimension("sex", "Gender");
    t.VariableDimension("agegroup", "Age group");
    w.Variable(kDim, "region", "Region");
    w.Place(0, kDim, 1, Axis::Rows);
    w.Variable(kDim, "sex", "Gender");
    w.Place(0, kDim, 1, Axis::Columns);
    w.Variable(kDim, "agegroup", "Age group");
    w.Place(0, kDim, 1, Axis::Layers);
    const char* regions[] = {"North", "South"};
    const char* sexes[] = {"Male", "Female"};
    const char* ages[] = {"Under 40", "40 and over"};
    int k = 0;
    for (int a = 0; a < 2; ++a) {
      w.NumValue(kLabel, "agegroup", a + 1, WireFormat::Fixed(4, 0), ages[a]);
      w.Variable(kDim, "agegroup", "Age group");
      w.Category(0, kLabel, kDim);
      for (int r = 0; r < 2; ++r) {
        w.NumValue(kLabel, "region", r + 1, WireFormat::Fixed(4, 0), regions[r]);
        w.Variable(kDim, "region", "Region");
        w.Category(0, kLabel, kDim);
        for (int s = 0; s < 2; ++s) {
          w.Variable(kDim, "sex", "Gender");
          w.CellDimension(0, kDim);
          w.Number(kCell, 7 + (k * 5) % 13, kCount);
          w.NumValue(kCategory, "sex", s + 1, WireFormat::Fixed(4, 0), sexes[s]);
          w.Cell(0, kCell, kCategory);
          ++k;
        }
      }
    }
    // A marker on the last cell, a caption and a corner text.
    w.String(kMarker, "*");
    w.Marker(kMarker);
    t.Note(FootnoteTarget::SetCaption, "Counts are unweighted");
    w.String(kLabel, "Count");
    w.Corner(0, kLabel);
    t.End();
  }
  w.HeadingEnd();
  w.Chart(0, 0, "Bar chart of Region by Gender");
  w.Chart(0, 1, std::string(64, 'x'));
  w.Chart(0, 9, "Clustered by Gender");
  w.ProcedureEnd();
}

// The same statistics, run once per group of a split over two variables.
void SplitDescriptives(MessageWriter& w) {
  Procedure(w, 3, "Descriptives");
  const char* sexes[] = {"Male", "Female"};
  const char* regions[] = {"North", "South"};
  const double means[2][2] = {{41.2, 44.8}, {39.5, 47.1}};
  for (int s = 0; s < 2; ++s)
    for (int r = 1; r >= 0; --r) { // the second variable arrives in descending order; it is sorted
      w.Variable(kLabel, "sex", "Gender");
      w.NumValue(kDim, "sex", s + 1, WireFormat::Fixed(4, 0), sexes[s]);
      w.Split(kLabel, kDim);
      w.Variable(kLabel, "region", "Region");
      w.NumValue(kDim, "region", r + 1, WireFormat::Fixed(4, 0), regions[r]);
      w.Split(kLabel, kDim);
      Table t(w, 0, "Descriptive Statistics", "Descriptive Statistics", /*splits=*/true);
      t.Dimension("Statistics");
      t.Place("Statistics", 1, Axis::Columns);
      t.Place("Variables", 3, Axis::Rows); // inside the two split dimensions
      w.Variable(kLabel, "age", "Age in years");
      w.String(kDim, "Variables");
      w.Category(0, kLabel, kDim);
      t.CellDimension("Statistics");
      t.Number("N", 20 + 3 * s + r, kCount);
      t.Number("Mean", means[s][r], kTwo);
      t.Number("Std. Deviation", 9.5 + s + 0.25 * r, kTwo);
      t.End();
    }
  w.ProcedureEnd();
}

// A procedure whose output is shown in another language: the back end switches the output language.
void GermanSummary(MessageWriter& w) {
  w.Display("OLANG", "German");
  Procedure(w, 4, "Descriptives", "German");
  Table t(w, 0, "Descriptive Statistics", "Descriptive Statistics");
  t.Dimension("Statistics");
  t.Place("Statistics", 1, Axis::Columns);
  w.Variable(kLabel, "income", "Household income (thousands)");
  w.String(kDim, "Variables");
  w.Category(0, kLabel, kDim);
  t.CellDimension("Statistics");
  t.Number("N", 95, kCount);
  t.Number("Minimum", 12, kTwo);
  t.Number("Maximum", 118.5, kTwo);
  t.Number("Mean", 52.37, kTwo);
  t.Number("Std. Deviation", 18.91, kTwo);
  w.String(kLabel, "Valid N (listwise)");
  w.String(kDim, "Variables");
  w.Category(0, kLabel, kDim);
  t.CellDimension("Statistics");
  t.Number("N", 95, kCount);
  t.End();
  w.ProcedureEnd();
  w.Display("OLANG", "English");
}

} // namespace

void WriteBuiltinSession(MessageWriter& w) {
  w.Log(std::string("\x01") + "REQUEST 1");
  w.Log("GET FILE='survey.sav'.");
  w.Log("FREQUENCIES VARIABLES=sex region.");
  w.LogEnd();
  w.PageTitle("Survey 2026", "First look at the data");
  Frequencies(w);
  w.Log("CROSSTABS /TABLES=region BY sex BY agegroup.");
  w.LogEnd();
  Crosstabs(w);
  w.Log("SPLIT FILE BY sex region.");
  w.Log("DESCRIPTIVES VARIABLES=age.");
  w.LogEnd();
  SplitDescriptives(w);
  w.Log("SET OLANG=GERMAN.");
  w.Log("DESCRIPTIVES VARIABLES=income.");
  w.LogEnd();
  GermanSummary(w);
}

} // namespace omf::examples
