// Bootstrapped procedures through the factory: the per-sample output goes, the split dimension keeps
// the observed sample, each catalogue pattern adds its results where it should, and a specification
// that cannot be used is a clear error that keeps the output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numeric>

#include "bootpool/BootStream.h"
#include <omf/protocol/ProtocolError.h>
#include <omf/selection/OMSSelector.h>

using namespace omf;

using namespace omf::fixtures;
using omf::stream::Axis;
using omf::stream::FootnoteTarget;
using Strings = std::vector<std::string>;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A table of one or more row categories and statistics columns with a split dimension in the rows:
// value(sample, row, statistic) gives each cell, NaN for none.
struct SampledTable {
  std::string title, subtype;
  Strings rows;
  Strings statistics;
  int slices; // 1 + N + J
  std::function<double(int, int, int)> value;
  std::string rowDim = "Values";
  std::string statDim = "Statistics";
  // Whether the cell (sample, row, statistic) gets a footnote, which keeps it as a text in the table.
  std::function<bool(int, int, int)> noted = nullptr;
};

void Play(Harness& h, const SampledTable& s, std::uint8_t tcid = 0) {
  BootTable t(h.w, tcid, s.title, s.subtype);
  t.SplitDimension();
  t.Dimension(s.rowDim);
  t.Dimension(s.statDim);
  t.PlaceSplit(1, Axis::Rows);
  t.Place(s.rowDim, 2, Axis::Rows);
  t.Place(s.statDim, 1, Axis::Columns);
  for (int sample = 0; sample < s.slices; ++sample) {
    t.Sample(sample);
    for (std::size_t r = 0; r < s.rows.size(); ++r) {
      t.Select(s.rowDim, s.rows[r]);
      for (std::size_t c = 0; c < s.statistics.size(); ++c) {
        const double v = s.value(sample, static_cast<int>(r), static_cast<int>(c));
        if (std::isnan(v)) continue;
        t.Number(s.statDim, s.statistics[c], v);
        if (s.noted && s.noted(sample, static_cast<int>(r), static_cast<int>(c)))
          t.Note(FootnoteTarget::Cell, "a note on one sample");
      }
    }
  }
  t.End();
}

double Mean(const std::vector<double>& v) {
  return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

double StdDev(const std::vector<double>& v) {
  const double m = Mean(v);
  double ss = 0;
  for (double x : v)
    ss += (x - m) * (x - m);
  return std::sqrt(ss / static_cast<double>(v.size() - 1));
}

const Strings kResults = {"Bias", "Std. Error", "95% Confidence Interval{", "Lower", "Upper", "}", "}"};

} // namespace

TEST(BootPooler, SpecificationThatCannotBeUsedIsAClearErrorAndKeepsTheOutput) {
  struct Case {
    const char* name;
    bool bootstrapped;
    std::string spec;
    std::string error;
  };
  const Case cases[] = {
      {"not a number", true, "level=95\nsamples=many\n",
       "type 291, specification: bootstrap specification, line 2, key 'samples': 'many' is not a whole "
       "number "
       "of samples"},
      {"level out of range", true, "level=100\n", "type 291, specification: bootstrap specification, line 1"},
      {"segments past the cases", true, "jackknife=1:0 1:0\nsegments=3\n",
       "type 291, specification: bootstrap specification, line 2, key 'segments'"},
      {"specification without bootstrapping", false, "samples=2\n",
       "type 291, specification: a bootstrap specification came with a procedure whose settings do not mark "
       "it as bootstrapped"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h;
    h.Open("Correlations", 1, c.bootstrapped);
    Play(h, {"Correlations", "Correlations", {"x"}, {"Pearson Correlation"}, 3, [](int s, int, int) {
               return 0.5 + s * 0.1;
             }});
    try {
      h.End(c.spec);
      ADD_FAILURE() << "no error";
    } catch (const ProtocolError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, c.error.size()), c.error);
    }
    // The output is delivered as it came, unpooled, and the factory goes on.
    const OmPivotTable* t = h.Find<OmPivotTable>("Correlations");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(Tree(t->Dimension(0)).size(), 3u);
    EXPECT_EQ(Tree(t->Dimension(2)), Strings{"Pearson Correlation"});
    EXPECT_TRUE(h.PlayValidProcedure("Next"));
  }
}

