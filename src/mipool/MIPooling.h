#pragma once
// What the multiple-imputation patterns share: the pooling context of a table (its statistics and
// imputation dimensions, the original-data and "Pooled" categories), the walk over every combination of
// the other dimensions, reading and writing numbers, Rubin pooling of one position and averaging.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <omf/model/PivotTable.h>
#include <omf/platform/pooling/MPFactory.h>

namespace omf {

namespace mipool {

// Pooling diagnostics are shown with three decimals in a wide field.
inline constexpr std::uint32_t kDiagnosticsFormat = MakeFormat(40, 5, 3);
// Labels of the diagnostics categories, in the order they are added.
inline constexpr const char* kFractionMissingLabel = "Fraction Missing Info.";
inline constexpr const char* kRelativeIncreaseLabel = "Relative Increase Variance";
inline constexpr const char* kRelativeEfficiencyLabel = "Relative Efficiency";
// Footnote of a significance that cannot be computed because every imputation gave the same estimate.
inline constexpr const char* kNoVarianceText = "No variance among imputations.";

// Cells of the imputations that one pattern may read to pool one table: the positions it walks (every
// combination of the categories of the dimensions it does not hold fixed) times the imputation categories.
// A table of a few sparse but long dimensions would otherwise cost hours; a real table is far smaller.
inline constexpr std::size_t kMaxPoolingReads = 50'000'000;
// Title footnote of a table that a pattern leaves unpooled because of that limit.
inline constexpr const char* kTooLargeText = "Not pooled: the table has too many cells to pool.";

// The fourth display flag: whether pooling diagnostics are written. Read each time a table is pooled.
bool ShowDiagnostics();

// The dimensions and categories every pattern starts from.
struct MIContext {
  OmPivotTable& table;
  int imputation = -1; // the imputation dimension
  int original = -1;   // its original-data category, or -1
  int pooled = -1;     // its "Pooled" category
  // The imputation categories that are pooled: every subscript but the original data and "Pooled".
  std::vector<int> imputations;

  // Finds the imputation dimension; false when there is none. Otherwise finds the original data and
  // finds or adds "Pooled".
  explicit MIContext(OmPivotTable& t) : table(t) {}
  bool Open();
};

// Every combination of the categories (subscripts) of the dimensions that are not held fixed, the last
// free dimension changing fastest. The fixed dimensions keep what the caller writes into the address.
class Combinations {
public:
  Combinations(const OmPivotTable& table, const std::vector<int>& fixed);
  // The next combination written into `at` (sized to the table's dimensions); false after the last.
  bool Next(std::vector<int>& at);
  // The number of combinations; 0 when a free dimension has no category, SIZE_MAX past that.
  std::size_t Count() const;

private:
  std::vector<int> _free;
  std::vector<int> _sizes;
  bool _started = false;
};

// A place in the table: a subscript in each of up to two dimensions. Empty when not found.
class Place {
public:
  Place() = default;
  Place(int d, int s) { Add(d, s); }
  Place(int d1, int s1, int d2, int s2) {
    Add(d1, s1);
    Add(d2, s2);
  }
  bool Found() const { return _count > 0; }
  void Apply(std::vector<int>& at) const {
    for (int i = 0; i < _count; ++i)
      at[static_cast<std::size_t>(_dims[i])] = _subs[i];
  }

private:
  void Add(int d, int s) {
    if (d < 0 || s < 0) {
      _count = 0;
      _broken = true;
    } else if (!_broken) {
      _dims[_count] = d;
      _subs[_count] = s;
      ++_count;
    }
  }
  int _dims[2] = {-1, -1};
  int _subs[2] = {-1, -1};
  int _count = 0;
  bool _broken = false;
};

// Whether walking `positions` positions over the imputations would pass kMaxPoolingReads; if so the
// table's title is footnoted (once) and the pattern leaves the table alone.
// The numbers at `at` summed over every imputation (the imputation subscript of `at` is left changed):
// whether any was found, and the format of the last one found.
struct ImputationSum {
  double sum = 0;
  bool found = false;
  std::uint32_t format = 0;
};
ImputationSum SumOverImputations(const MIContext& ctx, std::vector<int>& at);

bool TooLargeToPool(MIContext& ctx, std::size_t positions);

// The number stored at the address, or null when the cell is empty or not a number.
const OmNumber* NumberAt(const OmPivotTable& table, const std::vector<int>& at);
// Stores a new number at the address (replacing what stood there) and returns it, so that the caller can
// footnote it.
OmNumber* StoreNumber(OmPivotTable& table, const std::vector<int>& at, double value, std::uint32_t format);
// The format with one decimal when the value is not whole and the format shows none.
std::uint32_t WithDecimalForFraction(double value, std::uint32_t format);

// The calculator of one pooled position, deleted when it goes.
struct CalculatorDeleter {
  void operator()(IMPPoolCalculator* c) const { delete c; }
};
using Calculator = std::unique_ptr<IMPPoolCalculator, CalculatorDeleter>;
inline Calculator NewCalculator() {
  return Calculator(MPFactory::CreateMPCompAlgorithm());
}

// The error code of a status: 0 for success, and for a failure that gives no code.
long ErrorOf(const MCCommon::MCStatus& status);

// Where the statistics pooled by Rubin's rules stand, for the cell patterns. Places that are not found
// are left out. The diagnostics places are found or added when first written.
struct RubinPlaces {
  Place estimate, stdError, test, df, significance;
  Place lower, upper; // the confidence interval's bounds
  double level = 0.95;
  // The three diagnostics places (fraction missing, relative increase, relative efficiency), found or
  // added in the table on the first call.
  std::function<std::vector<Place>()> diagnostics;
};

// Pools one position (the other dimensions set in `at`) over the imputations. True when pooled values
// were written; a pooling-library error footnotes the pooled estimate instead.
bool PoolPosition(MIContext& ctx, std::vector<int> at, const RubinPlaces& places, bool showDiagnostics);

// Averages the values at the place over the imputations, for every combination of the dimensions not
// in `fixed`: the sum divided by the number of imputations m, however many values were found. True when
// something was written.
bool AveragePlace(MIContext& ctx, const Place& place, const std::vector<int>& fixed);

} // namespace mipool

} // namespace omf
