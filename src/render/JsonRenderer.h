#pragma once
// Renders an output tree as the project's JSON export: {"omf": 1, "parts": [...]}, every node but the
// root in tree order, each part with its level, type, title and visible flag and the keys of its type;
// a table with its dimensions, placement, cells (ordered by subscripts), footnotes and options. Texts
// are the displayed texts in UTF-8. The document has one part a line, and a table one cell a line, so
// that large tables stream out without being held in memory twice.
#include <ostream>
#include <string>

namespace omf {

class OmOutputTree;

namespace render {

class JsonRenderer {
public:
  void Render(const OmOutputTree& tree, std::ostream& out) const;
  std::string Render(const OmOutputTree& tree) const;
};

} // namespace render

} // namespace omf
