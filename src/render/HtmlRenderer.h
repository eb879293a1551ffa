#pragma once
// Renders an output tree as one self-contained HTML page (UTF-8, styles inline): the outline, then the
// visible parts in tree order. Tables are <table> elements whose nested labels span their categories
// with rowspan and colspan, one per combination of layer categories; footnote marks are superscripts.
#include <ostream>
#include <string>

class OmOutputTree;

namespace omf::render {

class HtmlRenderer {
public:
  void Render(const OmOutputTree& tree, std::ostream& out) const;
  std::string Render(const OmOutputTree& tree) const;
};

} // namespace omf::render