// Output of single runs goes; a heading that holds only the observed run's table gives way to it; a
// table without cells, or without cells of the observed sample, goes; the tables that stay lose their
// split categories but the observed one. Selection then counts each remaining table once.
TEST(BootPooler, PerSampleOutputIsRemovedAndSelectionCountsWhatStays) {
  const auto play = [](Harness& h) {
    BeginBootstrapped(h, "Means");
    h.w.String(1, "Report");
    h.w.Heading(1);
    for (int s = 0; s < 3; ++s)
      h.Table(0, std::string("Report $bootstrap_split = ").append(std::to_string(s)), "Report", {"r"}, {"c"},
              {1.0 + s});
    h.w.HeadingEnd();
    h.w.String(1, "Sample $bootstrap_split = 2");
    h.w.TextBlock(1);
    h.w.Text("words");
    h.w.String(1, "Empty");
    h.w.String(2, "Empty");
    h.w.TableBegin(0, 1, 2);
    h.w.TableEnd(0);
    // Cells of the bootstrap samples only.
    Play(h, {"Late", "Late", {"x"}, {"Mean"}, 3, [](int s, int, int) { return s == 0 ? kNaN : 1.0; }});
    Play(h, {"Kept", "Kept", {"x"}, {"Mean"}, 3, [](int s, int, int) { return 1.0 + s; }});
    h.End(Spec(2));
  };
  {
    Harness h;
    play(h);
    EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:Means", "3:Means", "3:Report", "3:Kept"}));
    const OmPivotTable* report = h.Find<OmPivotTable>("Report");
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->TableTitle().AsString(), "Report");
    EXPECT_EQ(CellText(*report, {0, 0}), "1.00");
    const OmPivotTable* kept = h.Find<OmPivotTable>("Kept");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(Tree(kept->Dimension(0)), Strings{"0"});
    EXPECT_TRUE(kept->Dimension(0).Root().Mark());
    EXPECT_TRUE(kept->Dimension(0).Root().SecondFlag());
    EXPECT_EQ(kept->CellCount(), 1u);
  }
  {
    // Tables, instance 2: the tables of single runs were never counted.
    std::vector<OMSObjectSelector> requests(1);
    requests[0].SelectType(16);
    OMSSelector second;
    second.AddInstances(2);
    requests[0].AddIfOption(second);
    Harness h(std::move(requests));
    play(h);
    EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:Means", "3:Kept"}));
  }
}

// Frequencies (pattern 1, zero fill): the "Percent" column gains its results; a category missing from a
// sample counts as 0 there; too few samples for the level leave the interval missing with the coverage
// note.
TEST(BootPooler, FrequencyPercentagesAreZeroFilled) {
  Harness h;
  BeginBootstrapped(h, "Frequencies");
  // Samples 2 and 4 have no cases in category "b".
  const double percent[5][2] = {{70, 30}, {80, 20}, {100, 0}, {60, 40}, {100, 0}};
  Play(h, {"Gender", "Frequencies", {"a", "b"}, {"Frequency", "Percent"}, 5, [&](int s, int r, int c) {
             if (r == 1 && percent[s][1] == 0) return kNaN;
             return c == 0 ? percent[s][r] / 10 : percent[s][r];
           }});
  h.End(Spec(4));
  const OmPivotTable* t = h.Find<OmPivotTable>("Gender");
  ASSERT_NE(t, nullptr);
  const OmDimension& stats = t->Dimension(2);
  Strings expected = {"Frequency", "Percent",    "Bootstrap for Percent{",
                      "Bias",      "Std. Error", "Sig. (2-tailed)"};
  expected.insert(expected.end(), kResults.begin() + 2, kResults.end());
  EXPECT_EQ(Tree(stats), expected);
  // The group carries the caption.
  const OmDimensionNode& group = stats.Root().Child(2);
  ASSERT_EQ(group.Label().Footnotes().size(), 1u);
  EXPECT_EQ(t->Footnotes()[static_cast<std::size_t>(group.Label().Footnotes()[0])].text->AsString(),
            "Unless otherwise noted, bootstrap results are based on 4 bootstrap samples");
  // The statistics stand alone in the columns.
  EXPECT_EQ(t->Columns().Placed(), std::vector<short>{2});
  const std::vector<double> b = {20, 0, 40, 0};
  const auto at = [&](const char* category) { return std::vector<int>{0, 1, Category(stats, category)}; };
  EXPECT_DOUBLE_EQ(NumberAt(*t, at("Bias")), Mean(b) - 30);
  EXPECT_DOUBLE_EQ(NumberAt(*t, at("Std. Error")), StdDev(b));
  EXPECT_EQ(CellText(*t, at("Sig. (2-tailed)")), "<none>"); // no standard errors to test with
  EXPECT_TRUE(NotesAt(*t, at("Bias")).empty());             // zero fill: every sample counts
  EXPECT_EQ(CellText(*t, at("Lower")), ".");
  EXPECT_EQ(
      NotesAt(*t, at("Lower")),
      Strings{
          "A 95% confidence interval needs at least 39 bootstrap samples; the interval is not computed."});
  EXPECT_EQ(
      NotesAt(*t, at("Upper")),
      Strings{
          "A 95% confidence interval needs at least 39 bootstrap samples; the interval is not computed."});
  // The results take the statistic's format.
  EXPECT_EQ(CellText(*t, at("Bias")), "-15.000");
}

