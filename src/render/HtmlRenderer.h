#pragma once
// Renders an output tree as one self-contained HTML page (UTF-8, styles inline): the outline, then the
// visible parts in tree order. Tables are <table> elements whose nested labels span their categories
// with rowspan and colspan, one per combination of layer categories; footnote marks are superscripts.
// Grids too large to lay out or to write (see render/Limits.h) are replaced by a notice paragraph.
#include <ostream>
#include <string>
#include <vector>

namespace omf {

class OmOutputTree;

namespace render {

class HtmlRenderer {
public:
  // Returns one line for each table whose grids were replaced by a notice, naming the table and why.
  std::vector<std::string> Render(const OmOutputTree& tree, std::ostream& out) const;
  std::string Render(const OmOutputTree& tree) const;
};

} // namespace render

} // namespace omf
