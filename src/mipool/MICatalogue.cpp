#include <omf/mipool/MICatalogue.h>

#include <array>
#include <mutex>

#include <omf/mipool/MICellPoolingPattern.h>
#include <omf/mipool/MICellPoolingPattern0.h>
#include <omf/mipool/MICellPoolingPattern2.h>
#include <omf/mipool/MIColumnPoolingPattern.h>
#include <omf/mipool/MICorrMatrixPoolingPattern.h>

namespace omf {

namespace mipool {
namespace {

// One function a kind of row, so that each row below reads as its kind, procedure, table and fields.
constexpr MICatalogueRow Cell(const char* procedure, const char* table, MICellRow cell,
                              const char* statistics = "Statistics") {
  return {MIPatternKind::kCell, procedure, table, statistics, cell, {}, {}, {}};
}
constexpr MICatalogueRow Pair(const char* procedure, const char* table, const char* statistics,
                              MIPairRow pair) {
  return {MIPatternKind::kPair, procedure, table, statistics, {}, pair, {}, {}};
}
constexpr MICatalogueRow Whole(const char* procedure, const char* table) {
  return {MIPatternKind::kWhole, procedure, table, "Statistics", {}, {}, {}, {}};
}
constexpr MICatalogueRow Column(const char* procedure, const char* table, MIColumnRow column) {
  return {MIPatternKind::kColumn, procedure, table, "Statistics", {}, {}, column, {}};
}
constexpr MICatalogueRow Corr(const char* procedure, const char* table, MICorrMatrixRow corr) {
  return {MIPatternKind::kCorrMatrix, procedure, table, "Statistics", {}, {}, {}, corr};
}

// clang-format off
constexpr MICatalogueRow kRows[] = {
    Column("Regression", "Coefficients", {"Variables", "B", "Std. Error", "^1 Confidence Interval for B", nullptr, "t", "Significance"}),
    Column("Regression", "Coefficients", {"Variables", nullptr, nullptr, nullptr, "Zero-order"}),
    Column("Regression", "Coefficients", {"Variables", nullptr, nullptr, nullptr, "Partial"}),
    Column("Regression", "Coefficients", {"Variables", nullptr, nullptr, nullptr, "Part"}),
    Cell("Regression", "Descriptive Statistics", {.averaged = {"Mean", "N"}}),
    Cell("Frequencies", "Statistics", {.pair = {"Mean", "Std. Error of Mean"}, .averaged = {"N#Valid", "N#Missing"}}),
    Cell("Frequencies", "Frequencies", {.averaged = {"Frequency"}}),
    Cell("Crosstabs", "Crosstabulation", {.averaged = {"Count"}}),
    Cell("Means", "Report", {.pair = {"Mean", "Std. Error of Mean"}, .averaged = {"N"}}),
    Cell("Oneway", "Contrast Tests", {.rubin = {"Value of Contrast", "Std. Error", "t", "df", "Significance (2-tailed)", nullptr}}),
    Cell("Oneway", "Descriptives", {.pair = {"Mean", "Std. Error"}, .averaged = {"N"}}),
    Cell("UNIANOVA", "Descriptive Statistics", {.averaged = {"N", "Mean"}}),
    Column("UNIANOVA", "Parameter Estimates", {"Parameter", "B", "Std. Error", "^1% Confidence Interval", nullptr, "t", "Significance", "Redundant parameter ..."}),
    Cell("UNIANOVA", "Between Subjects Factors", {.averaged = {"N"}}, "Properties"),
    Cell("UNIANOVA", "Descriptive Statistics", {.averaged = {"N", "Mean"}}),
    Cell("UNIANOVA", "Contrast Results", {.pair = {"Difference (Estimate - Hypothesized)", "Std. Error"}, .averaged = {"Contrast Estimate", "Hypothesized Value"}}),
    Cell("UNIANOVA", "Estimated Marginal Means", {.rubin = {"Mean", "Std. Error", nullptr, nullptr, nullptr, "^1% Confidence Interval"}}),
    Cell("UNIANOVA", "EMMEANS Pairwise Comparisons", {.pair = {"Mean Difference (I-J)", "Std. Error"}}),
    Cell("Descriptives", "Descriptive Statistics", {.excluded = "Stat Type", .pair = {"Mean", "Std. Error"}, .averaged = {"N"}}),
    Pair("Descriptives", "Descriptive Statistics", "Statistics", {"Stat Type", {"Mean", "Statistic"}, {"Mean", "Std. Error"}, {{"N", "Statistic"}}}),
    Cell("T-Test", "One Sample Statistics", {.pair = {"Mean", "Std. Error Mean"}, .averaged = {"N"}}),
    Cell("T-Test", "One Sample Test", {.rubin = {"Mean Difference", nullptr, "t", "df", "Sig(2-tailed)...", nullptr}}),
    Cell("T-Test", "Group Statistics", {.pair = {"Mean", "Std. Error Mean"}, .averaged = {"N"}}),
    Cell("T-Test", "Independent Samples Test", {.rubin = {"Mean Difference", "Std. Error Diff...", "t", "df", "Sig(2-tailed)...", "^1\\% Confidence Interval of the Difference"}}),
    Cell("T-Test", "Paired Samples Statistics", {.pair = {"Mean", "Std. Error Mean"}, .averaged = {"N"}}),
    Corr("T-Test", "Paired Samples Correlations", {"Correlation", "N"}),
    Cell("T-Test", "Paired Samples Test", {.rubin = {"Mean", "Std. Error Mean", "t", "df", "Sig(2-tailed)...", "^1\\% Confidence Interval of the Difference"}}),
    Cell("Correlations", "Descriptive Statistics", {.averaged = {"Mean", "N"}}),
    Corr("Non Par Corr", "Correlations", {"Correlation Coefficient", "N", nullptr, {"Corr. is significant at .05 level 1-tail...", "Corr. is significant at .01 level 1-tail...", "Corr. is significant at .05 level 2-tail...", "Corr. is significant at .01 level 2-tail..."}, "Significance (1-tailed)", "Significance (2-tailed)"}),
    Cell("Partial Corr", "Descriptive Statistics", {.averaged = {"Mean", "N"}}),
    Corr("Partial Corr", "Correlations", {"Correlation", "N"}),
    Cell("NPar Tests", "Descriptive Statistics", {.averaged = {"Mean", "N"}}),
    Cell("NPar Tests", "Chi Square Frequencies", {.averaged = {"Observed N"}}),
    Cell("NPar Tests", "Binomial Test", {.averaged = {"N", "Observed Proportion", "Test Proportion"}}),
    Cell("NPar Tests", "Mann Whitney Ranks", {.averaged = {"N", "Mean Rank"}}),
    Cell("NPar Tests", "Mann Whitney Test Statistics", {.averaged = {"N", "Observed Proportion", "Test Proportion"}}),
    Cell("NPar Tests", "Two Sample Kolmogorov Smirnov Frequencies", {.averaged = {"N"}}),
    Cell("NPar Tests", "Moses Frequencies", {.averaged = {"N"}}),
    Cell("NPar Tests", "Wald Wolfowitz Frequencies", {.averaged = {"N"}}),
    Cell("NPar Tests", "Kruskal Wallis Ranks", {.averaged = {"N", "Mean Rank"}}),
    Cell("NPar Tests", "Median Frequencies", {.averaged = {"> Median", "<= Median"}}),
    Cell("NPar Tests", "Wilcoxon Ranks", {.averaged = {"N", "Mean Rank"}}),
    Cell("NPar Tests", "Sign Frequencies", {.averaged = {"N"}}),
    Cell("NPar Tests", "Friedman Ranks", {.averaged = {"Mean Rank"}}),
    Cell("NPar Tests", "Kendall Ranks", {.averaged = {"Mean Rank"}}),
    Cell("Generalized Linear Models", "CategoricalVariableInformation", {.averaged = {"N", "Percent"}}),
    Cell("Generalized Linear Models", "ContinuousVariableInformation", {.averaged = {"N", "Mean"}}),
    Column("Generalized Linear Models", "ParameterEstimates", {"Parameter", "B", "Std. Error", "^1 Wald Confidence Interval", nullptr, nullptr, "Hypothesis Test#Sig.", "Parameter is redundant"}),
    Cell("Generalized Linear Models", "Estimates", {.rubin = {"Mean", "Std. Error", nullptr, nullptr, nullptr, "^1 Wald Confidence Interval"}}),
    Cell("Generalized Linear Models", "PairwiseComparisons", {.pair = {"Mean Difference (I-J)", "Std. Error"}}),
    Corr("Regression", "Correlations", {"Pearson Correlation", "N", nullptr, {}, "Significance (1-tailed)", "Significance (2-tailed)"}),
    Corr("Regression", "Coefficient Correlations", {"Correlations"}),
    Cell("Regression", "Residuals Statistics", {.averaged = {"Mean", "N"}}),
    Column("Nominal Regression", "Parameter Estimates", {"Parameter", "B Estimate", "Standard Error", nullptr, nullptr, nullptr, "significance", "Redundant parameter is zero ...", "Exp(B)", "^1% Confidence Interval for Exp(B)", "Wald", "degrees of freedom"}),
    Corr("Correlations", "Correlations", {"Pearson Correlation", "N", "[:^1=^2,:]1\\:Listwise N=^2", {"Correlation at 0.05(1-tailed):...", "Correlation at 0.01(1-tailed):...", "Correlation at 0.05(2-tailed):...", "Correlation at 0.01(2-tailed):..."}, "Significance(1-tailed)", "Significance(2-tailed)"}),
    Column("Logistic Regression", "Variables in the Equation", {"Variable", "B", "S.E.", nullptr, nullptr, nullptr, "Sig.", nullptr, "Exp(B)", "^1 C.I.for EXP(B)"}),
    Cell("Discriminant", "Group Statistics", {.averaged = {"Mean", "Valid N (listwise)#Unweighted", "Valid N (listwise)#Weighted"}}),
    Corr("Discriminant", "Pooled Within Groups Matrices", {"Correlation"}),
    Whole("Discriminant", "CDF Coefficients"),
    Whole("Discriminant", "Functions at Group Centroids"),
    Whole("Discriminant", "Classification Function Coefficients"),
    Column("PLUM", "Parameter Estimates", {"Parameters", "B Estimate", "Standard Error", "^1% Confidence Interval", nullptr, nullptr, "PAR significance"}),
    Cell("Mixed", "Descriptive Statistics", {.averaged = {"Mean", "Count"}}),
    Column("Mixed", "Parameter Estimates", {"Parameter", "B0", "Standard Error", "^1 Confidence Interval", nullptr, "t Statistic", "Significance", "Redundant parameter ..."}),
    Column("Mixed", "Covariance Parameter Estimates", {"Parameter", "Covpar Estimate", "Covpar Standard Error", "^1 Confidence Interval", nullptr, nullptr, "Covpar Wald Significance", "Redundant parameter ..."}),
    Cell("Mixed", "Estimated Marginal Means", {.rubin = {"Mean", "Standard Error", nullptr, nullptr, nullptr, "^1 Confidence Interval"}}),
    Column("Cox Regression", "Variables in the Equation", {"Variname", "B", "SE", nullptr, nullptr, nullptr, "Sig.", nullptr, "Exp(B)", "^1 CI for Exp(B)"}),
    Cell("Cox Regression", "Covariate Means", {.averaged = {"Mean"}}, "Statistic"),
    Pair("Kaplan-Meier", "Means and Medians for Survival Time", "Mean/Median", {"Statistics", {"Mean", "Estimate"}, {"Mean", "Std. Error"}}),
};
// clang-format on

static_assert(std::size(kRows) == 69, "the catalogue has 69 rows");

std::string Text(const char* text) {
  return text ? text : "";
}

} // namespace

std::span<const MICatalogueRow> MICatalogueRows() {
  return kRows;
}

std::unique_ptr<OmMIPattern> MakePattern(const MICatalogueRow& row) {
  switch (row.kind) {
  case MIPatternKind::kCell: {
    const MICellRow& c = row.cell;
    OmMICellPoolingPattern::Fields fields;
    fields.statistics = Text(row.statistics);
    fields.excluded = Text(c.excluded);
    fields.pairEstimate = Text(c.pair[0]);
    fields.pairStdError = Text(c.pair[1]);
    for (std::size_t i = 0; i < 6; ++i)
      fields.rubin[i] = Text(c.rubin[i]);
    for (const char* averaged : c.averaged)
      if (averaged) fields.averaged.push_back(averaged);
    return std::make_unique<OmMICellPoolingPattern>(row.procedure, row.table, std::move(fields));
  }
  case MIPatternKind::kPair: {
    const MIPairRow& p = row.pair;
    OmMICellPoolingPattern2::Fields fields;
    fields.statistics = Text(row.statistics);
    fields.type = Text(p.type);
    fields.estimate = {Text(p.estimate[0]), Text(p.estimate[1])};
    fields.stdError = {Text(p.stdError[0]), Text(p.stdError[1])};
    for (const auto& averaged : p.averaged)
      if (averaged[0]) fields.averaged.emplace_back(Text(averaged[0]), Text(averaged[1]));
    return std::make_unique<OmMICellPoolingPattern2>(row.procedure, row.table, std::move(fields));
  }
  case MIPatternKind::kWhole:
    return std::make_unique<OmMICellPoolingPattern0>(row.procedure, row.table);
  case MIPatternKind::kColumn: {
    const MIColumnRow& c = row.column;
    OmMIColumnPoolingPattern::Fields fields;
    fields.statistics = Text(row.statistics);
    fields.term = Text(c.term);
    fields.estimate = Text(c.estimate);
    fields.stdError = Text(c.stdError);
    fields.interval = Text(c.interval);
    fields.correlation = Text(c.correlation);
    fields.test = Text(c.test);
    fields.significance = Text(c.significance);
    fields.redundant = Text(c.redundant);
    fields.expB = Text(c.expB);
    fields.expBInterval = Text(c.expBInterval);
    fields.wald = Text(c.wald);
    fields.df = Text(c.df);
    return std::make_unique<OmMIColumnPoolingPattern>(row.procedure, row.table, std::move(fields));
  }
  case MIPatternKind::kCorrMatrix: {
    const MICorrMatrixRow& c = row.corr;
    OmMICorrMatrixPoolingPattern::Fields fields;
    fields.statistics = Text(row.statistics);
    fields.correlation = Text(c.correlation);
    fields.n = Text(c.n);
    fields.listwiseFormat = Text(c.listwise);
    for (std::size_t i = 0; i < 4; ++i)
      fields.flags[i] = Text(c.flags[i]);
    fields.oneTailed = Text(c.oneTailed);
    fields.twoTailed = Text(c.twoTailed);
    return std::make_unique<OmMICorrMatrixPoolingPattern>(row.procedure, row.table, std::move(fields));
  }
  }
  return nullptr;
}

std::vector<const OmMIPattern*> MIPatternsOf(const OmCellText& procedureTitle) {
  // Patterns are never freed: a pooler may run while the process ends. The array holding them is never
  // destroyed either, so that they stay reachable from it (leak checkers then see them as held, not lost).
  static std::mutex lock;
  static const OmMIPattern* built[std::size(kRows)] = {};
  std::vector<const OmMIPattern*> patterns;
  for (std::size_t i = 0; i < std::size(kRows); ++i) {
    if (!procedureTitle.Equals(OmStringCell(kRows[i].procedure))) continue;
    std::lock_guard guard(lock);
    if (built[i] == nullptr) built[i] = MakePattern(kRows[i]).release();
    patterns.push_back(built[i]);
  }
  return patterns;
}

} // namespace mipool

} // namespace omf
