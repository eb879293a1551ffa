#pragma once
// Small output trees for the renderer tests, built through the model API as the table builder does.
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <omf/model/OutputTree.h>
#include <omf/model/PivotTable.h>

namespace omf {

namespace render_test {

inline OmDimensionNode* Category(OmPivotTable& table, int d, OmDimensionNode* parent,
                                 const OmCellText& label) {
  return table.Dimension(d).Child(parent, label, table.Size(d), false);
}

inline OmDimensionNode* Group(OmPivotTable& table, int d, OmDimensionNode* parent, const OmCellText& label) {
  return table.Dimension(d).Child(parent, label, OmDimensionNode::kNoSubscript, true);
}

inline void Number(OmPivotTable& table, std::vector<int> at, double value,
                   std::uint32_t format = MakeFormat(8, 5, 0)) {
  const OmNumber number(value, format);
  table.Cell(at, &number);
}

// "Stats": columns N (a group of Valid and Missing) and Mean (dimension 0), rows Age and Income
// (dimension 1); cells hold column * 10 + row.
inline std::unique_ptr<OmPivotTable> NestedTable() {
  auto table = std::make_unique<OmPivotTable>(OmStringCell("Stats"), OmStringCell("Statistics"), false);
  const int stats = table->AddDimension(OmStringCell("Statistics"));
  const int vars = table->AddDimension(OmStringCell("Variables"));
  table->Columns().Set(0, static_cast<short>(stats));
  table->Rows().Set(0, static_cast<short>(vars));
  OmDimensionNode* n = Group(*table, stats, &table->Dimension(stats).Root(), OmStringCell("N"));
  Category(*table, stats, n, OmStringCell("Valid"));
  Category(*table, stats, n, OmStringCell("Missing"));
  Category(*table, stats, &table->Dimension(stats).Root(), OmStringCell("Mean"));
  Category(*table, vars, &table->Dimension(vars).Root(), OmStringCell("Age"));
  Category(*table, vars, &table->Dimension(vars).Root(), OmStringCell("Income"));
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 2; ++r)
      Number(*table, {c, r}, c * 10 + r);
  return table;
}

// A tree holding one procedure (UTF-8) with the part under it.
inline std::size_t WithProcedure(OmOutputTree& tree, std::unique_ptr<OmOutputPart> part,
                                 const std::string& codePage = "UTF-8") {
  const std::size_t proc = tree.Append(
      0, std::make_unique<OmProcedure>(OmStringCell("Frequencies"), "English", codePage, "en_US"));
  return tree.Append(proc, std::move(part));
}

// The parts of a JSON export in tree order, each without its "parts" key, checking on the way that every
// child stands one level below the part that holds it.
template <class Json> std::vector<Json> FlatParts(const Json& doc) {
  std::vector<Json> flat;
  std::vector<std::pair<const Json*, int>> pending; // (part, level of the part holding it)
  const Json& top = doc["parts"];
  for (auto it = top.rbegin(); it != top.rend(); ++it)
    pending.emplace_back(&*it, 0);
  while (!pending.empty()) {
    const auto [part, parentLevel] = pending.back();
    pending.pop_back();
    Json copy = Json::object();
    for (const auto& item : part->items())
      if (item.key() != "parts") copy[item.key()] = item.value();
    if (parentLevel > 0 && copy["level"] != parentLevel + 1)
      throw std::runtime_error("child level is not one below");
    if (part->contains("parts")) {
      const Json& kids = (*part)["parts"];
      if (kids.empty()) throw std::runtime_error("an empty \"parts\" list");
      for (auto it = kids.rbegin(); it != kids.rend(); ++it)
        pending.emplace_back(&*it, (*part)["level"].template get<int>());
    }
    flat.push_back(std::move(copy));
  }
  return flat;
}

} // namespace render_test

} // namespace omf
