#pragma once
// Draws a table grid as text with ASCII lines: '|' between blocks side by side, '-' between blocks one
// above the other ('=' under the column labels), '+' where lines meet. A block's text stands on its
// first line with a space on either side: cells holding numbers are right-aligned, column labels
// centred, everything else left-aligned. Widths count characters (code points), not bytes.
#include <ostream>
#include <string>

#include "render/CellDisplay.h"
#include "render/TableLayout.h"

namespace omf::render {

// The text with its markers straight after it and its footnote marks in brackets: "12.50*,**[a,b]".
// Line breaks and other control characters become spaces.
std::string PlainText(const ShownText& shown);
// The text on one line: line breaks and other control characters become spaces.
std::string PlainText(std::string text);

void DrawTextGrid(const TableGrid& grid, std::ostream& out);

} // namespace omf::render