// Columns [a, b, statistics] and rows [r]: the statistics stand alone in the columns, the others go to
// the front of the rows, the last moved first. A table whose split dimension has the wrong size is not
// pooled and says so on its title.
TEST(BootPooler, PatternOneRearrangesAndRefusesIncompleteSamples) {
  Harness h;
  BeginBootstrapped(h, "Frequencies");
  {
    BootTable t(h.w, 0, "Wide", "Frequencies");
    t.SplitDimension();
    for (const char* d : {"r", "a", "b", "Statistics"})
      t.Dimension(d);
    t.PlaceSplit(1, Axis::Layers);
    t.Place("r", 1, Axis::Rows);
    t.Place("a", 1, Axis::Columns);
    t.Place("b", 2, Axis::Columns);
    t.Place("Statistics", 3, Axis::Columns);
    for (int s = 0; s < 3; ++s) {
      t.Sample(s);
      for (const char* d : {"r", "a", "b"})
        t.Select(d, "x");
      t.Number("Statistics", "Percent", 10.0 * (s + 1));
    }
    t.End();
  }
  Play(h, {"Short", "Frequencies", {"x"}, {"Percent"}, 2, [](int, int, int) { return 50.0; }}, 1);
  h.End(Spec(2));
  const OmPivotTable* wide = h.Find<OmPivotTable>("Wide");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->Columns().Placed(), std::vector<short>{4});
  EXPECT_EQ(wide->Rows().Placed(), (std::vector<short>{3, 2, 1}));
  const OmPivotTable* shortTable = h.Find<OmPivotTable>("Short");
  ASSERT_NE(shortTable, nullptr);
  EXPECT_EQ(Tree(shortTable->Dimension(2)), Strings{"Percent"});
  ASSERT_EQ(shortTable->Title().Footnotes().size(), 1u);
  EXPECT_EQ(shortTable->Footnotes()[0].text->AsString(),
            "Not all bootstrap results are available, so no bootstrap results are shown for this table.");
}

