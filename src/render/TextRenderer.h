#pragma once
// Renders an output tree as text for a person to read: first the outline, one line per node indented
// two spaces a level (very deep levels named instead; hidden parts marked "[hidden]"), then every
// visible part in tree order: procedures and headings as underlined titles, text and log blocks and
// page titles by their lines, pivot tables as grids (see TableLayout and TextGrid) with their title above and
// their caption and footnotes ("a. text") below, and charts, models and answer trees by their title and the
// sizes of their content slots. The output is UTF-8 whatever the code pages of the parts. Grids too large to
// lay out or to write (see render/Limits.h) are replaced by a one-line notice in brackets.
#include <ostream>
#include <string>
#include <vector>

namespace omf {

class OmOutputTree;

namespace render {

class TextRenderer {
public:
  // Returns one line for each table whose grids were replaced by a notice, naming the table and why.
  std::vector<std::string> Render(const OmOutputTree& tree, std::ostream& out) const;
  std::string Render(const OmOutputTree& tree) const;
};

} // namespace render

} // namespace omf
