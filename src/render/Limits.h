#pragma once
// The bounds that keep the text and HTML renderers' time, memory and output in proportion to the tree,
// and the arithmetic that checks sizes against them without overflowing.
#include <cstddef>
#include <limits>

namespace omf {

namespace render {

// The most places that the grids of one table may hold: rows times columns of each layer's grid, plus
// its layer labels, summed over the layers. Category counts multiply, so a few dimensions of a few
// categories describe grids far beyond any memory while their stream is a few kilobytes; every place is
// drawn, and every label place is built in memory (about 30 bytes; cells are read from the table as
// they are drawn). A table of 1000 x 1000 cells holds about a million.
inline constexpr std::size_t kMaxGridPlaces = 10'000'000;

// The most bytes that the grids and layer labels of one table may write. Places are bounded above, but
// a column is as wide as its widest text, and a label is repeated under every category of the
// dimensions outside it, so one long text could still make a small table write terabytes.
inline constexpr std::size_t kMaxTableBytes = std::size_t{256} << 20;

// The most places of one table's grids (rows of cells times the grid's columns, over its layers in
// order) that an HTML page holds as it opens; the page's script draws the remaining rows a batch at a
// time once the page is open, and all of them before it is printed. A browser takes seconds to build a
// table of a hundred thousand cells, so a page holding one whole would not open at once.
inline constexpr std::size_t kMaxFirstDrawnPlaces = 2'000;

// Outline lines are indented two spaces a level down to this level. Deeper lines keep that indent and
// start with their level in brackets, so that the outline of a deeply nested tree stays in proportion
// to the tree instead of growing with the square of its depth.
inline constexpr int kMaxOutlineIndentLevel = 32;

// Sizes that saturate at the largest std::size_t instead of wrapping around.
inline constexpr std::size_t kSaturated = std::numeric_limits<std::size_t>::max();

constexpr std::size_t SaturatingAdd(std::size_t a, std::size_t b) {
  return a > kSaturated - b ? kSaturated : a + b;
}

constexpr std::size_t SaturatingMul(std::size_t a, std::size_t b) {
  return a != 0 && b > kSaturated / a ? kSaturated : a * b;
}

} // namespace render

} // namespace omf