// Frequencies "Statistics" (pattern 2): the table gets a result dimension "Bootstrap Statistics" with
// the category "Statistic" alone in its columns, and the group "Bootstrap" beside it; groups of
// statistics ("N", "Percentiles") have each of their categories pooled; no significance.
TEST(BootPooler, DescriptiveStatisticsGainABootstrapGroup) {
  Harness h;
  BeginBootstrapped(h, "Frequencies");
  {
    BootTable t(h.w, 0, "Statistics", "Statistics");
    t.SplitDimension();
    t.Dimension("Variables");
    t.Dimension("Statistics");
    t.PlaceSplit(1, Axis::Layers);
    t.Place("Statistics", 1, Axis::Rows);
    t.Place("Variables", 1, Axis::Columns);
    for (int s = 0; s < 4; ++s) {
      t.Sample(s);
      t.Select("Variables", "age");
      t.Group("Statistics", "N");
      t.Number("Statistics", "Valid", 100 - s);
      t.Number("Statistics", "Missing", s);
      t.EndGroup("Statistics");
      t.Number("Statistics", "Mean", 40 + s);
      t.Number("Statistics", "Range", 50); // not a catalogued statistic
    }
    t.End();
  }
  h.End(Spec(3));
  const OmPivotTable* t = h.Find<OmPivotTable>("Statistics");
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(t->NDimensions(), 4);
  const OmDimension& result = t->Dimension(3);
  EXPECT_EQ(result.Label().AsString(), "Bootstrap Statistics");
  Strings expected = {"Statistic", "Bootstrap{"};
  expected.insert(expected.end(), kResults.begin(), kResults.end());
  EXPECT_EQ(Tree(result), expected);
  EXPECT_EQ(t->Columns().Placed(), std::vector<short>{3});
  EXPECT_EQ(t->Rows().Placed(), (std::vector<short>{1, 2}));
  const OmDimension& stats = t->Dimension(2);
  const auto at = [&](const char* statistic, const char* category) {
    return std::vector<int>{0, 0, Category(stats, statistic), Category(result, category)};
  };
  EXPECT_DOUBLE_EQ(NumberAt(*t, at("Valid", "Bias")), 98 - 100);
  EXPECT_DOUBLE_EQ(NumberAt(*t, at("Missing", "Bias")), 2);
  EXPECT_DOUBLE_EQ(NumberAt(*t, at("Mean", "Std. Error")), 1);
  EXPECT_EQ(CellText(*t, at("Range", "Bias")), "<none>");
  EXPECT_EQ(CellText(*t, at("Mean", "Statistic")), "40.000");
}

// T-Test "One Sample Test" (pattern 3, partner t): a new table after the source, id + 500000, repeats
// the mean differences with their results; standard errors come from t.
TEST(BootPooler, EstimatesGetABootstrapTableAfterTheirTable) {
  Harness h;
  BeginBootstrapped(h, "T-Test", 3);
  // Observed: difference 2, t 4 (standard error 0.5). Samples as (difference, t).
  const double samples[5][2] = {{2, 4}, {2.5, 5}, {1, 1}, {10, 5}, {2, 0.5}};
  Play(h, {"One Sample Test",
           "One Sample Test",
           {"score"},
           {"t", "df", "Mean Difference"},
           5,
           [&](int s, int, int c) { return c == 0   ? samples[s][1]
                                           : c == 1 ? 19.0
                                                    : samples[s][0]; }});
  h.End(Spec(4));
  EXPECT_EQ(h.Outline(), (Strings{"1:Output", "2:T-Test", "3:T-Test", "3:One Sample Test",
                                  "3:Bootstrap for One Sample Test"}));
  const OmPivotTable* source = h.Find<OmPivotTable>("One Sample Test");
  const OmPivotTable* boot = h.Find<OmPivotTable>("Bootstrap for One Sample Test");
  ASSERT_NE(source, nullptr);
  ASSERT_NE(boot, nullptr);
  EXPECT_EQ(boot->TableId(), source->TableId() + 500000);
  EXPECT_EQ(boot->TemplateName().AsString(), "Bootstrap");
  EXPECT_EQ(boot->TableTitle().AsString(), "Bootstrap for One Sample Test");
  // The source keeps its own columns.
  EXPECT_EQ(Tree(source->Dimension(2)), (Strings{"t", "df", "Mean Difference"}));
  ASSERT_EQ(boot->NDimensions(), 2);
  EXPECT_EQ(boot->Dimension(0).Label().AsString(), "Values");
  const OmDimension& stats = boot->Dimension(1);
  EXPECT_EQ(stats.Label().AsString(), "Bootstrap Statistics");
  Strings expected = {"Mean Difference", "Bootstrap{", "Bias", "Std. Error", "Sig. (2-tailed)"};
  expected.insert(expected.end(), kResults.begin() + 2, kResults.end());
  EXPECT_EQ(Tree(stats), expected);
  EXPECT_EQ(boot->Rows().Placed(), std::vector<short>{0});
  EXPECT_EQ(boot->Columns().Placed(), std::vector<short>{1});
  const auto at = [&](const char* category) { return std::vector<int>{0, Category(stats, category)}; };
  const std::vector<double> values = {2.5, 1, 10, 2};
  EXPECT_EQ(CellText(*boot, at("Mean Difference")), "2.000");
  EXPECT_DOUBLE_EQ(NumberAt(*boot, at("Bias")), Mean(values) - 2);
  EXPECT_DOUBLE_EQ(NumberAt(*boot, at("Std. Error")), StdDev(values));
  // Sample t values (difference - 2) / (difference / t): 1, -1, 4, 0 against the observed 4.
  EXPECT_DOUBLE_EQ(NumberAt(*boot, at("Sig. (2-tailed)")), 0.25);
  EXPECT_EQ(CellText(*boot, at("Sig. (2-tailed)")), "0.250");
}

