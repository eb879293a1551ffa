#pragma once
// A bootstrap pattern: one row of the bootstrap catalogue. It names a procedure and a table (by template
// name) and knows where in that table the bootstrap results of its statistics go.
#include <memory>
#include <string>
#include <vector>

#include <omf/model/OutputTree.h>
#include <omf/model/PivotTable.h>

namespace omf {

class SvrBootstrapSpecs;

class OmBootPattern {
public:
  // Where the dimension that carries the results goes.
  enum Placement : std::uint32_t { kRows = 0, kColumns = 1, kLayers = 2 };
  // Parts that pooling made to stand right after the pooled table, in order.
  using NewParts = std::vector<std::unique_ptr<OmOutputPart>>;

  OmBootPattern(const std::string& procedure, const std::string& table);
  virtual ~OmBootPattern();
  OmBootPattern(const OmBootPattern&) = delete;
  OmBootPattern& operator=(const OmBootPattern&) = delete;

  // True when the procedure title names this pattern's procedure.
  virtual bool MatchesProcedure(const OmCellText& title) const;
  // True for a table of this pattern's template name that has a bootstrap split dimension and every
  // required dimension.
  virtual bool AppliesTo(const OmPivotTable& table) const;
  // Adds the bootstrap results to the table (or to new tables, which go to `after`).
  virtual bool Pool(OmPivotTable& table, NewParts& after, const SvrBootstrapSpecs& specs) const = 0;

  void AddRequiredDimension(std::string name) { _required.push_back(std::move(name)); }
  const std::vector<std::string>& RequiredDimensions() const { return _required; }

  std::uint32_t placement = kColumns;
  // Moves the other dimensions of the result dimension's list away, so that it stands alone there
  // (never for layers).
  bool rearrange = true;

protected:
  // The indexes of the required dimensions (each exists once AppliesTo held).
  std::vector<int> RequiredIndexes(const OmPivotTable& table) const;
  // A table whose split dimension does not hold the observed sample, N bootstrap and J jackknife
  // samples cannot be pooled; it says so in a footnote on its title. True when it can.
  static bool CheckUsable(OmPivotTable& table, int splitDim, const SvrBootstrapSpecs& specs);
  // The row, column or layer list of the placement (`first`) and the list the other dimensions move
  // to (`second`); both the layers for placement 2.
  void PlacementLists(OmPivotTable& table, PuppetVector<short>*& first, PuppetVector<short>*& second) const;
  // When rearranging, moves every dimension of the placement's list but `keep` to the front of the
  // other list, the last moved first.
  void Rearrange(OmPivotTable& table, int keep) const;
  // The stored cells at split position 0 whose entry for dimension d is `at`, in index order (the last
  // dimension varies fastest), into `out` one after the other, NDimensions() entries each.
  static void CellsAt(const OmPivotTable& table, int splitDim, int d, int at, std::vector<int>& out);
  // Adds a dimension with one category (subscript 0) and its node mark set; returns its index.
  static int AddSingleCategoryDimension(OmPivotTable& table, const std::string& name,
                                        const std::string& category);

private:
  OmStringCell _procedure;
  OmStringCell _table;
  std::vector<std::string> _required;
};

} // namespace omf
