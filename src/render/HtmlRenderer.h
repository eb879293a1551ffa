#pragma once
// Renders an output tree as one self-contained HTML page (UTF-8, style sheet and script inline, nothing
// fetched): an outline pane of collapsible links to every part, then the parts in tree order, hidden
// ones marked and shown only when the reader asks. Tables are <table> elements, one per combination of
// layer categories, whose nested labels span their categories; each table also carries its dimensions
// and cells as JSON, from which the page's script shows one layer at a time and pivots the table.
// Grids too large to lay out or to write (see render/Limits.h) are replaced by a notice paragraph; a
// long table is written with its first rows, the script drawing the rest once the page is open.
#include <ostream>
#include <string>
#include <vector>

#include <omf/render/RenderWalk.h>

namespace omf {

class OmOutputTree;

namespace render {

class HtmlRenderer {
public:
  // The renderer's own words are shown through `words` (English when it is empty).
  explicit HtmlRenderer(Words words = {}) : _words(std::move(words)) {}
  // Returns one line for each table whose grids were replaced by a notice, naming the table and why.
  std::vector<std::string> Render(const OmOutputTree& tree, std::ostream& out) const;
  std::string Render(const OmOutputTree& tree) const;

private:
  Words _words;
};

} // namespace render

} // namespace omf
