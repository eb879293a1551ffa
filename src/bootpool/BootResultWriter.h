#pragma once
// Adds the bootstrap result categories of one statistic to a dimension of a table (a group holding
// "Bias", "Std. Error", "Sig. (2-tailed)" and a confidence-interval group with "Lower" and "Upper",
// captioned with the number and kind of samples), and writes one cell's results into them with the
// footnotes that qualify them.
#include <string>
#include <utility>
#include <vector>

#include <omf/model/PivotTable.h>

namespace omf {

// The kind of samples a sampling method draws ("bootstrap samples", "stratified bootstrap samples",
// ...), for the caption of the results; an unknown method reads as simple sampling.
const std::string& BootSamplingCaption(int method);

class BootResultWriter {
public:
  // Appends the group labelled `groupLabel` to the top level of dimension `resultDim`. With
  // significance-only the group holds "Sig. (2-tailed)" alone; otherwise significance is there when
  // `withSignificance`, and the interval is labelled as BCa when `bca`.
  BootResultWriter(OmPivotTable& table, int resultDim, const OmCellText& groupLabel,
                   const std::string& caption, unsigned samples, double levelPct, bool withSignificance,
                   bool bca, bool significanceOnly);

  // Writes at `at` (a full cell index; its entry for the result dimension is replaced by each result's
  // category). `validSamples` is the number of bootstrap values the results came from.
  void WriteResults(std::vector<int> at, double bias, double stdError, double significance,
                    std::pair<double, double> interval, unsigned validSamples, bool jackknifeComplete);

  // The number of usable samples below which no interval at this level can be had.
  unsigned CoverageSamples() const { return _coverage; }

private:
  void Write(std::vector<int>& at, int category, double value, std::uint32_t format,
             const std::vector<int>& footnotes);

  double _levelPct;
  OmPivotTable& _table;
  int _resultDim;
  int _bias = -1, _stdError = -1, _significance = -1, _lower = -1, _upper = -1;
  unsigned _samples;
  unsigned _coverage;
  bool _withSignificance;
  bool _bca;
  bool _significanceOnly;
};

} // namespace omf
