#pragma once
// The pivot tables of an output tree that an export writes: every visible table, in tree order, with
// what the index of an export lists for it and the column specification of the selection request that
// picked it.
#include <cstdint>
#include <string>
#include <vector>

namespace omf {

class OMSColumns;
class OMSObjectSelector;
class OmOutputTree;
class OmPivotTable;

namespace data {

struct ExportTable {
  const OmPivotTable* table = nullptr;
  std::size_t node = 0;  // in the tree
  std::string procedure; // the title of the procedure above it, as shown; empty outside procedures
  std::string title;     // the table's title, as shown
  std::string subtype;
  std::string codePage; // of the table's texts
  std::uint64_t id = 0;
  // The column specification of the first request whose object types and criteria select the table;
  // null when no request does or that request gives none.
  const OMSColumns* columns = nullptr;
};

// The visible tables of the tree. `requests` are the selection requests the tree was made with: they
// also say how each table is shaped as data.
std::vector<ExportTable> ExportTables(const OmOutputTree& tree,
                                      const std::vector<OMSObjectSelector>& requests);

} // namespace data

} // namespace omf
