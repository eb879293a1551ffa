#include <omf/bootpool/BootCatalogue.h>

#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include <omf/bootpool/OmBootPoolingPattern1.h>
#include <omf/bootpool/OmBootPoolingPattern2.h>
#include <omf/bootpool/OmBootPoolingPattern3.h>

namespace omf {

namespace {

// One row of the catalogue. `statistics` lists the statistics to pool: for pattern 1 the statistic,
// for pattern 3 the estimate, for pattern 2 every statistic. `second` is pattern 1's second name (a
// standard-error category, or " zero fill") or pattern 3's partner ("t", a standard-error category).
struct Row {
  int number;
  int pattern;
  const char* procedure;
  const char* table;
  const char* statisticsDimension;
  const char* resultDimension; // pattern 2
  std::vector<const char*> statistics;
  const char* second = "";
  const char* groupLabel = "Bootstrap for ^1"; // pattern 1
  std::vector<const char*> required = {};
  std::uint32_t placement = OmBootPattern::kColumns;
  bool rearrange = true;
  bool significanceOnly = false; // pattern 1
};

constexpr const char* kZeroFill = OmBootPoolingPattern1::kZeroFill;
constexpr const char* kBoot = "Bootstrap";
constexpr const char* kBootFor = "Bootstrap for ^1";
constexpr const char* kStats = "Statistics";
constexpr const char* kBootStats = "Bootstrap Statistics";

// clang-format off
const Row kRows[] = {
  // #  pattern procedure            table                                           statistics dim  result dim     statistics
  {1,  1, "Frequencies",        "Frequencies",                                  kStats,     "", {"Percent"}, kZeroFill, kBootFor},
  {2,  2, "Frequencies",        "Statistics",                                   kStats,     kBootStats, {"Mean", "Std. Deviation", "Variance", "Median", "Skewness", "Kurtosis", "N", "Percentiles"}},
  {3,  2, "Descriptives",       "Descriptive Statistics",                       kStats,     "Stat Type", {"Mean", "Std. Deviation", "Variance", "Median", "Skewness", "Kurtosis", "N"}},
  {4,  2, "Explore",            "Descriptives",                                 kStats,     "Stat Type", {"Mean", "Std. Deviation", "Interquartile Range", "5% Trimmed Mean", "Variance", "Median", "Skewness", "Kurtosis", "N"}},
  {5,  2, "Explore",            "M Estimators",                                 kStats,     kBootStats, {"Huber's M-Estimator", "Tukey's Biweight", "Hampel's M-Estimator", "Andrews' Wave"}},
  {6,  1, "Explore",            "Percentiles",                                  kBootStats, "", {"Percentile"}, "", kBoot},
  {7,  2, "Correlations",       "Descriptive Statistics",                       kStats,     kBootStats, {"Mean", "Std. Deviation", "N"}},
  {8,  2, "Means",              "Report",                                       kStats,     kBootStats, {"Mean", "Median", "Grouped Median", "Std. Deviation", "Variance", "Skewness", "Kurtosis", "Harmonic Mean", "Geometric Mean", "N"}},
  {9,  1, "Correlations",       "Correlations",                                 kStats,     "", {"Pearson Correlation"}, "", kBoot, {}, OmBootPattern::kColumns, false},
  {10, 3, "Crosstabs",          "Directional Measures",                         "Values",   "", {"Value"}},
  {11, 3, "Crosstabs",          "Symmetric Measures",                           "Values",   "", {"Value"}},
  {12, 3, "Crosstabs",          "Risk Estimate",                                "Values",   "", {"Value"}},
  {13, 1, "Crosstabs",          "Mantel-Haenszel Common Odds Ratio Estimate",   kStats,     "", {"ln(Estimate)"}, "Std. Error of ln(Estimate)", kBootFor},
  {14, 2, "T-Test",             "One Sample Statistics",                        kStats,     kBootStats, {"Mean", "Std. Deviation"}},
  {15, 3, "T-Test",             "One Sample Test",                              kStats,     "", {"Mean Difference"}, "t"},
  {16, 2, "T-Test",             "Group Statistics",                             kStats,     kBootStats, {"Mean", "Std. Deviation"}},
  {17, 3, "T-Test",             "Independent Samples Test",                     kStats,     "", {"Mean Difference"}, "t"},
  {18, 2, "T-Test",             "Paired Samples Statistics",                    kStats,     kBootStats, {"Mean", "Std. Deviation"}},
  {19, 1, "T-Test",             "Paired Samples Correlations",                  kStats,     "", {"Correlation"}, "", kBootFor},
  {20, 3, "T-Test",             "Paired Samples Test",                          kStats,     "", {"Mean"}, "Std. Error Mean"},
  {21, 1, "Non Par Corr",       "Correlations",                                 kStats,     "", {"Correlation Coefficient"}, "", kBoot, {}, OmBootPattern::kColumns, false},
  {22, 2, "Partial Corr",       "Descriptive Statistics",                       kStats,     kBootStats, {"Mean", "Std. Deviation", "N"}},
  {23, 1, "Partial Corr",       "Correlations",                                 kStats,     "", {"Correlation"}, "", kBoot, {}, OmBootPattern::kColumns, false},
  {24, 2, "Oneway",             "Descriptives",                                 kStats,     kBootStats, {"Mean", "Std. Deviation", "N"}},
  {25, 3, "Oneway",             "Multiple Comparisons",                         kStats,     "", {"Mean Difference (I-J)"}},
  {26, 1, "Oneway",             "Contrast Tests",                               kStats,     "", {"Value of Contrast"}, "Std. Error", kBoot, {}, OmBootPattern::kColumns, true, true},
  {27, 2, "UNIANOVA",           "Descriptive Statistics",                       kStats,     kBootStats, {"Mean", "Std. Deviation", "N"}},
  {28, 3, "UNIANOVA",           "Parameter Estimates",                          kStats,     "", {"B"}, "Std. Error", "", {"Parameter"}},
  {29, 1, "UNIANOVA",           "Contrast Results",                             kStats,     "", {"Difference (Estimate - Hypothesized)"}, "Std. Error", kBoot},
  {30, 1, "UNIANOVA",           "Estimated Marginal Means",                     kStats,     "", {"Mean"}, "", kBootFor},
  {31, 3, "UNIANOVA",           "EMMEANS Pairwise Comparisons",                 kStats,     "", {"Mean Difference (I-J)"}, "Std. Error"},
  {32, 3, "UNIANOVA",           "POSTHOC Multiple Comparisons",                 kStats,     "", {"Mean Difference (I-J)"}},
  {33, 2, "Regression",         "Descriptive Statistics",                       kStats,     kBoot, {"Mean", "Std. Deviation", "N"}},
  {34, 1, "Regression",         "Correlations",                                 kStats,     "", {"Pearson Correlation"}, "", kBootFor},
  {35, 3, "Regression",         "Coefficients",                                 kStats,     "", {"B"}, "Std. Error", "", {"Variables"}},
  {36, 3, "Regression",         "Model Summary",                                kStats,     "", {"Durbin-Watson"}},
  {37, 1, "Regression",         "Coefficient Correlations",                     kStats,     "", {"Correlations"}, "", kBootFor, {"Variables1", "Variables2"}},
  {38, 2, "Regression",         "Residuals Statistics",                         kStats,     kBoot, {"Mean", "Std. Deviation", "N"}},
  {39, 2, "Nominal Regression", "Measures of Monotone Association",             kStats,     kBoot, {"Somer D", "Gamma", "Tau-a", "Concordance Index C"}},
  {40, 3, "Nominal Regression", "Parameter Estimates",                          kStats,     "", {"B Estimate"}, "Standard Error", "", {"Parameter"}},
  {41, 1, "Nominal Regression", "Asymptotic Covariance Matrix",                 kStats,     "", {"Covariance"}, "", kBoot, {}, OmBootPattern::kRows, false},
  {42, 1, "Nominal Regression", "Asymptotic Correlation Matrix",                kStats,     "", {"Correlation"}, "", kBoot, {"Variable1", "Variable2"}, OmBootPattern::kRows, false},
  {43, 3, "GLM",                "Parameter Estimates",                          kStats,     "", {"B"}, "Std. Error", "", {"Parameter"}},
  {44, 3, "PLUM",               "Parameter Estimates",                          kStats,     "", {"B Estimate"}, "Std. Error", "", {"Parameters"}},
  {45, 3, "Logistic Regression", "Variables in the Equation",                   kStats,     "", {"B"}, "S.E.", "", {"Variable"}},
  {46, 3, "Generalized Linear Models", "ParameterEstimates",                    kStats,     "", {"B"}, "Std. Error", "", {"Parameter"}},
  {47, 3, "Cox Regression",     "Variables in the Equation",                    kStats,     "", {"B"}, "SE", "", {"Variname"}},
  {48, 1, "Discriminant",       "Standardized CDF Coefficients",                kStats,     "", {"Coefficient"}, "", kBoot, {}, OmBootPattern::kColumns, true},
  {49, 1, "Discriminant",       "CDF Coefficients",                             kStats,     "", {"Coefficient"}, "", kBoot, {}, OmBootPattern::kColumns, true},
  {50, 1, "Discriminant",       "Classification Function Coefficients",         kStats,     "", {"Coefficient"}, "", kBoot, {}, OmBootPattern::kColumns, true},
  {51, 3, "Mixed",              "Parameter Estimates",                          kStats,     "", {"B0"}, "Standard Error", "", {"Parameter"}},
  {52, 3, "Mixed",              "Covariance Parameter Estimates",               kStats,     "", {"Covpar Estimate"}, "Covpar Standard Error", "", {"Parameter"}},
};
// clang-format on

std::unique_ptr<OmBootPattern> MakePattern(const Row& row) {
  std::unique_ptr<OmBootPattern> made;
  switch (row.pattern) {
  case 1: {
    auto p = std::make_unique<OmBootPoolingPattern1>(row.procedure, row.table);
    p->SetStatisticsDimension(row.statisticsDimension);
    for (const char* s : row.statistics)
      p->AddStatistic(s, row.second);
    p->SetGroupLabel(row.groupLabel);
    p->significanceOnly = row.significanceOnly;
    made = std::move(p);
    break;
  }
  case 2: {
    auto p = std::make_unique<OmBootPoolingPattern2>(row.procedure, row.table);
    p->SetStatisticsDimension(row.statisticsDimension);
    p->SetResultDimension(row.resultDimension);
    for (const char* s : row.statistics)
      p->AddStatistic(s);
    made = std::move(p);
    break;
  }
  default: {
    auto p = std::make_unique<OmBootPoolingPattern3>(row.procedure, row.table);
    p->SetStatisticsDimension(row.statisticsDimension);
    for (const char* s : row.statistics)
      p->AddStatistic(s, row.second);
    made = std::move(p);
    break;
  }
  }
  for (const char* r : row.required)
    made->AddRequiredDimension(r);
  made->placement = row.placement;
  made->rearrange = row.rearrange;
  return made;
}

} // namespace

const std::vector<OmBootPattern*>& BootCatalogue() {
  // Patterns are never destroyed: poolers of any procedure may hold them until the process ends. The
  // list is never destroyed either, so the patterns stay reachable from it (leak checkers see them held).
  static const auto* catalogue = [] {
    auto* patterns = new std::vector<OmBootPattern*>;
    for (const Row& row : kRows)
      patterns->push_back(MakePattern(row).release());
    return patterns;
  }();
  return *catalogue;
}

} // namespace omf