// Parameter estimates with the required dimension "Parameter": a sample that lacks one parameter's
// estimate where the observed sample has it counts for none of the parameters of its row group.
// Sample footnotes go from every text of the table; others stay.
TEST(BootPooler, RequiredDimensionsShareOneSampleMask) {
  Harness h;
  BeginBootstrapped(h, "UNIANOVA");
  {
    BootTable t(h.w, 0, "Parameter Estimates", "Parameter Estimates");
    t.SplitDimension();
    t.Dimension("Parameter");
    t.Dimension("Statistics");
    t.PlaceSplit(1, Axis::Rows);
    t.Place("Parameter", 2, Axis::Rows);
    t.Place("Statistics", 1, Axis::Columns);
    for (int s = 0; s < 5; ++s) {
      t.Sample(s);
      for (const char* p : {"Intercept", "x"}) {
        t.Select("Parameter", p);
        if (p[0] == 'x' && s == 0) t.Note(FootnoteTarget::Category, "Set to zero $bootstrap_split = 0");
        if (p[0] == 'x' && s == 3) t.Note(FootnoteTarget::Category, "Redundant $bootstrap_split = 3");
        if (s == 2 && p[0] == 'x') continue; // sample 2 lacks x
        t.Number("Statistics", "B", 1 + s);
        t.Number("Statistics", "Std. Error", 0.5);
      }
    }
    t.End();
  }
  h.End(Spec(4));
  const OmPivotTable* boot = h.Find<OmPivotTable>("Bootstrap for Parameter Estimates");
  ASSERT_NE(boot, nullptr);
  const OmDimension& stats = boot->Dimension(1);
  for (int p = 0; p < 2; ++p) {
    SCOPED_TRACE(p);
    const std::vector<int> bias = {p, Category(stats, "Bias")};
    EXPECT_DOUBLE_EQ(NumberAt(*boot, bias), (2 + 4 + 5) / 3.0 - 1);
    EXPECT_EQ(NotesAt(*boot, bias), Strings{"Based on 3 samples"});
    EXPECT_EQ(
        NotesAt(*boot, {p, Category(stats, "Lower")}),
        (Strings{
            "Based on 3 samples",
            "A 95% confidence interval needs at least 39 bootstrap samples; the interval is not computed."}));
  }
  const OmPivotTable* source = h.Find<OmPivotTable>("Parameter Estimates");
  ASSERT_NE(source, nullptr);
  const OmDimension& parameters = source->Dimension(1);
  const OmCellText& x = parameters.Root().Child(1).Label();
  ASSERT_EQ(x.Footnotes().size(), 1u);
  EXPECT_EQ(source->Footnotes()[static_cast<std::size_t>(x.Footnotes()[0])].text->AsString(),
            "Set to zero $bootstrap_split = 0");
  EXPECT_EQ(source->RemovedFootnoteCount(), 1);
  // The copy in the bootstrap table carries no footnote of the source.
  EXPECT_TRUE(boot->Dimension(0).Root().Child(1).Label().Footnotes().empty());
}

// With jackknife cases the interval is BCa; a cell whose jackknife segment is incomplete falls back to
// the percentile interval and says so on its lower bound.
TEST(BootPooler, IncompleteJackknifeFallsBackToPercentile) {
  Harness h;
  BeginBootstrapped(h, "Correlations");
  const int samples = 40, jackknife = 3;
  Play(h, {"Correlations",
           "Correlations",
           {"x", "y"},
           {"Pearson Correlation"},
           1 + samples + jackknife,
           [&](int s, int r, int) {
             if (r == 1 && s == samples + 2) return kNaN; // y lacks its second jackknife value
             return 0.5 + 0.01 * ((s * 7) % 13) - 0.05 * r;
           }});
  h.End(Spec(samples, jackknife, 90.5));
  const OmPivotTable* t = h.Find<OmPivotTable>("Correlations");
  ASSERT_NE(t, nullptr);
  const OmDimension& stats = t->Dimension(2);
  EXPECT_EQ(Tree(stats), (Strings{"Pearson Correlation", "Bootstrap{", "Bias", "Std. Error",
                                  "BCa 90.5% Confidence Interval{", "Lower", "Upper", "}", "}"}));
  const int lower = Category(stats, "Lower");
  EXPECT_TRUE(NotesAt(*t, {0, 0, lower}).empty());
  EXPECT_EQ(NotesAt(*t, {0, 1, lower}), Strings{"Not all jackknife results are available, so the percentile "
                                                "interval is shown in place of the BCa interval."});
  EXPECT_FALSE(std::isnan(NumberAt(*t, {0, 1, lower})));
}

