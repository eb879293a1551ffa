#pragma once
// Draws a table grid as text with ASCII lines: '|' between blocks side by side, '-' between blocks one
// above the other ('=' under the column labels), '+' where lines meet. A block's text stands on its
// first line with a space on either side: cells holding numbers are right-aligned, column labels
// centred, everything else left-aligned. Widths count characters (code points), not bytes.
#include <ostream>
#include <string>
#include <vector>

#include <omf/render/CellDisplay.h>
#include <omf/render/TableLayout.h>

namespace omf {

namespace render {

// The text with its markers straight after it and its footnote marks in brackets: "12.50*,**[a,b]".
// Line breaks and other control characters become spaces.
std::string PlainText(const ShownText& shown);
// The text on one line: line breaks and other control characters become spaces.
std::string PlainText(std::string text);

// A grid measured for drawing: its texts on one line each and the width of every column.
class TextGrid {
public:
  explicit TextGrid(const TableGrid& grid); // keeps a reference to the grid
  // The bytes that Draw writes (the largest std::size_t when they would not fit in one).
  std::size_t Bytes() const { return _bytes; }
  void Draw(std::ostream& out) const;

private:
  const TableGrid& _grid;
  std::vector<std::string> _texts;      // per grid text
  std::vector<std::size_t> _textWidths; // per grid text
  std::vector<std::size_t> _widths;     // per column, without the padding
  std::size_t _bytes = 0;
};

} // namespace render

} // namespace omf
