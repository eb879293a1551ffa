#include "examples/BuiltinSession.h"

#include <string>
#include <vector>

namespace omf {

namespace examples {
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

// ---- a multiply imputed analysis: every procedure runs once on the original data and once per imputed
// data set, and its tables carry an imputation dimension that the finish step pools.

constexpr int kImputations = 5;
const WireFormat kThree = WireFormat::Fixed(8, 3);

// Per imputation of a regression of bmi on age and chl: the coefficients and their standard errors, those
// of the reference file mi-regression-m5.json of the tests. Index 0 is the original data (complete cases).
const char* const kTerms[] = {"(Constant)", "age", "chl"};
const double kCoefficients[kImputations + 1][3] = {{20.8772, -3.0916, 0.0589},
                                                   {21.7805082773354, -3.43258651184901, 0.0590341818076524},
                                                   {21.5233932969792, -2.87479034230211, 0.0511182501817611},
                                                   {18.5883380331052, -4.28091715874008, 0.0819828502521275},
                                                   {23.7749941265409, -2.59518593284037, 0.0364091021834533},
                                                   {23.5170155979402, -2.98021622570616, 0.0434970953273757}};
const double kStdErrors[kImputations + 1][3] = {{3.7311, 1.1126, 0.0224},
                                                {2.61108691881861, 0.826681035536932, 0.0147767939667826},
                                                {3.5254882500139, 0.899366210743528, 0.0187017529068355},
                                                {2.67194281593513, 0.721499250574382, 0.0154516519924046},
                                                {3.52723785174823, 0.887150646857759, 0.0183204354415311},
                                                {3.21245516618397, 1.00833361146062, 0.0203764381773636}};
// The correlation of bmi and chl in each data set (those of the reference file mi-correlation.json), and
// its N.
const double kCorrelations[kImputations + 1] = {
    0.3671, 0.38492331844667, 0.282546620110266, 0.310239558016893, 0.361897649866907, 0.323993847022855};
const double kCases[kImputations + 1] = {13, 25, 25, 25, 25, 25};

// Puts the category of imputation `i` into the imputation dimension: 0 is the original data.
void Imputation(MessageWriter& w, std::uint8_t tcid, int i) {
  w.NumValue(kLabel, "Imputation_", i, WireFormat::Fixed(4, 0), i == 0 ? "Original data" : "");
  w.Variable(kDim, "Imputation_", "Imputation Number");
  w.Category(tcid, kLabel, kDim);
}

void ImputationDimension(Table& t) {
  t.VariableDimension("Imputation_", "Imputation Number");
  t.w.Variable(kDim, "Imputation_", "Imputation Number");
  t.w.Place(t.tcid, kDim, 1, Axis::Rows);
}

void ImputedRegression(MessageWriter& w) {
  Procedure(w, 5, "Regression");
  {
    Table t(w, 0, "Descriptive Statistics", "Descriptive Statistics");
    ImputationDimension(t);
    t.Dimension("Variables");
    t.Dimension("Statistics");
    t.Place("Variables", 2, Axis::Rows);
    t.Place("Statistics", 1, Axis::Columns);
    const double means[3] = {26.56, 48.0, 191.4};
    for (int i = 0; i <= kImputations; ++i) {
      Imputation(w, 0, i);
      for (int v = 0; v < 3; ++v) {
        t.Category("Variables", v == 0 ? "bmi" : kTerms[v]);
        t.CellDimension("Statistics");
        t.Number("Mean", means[v] + (i == 0 ? 0.0 : 0.13 * i * (v + 1)), kTwo);
        t.Number("N", i == 0 ? kCases[0] : 25, kCount);
      }
    }
    t.End();
  }
  {
    Table t(w, 1, "Coefficients", "Coefficients");
    ImputationDimension(t);
    t.Dimension("Variables");
    t.Dimension("Statistics");
    t.Place("Variables", 2, Axis::Rows);
    t.Place("Statistics", 1, Axis::Columns);
    for (int i = 0; i <= kImputations; ++i) {
      Imputation(w, 1, i);
      for (int v = 0; v < 3; ++v) {
        t.Category("Variables", kTerms[v]);
        t.CellDimension("Statistics");
        const double b = kCoefficients[i][v], se = kStdErrors[i][v];
        t.Number("B", b, kThree);
        t.Number("Std. Error", se, kThree);
        t.Number("t", b / se, kThree);
        t.Number("Significance", i == 0 ? 0.01 : 0.02, kThree);
        // The interval's label is a composite that carries its level.
        w.String(kTemplate, "^1 Confidence Interval for B", true);
        w.Composite(kLabel, kTemplate);
        w.Number(kCell, 95, WireFormat::Fixed(3, 0));
        w.CompositeAdd(kCell);
        w.String(kDim, "Statistics");
        w.Group(1, kLabel, kDim);
        t.Number("Lower Bound", b - 2 * se, kThree);
        t.Number("Upper Bound", b + 2 * se, kThree);
        t.EndGroup("Statistics");
      }
    }
    t.End();
  }
  w.ProcedureEnd();
}

void ImputedCorrelations(MessageWriter& w) {
  Procedure(w, 6, "Correlations");
  Table t(w, 0, "Correlations", "Correlations");
  ImputationDimension(t);
  t.Dimension("Rows");
  t.Dimension("Statistics");
  t.Dimension("Columns");
  t.Place("Rows", 2, Axis::Rows);
  t.Place("Statistics", 3, Axis::Rows);
  t.Place("Columns", 1, Axis::Columns);
  for (int i = 0; i <= kImputations; ++i) {
    Imputation(w, 0, i);
    for (const char* row : {"bmi", "chl"}) {
      t.Category("Rows", row);
      for (const char* column : {"bmi", "chl"}) {
        const bool diagonal = std::string(row) == column;
        t.Category("Columns", column);
        t.CellDimension("Statistics");
        t.Number("Pearson Correlation", diagonal ? 1.0 : kCorrelations[i], kThree);
        if (!diagonal) t.Number("Significance(2-tailed)", i == 0 ? 0.217 : 0.08, kThree);
        t.Number("N", kCases[i], kCount);
      }
    }
  }
  t.End();
  w.ProcedureEnd();
}

void ImputedFrequencies(MessageWriter& w) {
  Procedure(w, 7, "Frequencies");
  Table t(w, 0, "Statistics", "Statistics");
  ImputationDimension(t);
  t.Dimension("Statistics");
  t.Place("Statistics", 2, Axis::Rows);
  w.String(kDim, "Variables");
  w.Place(0, kDim, 1, Axis::Columns);
  const double means[kImputations + 1] = {26.56, 26.41, 26.23, 26.72, 26.05, 26.64};
  const double errors[kImputations + 1] = {1.18, 0.87, 0.91, 0.84, 0.88, 0.93};
  for (int i = 0; i <= kImputations; ++i) {
    Imputation(w, 0, i);
    w.Variable(kDim, "bmi", "Body mass index");
    w.String(kCategory, "Variables");
    w.Category(0, kDim, kCategory);
    t.Group("Statistics", "N");
    t.CellDimension("Statistics");
    t.Number("Valid", i == 0 ? 16 : 25, kCount);
    t.Number("Missing", i == 0 ? 9 : 0, kCount);
    t.EndGroup("Statistics");
    t.Number("Mean", means[i], kTwo);
    t.Number("Std. Error of Mean", errors[i], kTwo);
  }
  t.End();
  w.ProcedureEnd();
}

// ---- a bootstrapped session ------------------------------------------------------------------------------
//
// The back end runs each procedure on the data and on every bootstrap sample; every table carries one
// slice per run in the dimension of the split variable "$bootstrap_split" (0 the data, 1 to N the
// samples). The factory turns the slices into bootstrap results and keeps the data's slice.

constexpr int kBootSamples = 20;
constexpr const char* kBootSpecification = "level=90\nsamples=20\nmethod=0\n";
constexpr const char* kSplitVariable = "$bootstrap_split";

// A statistic of one run: the value on the data (run 0), spread over the samples by a fixed
// pseudo-random wobble so that the session is the same every time.
double Run(double value, double spread, int run, int salt) {
  if (run == 0) return value;
  unsigned h = static_cast<unsigned>(run) * 2654435761u + static_cast<unsigned>(salt) * 97u;
  h ^= h >> 15;
  h *= 2246822519u;
  h ^= h >> 13;
  const double u = static_cast<double>(h % 1000) / 999.0; // 0 to 1
  return value + spread * (2 * u - 1);
}

void BootstrappedProcedure(MessageWriter& w, std::int64_t number, const std::string& name) {
  omf::stream::ProcedureSettings s;
  s.procedure = name;
  s.bootstrap = true;
  w.ProcedureBegin(number, s);
  w.String(kLabel, name);
  w.TextBlock(kLabel);
  w.Text(name);
}

// Makes the run's category of the split dimension current.
void SplitRun(MessageWriter& w, std::uint8_t tcid, int run) {
  w.NumValue(kLabel, kSplitVariable, run, WireFormat::Fixed(5, 0), "");
  w.Variable(kDim, kSplitVariable, "");
  w.Category(tcid, kLabel, kDim);
}

void SplitDimension(MessageWriter& w, std::uint8_t tcid) {
  w.Variable(kDim, kSplitVariable, "");
  w.Dimension(tcid, kDim);
  w.Variable(kDim, kSplitVariable, "");
  w.Place(tcid, kDim, 1, Axis::Layers);
}

void BootFrequencies(MessageWriter& w) {
  BootstrappedProcedure(w, 8, "Frequencies");
  {
    Table t(w, 0, "Statistics", "Statistics");
    SplitDimension(w, 0);
    t.Dimension("Statistics");
    t.Place("Statistics", 1, Axis::Rows);
    w.String(kDim, "Variables");
    w.Place(0, kDim, 1, Axis::Columns);
    for (int run = 0; run <= kBootSamples; ++run) {
      SplitRun(w, 0, run);
      w.Variable(kDim, "age", "Age in years");
      w.String(kCategory, "Variables");
      w.Category(0, kDim, kCategory);
      t.Group("Statistics", "N");
      t.CellDimension("Statistics");
      t.Number("Valid", 98, kCount);
      t.Number("Missing", 2, kCount);
      t.EndGroup("Statistics");
      t.Number("Mean", Run(43.12, 1.9, run, 1), kTwo);
      t.Number("Std. Deviation", Run(12.48, 0.9, run, 2), kTwo);
    }
    t.End();
  }
  {
    Table t(w, 0, "Age group", "Frequencies");
    SplitDimension(w, 0);
    t.Dimension("Statistics");
    w.Variable(kDim, "agegroup", "Age group");
    w.Dimension(0, kDim);
    w.Variable(kDim, "agegroup", "Age group");
    w.Place(0, kDim, 1, Axis::Rows);
    t.Place("Statistics", 1, Axis::Columns);
    for (int run = 0; run <= kBootSamples; ++run) {
      SplitRun(w, 0, run);
      const double under = run == 0 ? 41 : 41 + (Run(0, 6.5, run, 3) > 0 ? 1 : -1) * ((run * 7) % 6);
      const double counts[] = {under, 98 - under};
      const char* labels[] = {"Under 40", "40 and over"};
      for (int k = 0; k < 2; ++k) {
        w.NumValue(kLabel, "agegroup", k + 1, WireFormat::Fixed(4, 0), labels[k]);
        w.Variable(kDim, "agegroup", "Age group");
        w.Category(0, kLabel, kDim);
        t.CellDimension("Statistics");
        t.Number("Frequency", counts[k], kCount);
        t.Number("Percent", 100.0 * counts[k] / 98, kOne);
      }
    }
    t.End();
  }
  w.ProcedureEnd(kBootSpecification);
}

void BootDescriptives(MessageWriter& w) {
  BootstrappedProcedure(w, 9, "Descriptives");
  Table t(w, 0, "Descriptive Statistics", "Descriptive Statistics");
  SplitDimension(w, 0);
  t.Dimension("Statistics");
  t.Place("Statistics", 1, Axis::Columns);
  t.Place("Variables", 1, Axis::Rows);
  for (int run = 0; run <= kBootSamples; ++run) {
    SplitRun(w, 0, run);
    w.Variable(kLabel, "income", "Household income (thousands)");
    w.String(kDim, "Variables");
    w.Category(0, kLabel, kDim);
    t.CellDimension("Statistics");
    t.Number("N", 95, kCount);
    t.Number("Mean", Run(52.37, 3.6, run, 4), kTwo);
    t.Number("Std. Deviation", Run(18.91, 2.2, run, 5), kTwo);
  }
  t.End();
  w.ProcedureEnd(kBootSpecification);
}

void BootTTest(MessageWriter& w) {
  BootstrappedProcedure(w, 10, "T-Test");
  Table t(w, 0, "One Sample Test", "One Sample Test");
  SplitDimension(w, 0);
  t.Dimension("Statistics");
  t.Place("Statistics", 1, Axis::Columns);
  t.Place("Variables", 1, Axis::Rows);
  for (int run = 0; run <= kBootSamples; ++run) {
    SplitRun(w, 0, run);
    w.Variable(kLabel, "age", "Age in years");
    w.String(kDim, "Variables");
    w.Category(0, kLabel, kDim);
    const double difference = Run(3.12, 0.8, run, 6);
    const double stdError = Run(1.26, 0.15, run, 7);
    t.CellDimension("Statistics");
    t.Number("t", difference / stdError, WireFormat::Fixed(8, 3));
    t.Number("df", 97, kCount);
    t.Number("Mean Difference", difference, kTwo);
  }
  t.End();
  w.ProcedureEnd(kBootSpecification);
}

void BootCorrelations(MessageWriter& w) {
  BootstrappedProcedure(w, 11, "Correlations");
  Table t(w, 0, "Correlations", "Correlations");
  SplitDimension(w, 0);
  t.Dimension("Variables");
  t.Dimension("Statistics");
  t.Place("Variables", 1, Axis::Rows);
  t.Place("Statistics", 2, Axis::Rows);
  w.String(kDim, "Variables2");
  w.Place(0, kDim, 1, Axis::Columns);
  const char* names[] = {"age", "income"};
  const char* labels[] = {"Age in years", "Household income (thousands)"};
  for (int run = 0; run <= kBootSamples; ++run) {
    SplitRun(w, 0, run);
    const double r = Run(0.41, 0.12, run, 8);
    for (int i = 0; i < 2; ++i) {
      w.Variable(kLabel, names[i], labels[i]);
      w.String(kDim, "Variables");
      w.Category(0, kLabel, kDim);
      for (int j = 0; j < 2; ++j) {
        w.Variable(kLabel, names[j], labels[j]);
        w.String(kDim, "Variables2");
        w.Category(0, kLabel, kDim);
        t.CellDimension("Statistics");
        t.Number("Pearson Correlation", i == j ? 1.0 : r, WireFormat::Fixed(8, 3));
        t.Number("N", 95, kCount);
      }
    }
  }
  t.End();
  w.ProcedureEnd(kBootSpecification);
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
  w.Log("* The data set now holds the original data and five imputations of bmi and chl.");
  w.Log("REGRESSION /DEPENDENT bmi /METHOD=ENTER age chl.");
  w.LogEnd();
  ImputedRegression(w);
  w.Log("CORRELATIONS /VARIABLES=bmi chl.");
  w.LogEnd();
  ImputedCorrelations(w);
  w.Log("FREQUENCIES VARIABLES=bmi /STATISTICS=MEAN SEMEAN.");
  w.LogEnd();
  ImputedFrequencies(w);
  w.Log("BOOTSTRAP /SAMPLING METHOD=SIMPLE /CRITERIA CILEVEL=90 NSAMPLES=20.");
  w.Log("FREQUENCIES VARIABLES=age agegroup. DESCRIPTIVES income. T-TEST age. CORRELATIONS age income.");
  w.LogEnd();
  BootFrequencies(w);
  BootDescriptives(w);
  BootTTest(w);
  BootCorrelations(w);
}

} // namespace examples

} // namespace omf