// A table whose rows mostly hold the observed sample alone keeps only its stored samples, row by row,
// rather than a slot for every sample of every row; the results are the same either way.
TEST(BootPooler, SparseTablesGiveTheSameResults) {
  const auto pool = [](int rows) {
    Harness h;
    BeginBootstrapped(h, "Correlations");
    Strings names;
    for (int r = 0; r < rows; ++r)
      names.push_back(std::string("v").append(std::to_string(r)));
    Play(h, {"Correlations", "Correlations", names, {"Pearson Correlation"}, 1001, [](int s, int r, int) {
               return r == 0 || s == 0 ? 0.3 + 0.001 * ((s * 37) % 101) : kNaN;
             }});
    h.End(Spec(1000));
    const OmPivotTable* t = h.Find<OmPivotTable>("Correlations");
    std::vector<std::string> out;
    for (const char* c : {"Bias", "Std. Error", "Lower", "Upper"})
      out.push_back(CellText(*t, {0, 0, Category(t->Dimension(2), c)}));
    out.push_back(CellText(*t, {0, rows - 1, Category(t->Dimension(2), "Bias")}));
    return out;
  };
  const Strings dense = pool(1), sparse = pool(100);
  EXPECT_EQ(Strings(sparse.begin(), sparse.end() - 1), Strings(dense.begin(), dense.end() - 1));
  EXPECT_EQ(sparse.back(), "."); // no samples: missing results
}

// Every cell of a table, subscripts and value (or text) with its footnotes, in subscript order.
Strings Cells(const OmPivotTable& t) {
  Strings out;
  t.ForEachCellInOrder([&](const int* at, std::size_t count, const OmCellText& cell) {
    std::string line;
    for (std::size_t d = 0; d < count; ++d)
      line.append(std::to_string(at[d])).append(",");
    char value[32];
    if (cell.OrderCode() == OmCellText::kOrderNumber) {
      std::snprintf(value, sizeof value, "%.17g", static_cast<const OmNumber&>(cell).Value());
      line.append(value);
    } else {
      line.append(cell.AsString());
    }
    if (cell.HasMetaData())
      for (int f : cell.Footnotes())
        line.append(" ^").append(t.Footnotes()[static_cast<std::size_t>(f)].text->AsString());
    out.push_back(std::move(line));
  });
  return out;
}

// A table whose cells are all plain numbers is read straight from where the table keeps them, a block of
// rows at a time; one holding a text among its cells (here a footnoted sample value) is read through a copy
// of its samples. Both give the same results, cell for cell, over many blocks, with a standard-error
// partner, and when most rows have no observed value (a walk that skips most of each block).
TEST(BootPooler, PlainAndTextCellsGiveTheSameResults) {
  constexpr int kRows = 1200, kSamples = 60, kJackknife = 5, kSlices = 1 + kSamples + kJackknife;
  const struct {
    const char* name;
    const char* procedure;
    const char* table;
    Strings statistics;
    int observedEvery; // rows with an observed value: every n-th
    const char* rowDim = "Values";
    const char* resultTable = nullptr; // where the results go, when not in the table itself
  } cases[] = {
      {"correlations", "Correlations", "Correlations", {"Pearson Correlation"}, 1},
      {"correlations, one row in nine observed", "Correlations", "Correlations", {"Pearson Correlation"}, 9},
      {"contrasts with their standard errors",
       "UNIANOVA",
       "Contrast Results",
       {"Difference (Estimate - Hypothesized)", "Std. Error"},
       1},
      {"estimates whose rows share one sample mask",
       "UNIANOVA",
       "Parameter Estimates",
       {"B", "Std. Error"},
       1,
       "Parameter",
       "Bootstrap for Parameter Estimates"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto pool = [&](bool withText) {
      Harness h;
      BeginBootstrapped(h, c.procedure);
      Strings rows;
      for (int r = 0; r < kRows; ++r)
        rows.push_back(std::string("v").append(std::to_string(r)));
      SampledTable table{c.table, c.table, rows, c.statistics, kSlices, [&](int s, int r, int stat) {
                           if (s == 0)
                             return r % c.observedEvery != 0 ? kNaN
                                                             : 0.2 + 0.1 * stat + 0.05 * std::sin(1.3 * r);
                           return 0.2 + 0.1 * stat + 0.3 * std::sin(0.7 * s + 1.3 * r);
                         }};
      if (withText)
        table.noted = [&](int s, int r, int stat) { return s == kSlices - 1 && r == kRows - 1 && stat == 0; };
      table.rowDim = c.rowDim;
      Play(h, table);
      h.End(Spec(kSamples, kJackknife));
      const OmPivotTable* t = h.Find<OmPivotTable>(c.resultTable ? c.resultTable : c.table);
      return t == nullptr ? Strings{} : Cells(*t);
    };
    const Strings plain = pool(false), withText = pool(true);
    // Observed values and four or five results for each row with an observed value.
    const std::size_t observed = (kRows + c.observedEvery - 1) / c.observedEvery;
    EXPECT_GE(plain.size(), observed * (c.statistics.size() + 4));
    EXPECT_EQ(plain, withText);
  }
}

// Shapes that would make pooling scan the same cells again and again (a long split dimension deleted
// category by category, a statistic group with many categories, sample masks whose groups alternate from
// cell to cell) are pooled in one pass each and give the results they should.
TEST(BootPooler, LargeShapesArePooledWithoutRescans) {
  {
    SCOPED_TRACE("split dimension of 30001 samples, more than the bootstrap specification asks for");
    Harness h;
    BeginBootstrapped(h, "Correlations");
    Play(h, {"Correlations", "Correlations", {"x"}, {"Pearson Correlation"}, 30001, [](int s, int, int) {
               return 0.5 + 1e-6 * s;
             }});
    h.End(Spec(3));
    const OmPivotTable* t = h.Find<OmPivotTable>("Correlations");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(Tree(t->Dimension(0)), Strings{"0"});
    EXPECT_EQ(t->CellCount(), 1u);
    EXPECT_DOUBLE_EQ(NumberAt(*t, {0, 0, 0}), 0.5);
  }
  {
    SCOPED_TRACE("a statistic group of 10000 categories");
    constexpr int kLeaves = 10000;
    Harness h;
    BeginBootstrapped(h, "Frequencies");
    {
      BootTable t(h.w, 0, "Statistics", "Statistics");
      t.SplitDimension();
      t.Dimension("Variables");
      t.Dimension("Statistics");
      t.PlaceSplit(1, Axis::Layers);
      t.Place("Statistics", 1, Axis::Rows);
      t.Place("Variables", 1, Axis::Columns);
      for (int s = 0; s < 3; ++s) {
        t.Sample(s);
        t.Select("Variables", "age");
        t.Group("Statistics", "Percentiles");
        for (int p = 0; p < kLeaves; ++p)
          t.Number("Statistics", std::to_string(p), p + s);
        t.EndGroup("Statistics");
      }
      t.End();
    }
    h.End(Spec(2));
    const OmPivotTable* t = h.Find<OmPivotTable>("Statistics");
    ASSERT_NE(t, nullptr);
    const OmDimension& stats = t->Dimension(2);
    const OmDimension& result = t->Dimension(3);
    for (int p : {0, kLeaves - 1}) {
      const int leaf = Category(stats, std::to_string(p));
      EXPECT_DOUBLE_EQ(NumberAt(*t, {0, 0, leaf, Category(result, "Statistic")}), p);
      EXPECT_DOUBLE_EQ(NumberAt(*t, {0, 0, leaf, Category(result, "Bias")}), 1.5);
    }
  }
  {
    SCOPED_TRACE("1000 parameters in two models, one sample mask per model");
    constexpr int kParameters = 1000;
    Harness h;
    BeginBootstrapped(h, "UNIANOVA");
    {
      BootTable t(h.w, 0, "Parameter Estimates", "Parameter Estimates");
      t.SplitDimension();
      t.Dimension("Parameter");
      t.Dimension("Model");
      t.Dimension("Statistics");
      t.PlaceSplit(1, Axis::Rows);
      t.Place("Parameter", 2, Axis::Rows);
      t.Place("Model", 3, Axis::Rows);
      t.Place("Statistics", 1, Axis::Columns);
      for (int s = 0; s < 4; ++s) {
        t.Sample(s);
        for (int p = 0; p < kParameters; ++p) {
          t.Select("Parameter", std::to_string(p));
          for (const char* m : {"a", "b"}) {
            t.Select("Model", m);
            // Sample 2 lacks the last parameter of model b: it counts for no parameter of b.
            if (s == 2 && m[0] == 'b' && p == kParameters - 1) continue;
            t.Number("Statistics", "B", 1 + s);
            t.Number("Statistics", "Std. Error", 0.5);
          }
        }
      }
      t.End();
    }
    h.End(Spec(3));
    const OmPivotTable* boot = h.Find<OmPivotTable>("Bootstrap for Parameter Estimates");
    ASSERT_NE(boot, nullptr);
    const OmDimension& stats = boot->Dimension(2);
    const int bias = Category(stats, "Bias");
    for (int p : {0, kParameters - 1}) {
      SCOPED_TRACE(p);
      EXPECT_DOUBLE_EQ(NumberAt(*boot, {p, 0, bias}), (2 + 3 + 4) / 3.0 - 1);
      EXPECT_TRUE(NotesAt(*boot, {p, 0, bias}).empty());
      EXPECT_DOUBLE_EQ(NumberAt(*boot, {p, 1, bias}), (2 + 4) / 2.0 - 1);
      EXPECT_EQ(NotesAt(*boot, {p, 1, bias}), Strings{"Based on 2 samples"});
    }
  }
  {
    SCOPED_TRACE("an index space past 64 bits, read cell by cell");
    constexpr int kCategories = 8192; // five dimensions of 2^13 categories: 2^65 indexes
    const Strings wide = {"Parameter", "d1", "d2", "d3", "d4"};
    Harness h;
    BeginBootstrapped(h, "UNIANOVA");
    {
      BootTable t(h.w, 0, "Parameter Estimates", "Parameter Estimates");
      t.SplitDimension();
      for (const std::string& d : wide)
        t.Dimension(d);
      t.Dimension("Model");
      t.Dimension("Statistics");
      t.PlaceSplit(1, Axis::Rows);
      for (std::size_t d = 0; d < wide.size(); ++d)
        t.Place(wide[d], static_cast<int>(d) + 2, Axis::Rows);
      t.Place("Model", 7, Axis::Rows);
      t.Place("Statistics", 1, Axis::Columns);
      for (int s = 0; s < 4; ++s) {
        t.Sample(s);
        if (s == 0)
          for (const std::string& d : wide)
            for (int c = 0; c < kCategories; ++c)
              t.Select(d, std::to_string(c));
        for (const char* p : {"0", "1"}) {
          t.Select("Parameter", p);
          for (const char* m : {"a", "b"}) {
            t.Select("Model", m);
            if (s == 2 && m[0] == 'b' && p[0] == '1') continue;
            t.Number("Statistics", "B", 1 + s);
            t.Number("Statistics", "Std. Error", 0.5);
          }
        }
      }
      t.End();
    }
    h.End(Spec(3));
    const OmPivotTable* boot = h.Find<OmPivotTable>("Bootstrap for Parameter Estimates");
    ASSERT_NE(boot, nullptr);
    const int last = kCategories - 1;
    const int bias = Category(boot->Dimension(6), "Bias");
    for (int p : {0, 1}) {
      SCOPED_TRACE(p);
      EXPECT_DOUBLE_EQ(NumberAt(*boot, {p, last, last, last, last, 0, bias}), (2 + 3 + 4) / 3.0 - 1);
      EXPECT_TRUE(NotesAt(*boot, {p, last, last, last, last, 0, bias}).empty());
      EXPECT_DOUBLE_EQ(NumberAt(*boot, {p, last, last, last, last, 1, bias}), (2 + 4) / 2.0 - 1);
      EXPECT_EQ(NotesAt(*boot, {p, last, last, last, last, 1, bias}), Strings{"Based on 2 samples"});
    }
  }
}
