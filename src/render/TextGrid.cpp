#include <omf/render/TextGrid.h>

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

#include <omf/model/CellText.h>
#include <omf/platform/strings/PlatformStrings.h>
#include <omf/render/Limits.h>
#include <omf/render/OutBuffer.h>

namespace omf {

namespace render {

namespace {

std::size_t Width(std::string_view s) {
  return omf::platform::DisplayWidth(s);
}

// `text`, `used` columns wide, in a run of `width` columns.
void Aligned(OutBuffer& out, std::string_view text, std::size_t used, std::size_t width, GridBlock::Kind kind,
             bool numeric) {
  const std::size_t room = width > used ? width - used : 0;
  std::size_t before = 0;
  if (kind == GridBlock::kCell && numeric)
    before = room;
  else if (kind == GridBlock::kColumnLabel || kind == GridBlock::kDimensionLabel)
    before = room / 2;
  out.Fill(before, ' ');
  out << text;
  out.Fill(room - before, ' ');
}

// A cell's text on its line, read from the table: a number without markers or footnotes formatted into a
// buffer kept from cell to cell, anything else shown with its decorations.
struct CellLine {
  std::string_view text;
  std::size_t width = 0;
  bool numeric = false;
};

class CellLines {
public:
  explicit CellLines(const TableGrid& grid) : _grid(grid) {}
  // Valid until the next call.
  CellLine At(int row, int column) {
    const OmCellText* cell = _grid.Cell(row, column, _scratch);
    if (cell == nullptr) return {};
    const std::size_t length = _grid.layout->PlainNumber(*cell, _number);
    if (length != std::string_view::npos) return {std::string_view(_number.data(), length), length, true};
    const ShownText shown = _grid.layout->Marks().Show(*cell);
    _general = PlainText(shown);
    return {_general, Width(_general), shown.numeric};
  }

private:
  const TableGrid& _grid;
  OmNumber _scratch{0.0, 0};
  NumberText _number;
  std::string _general;
};

} // namespace

std::string PlainText(const ShownText& shown) {
  std::string out = shown.text + shown.markers;
  if (!shown.marks.empty()) {
    out += '[';
    for (std::size_t i = 0; i < shown.marks.size(); ++i) {
      if (i != 0) out += ',';
      out += shown.marks[i];
    }
    out += ']';
  }
  return PlainText(std::move(out));
}

std::string PlainText(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

TextGrid::TextGrid(const TableGrid& grid) : _grid(grid) {
  const std::size_t rows = static_cast<std::size_t>(grid.rows),
                    columns = static_cast<std::size_t>(grid.columns);
  if (rows == 0 || columns == 0) return;
  _texts.reserve(grid.texts.size());
  _textWidths.reserve(grid.texts.size());
  for (const ShownText& t : grid.texts) {
    _texts.push_back(PlainText(t));
    _textWidths.push_back(Width(_texts.back()));
  }
  const std::vector<std::size_t>& textWidth = _textWidths;

  // Column widths (without the padding): single columns first, then spanning blocks widen the columns
  // they span when their text does not fit, the extra shared out from the right, narrower spans and
  // then upper and left blocks first.
  _widths.assign(columns, 1);
  // Row labels repeated under the categories of the dimensions outside them take the same columns with
  // the same text, so the first of each stands for the others.
  std::vector<std::pair<GridBlock, std::size_t>> labels = grid.RowLabels();
  labels.reserve(labels.size() + grid.blocks.size());
  for (const GridBlock& b : grid.blocks)
    labels.emplace_back(b, 1);
  std::vector<GridBlock> spanning;
  std::size_t labelExtra = 0;
  for (const auto& [b, copies] : labels) {
    const std::size_t extra = _texts[b.text].size() - std::min(_texts[b.text].size(), textWidth[b.text]);
    labelExtra = SaturatingAdd(labelExtra, SaturatingMul(extra, copies));
    if (b.columnSpan == 1) {
      std::size_t& w = _widths[static_cast<std::size_t>(b.column)];
      w = std::max(w, textWidth[b.text]);
    } else {
      spanning.push_back(b);
    }
  }
  // The cells are read from the table here and again when drawn, rather than kept: a grid may hold
  // millions of them.
  std::size_t cellExtra = 0;
  CellLines cells(grid);
  for (int r = grid.headerRows; r < grid.rows; ++r)
    for (int c = grid.headerColumns; c < grid.columns; ++c) {
      const CellLine cell = cells.At(r, c);
      std::size_t& w = _widths[static_cast<std::size_t>(c)];
      w = std::max(w, cell.width);
      cellExtra = SaturatingAdd(cellExtra, cell.text.size() - std::min(cell.text.size(), cell.width));
    }
  std::sort(spanning.begin(), spanning.end(), [](const GridBlock& a, const GridBlock& b) {
    if (a.columnSpan != b.columnSpan) return a.columnSpan < b.columnSpan;
    return a.row != b.row ? a.row < b.row : a.column < b.column;
  });
  for (const GridBlock& b : spanning) {
    const auto first = static_cast<std::size_t>(b.column), span = static_cast<std::size_t>(b.columnSpan);
    std::size_t room = 3 * (span - 1);
    for (std::size_t c = first; c < first + span; ++c)
      room += _widths[c];
    const std::size_t need = textWidth[b.text];
    if (need <= room) continue;
    const std::size_t extra = need - room;
    for (std::size_t k = 0; k < span; ++k)
      _widths[first + span - 1 - k] += extra / span + (k < extra % span ? 1 : 0);
  }

  // Every line, of either kind, has a '|', '+' or space before each column and after the last, and
  // the column's width plus two between; each text adds its bytes beyond its width.
  std::size_t line = 2; // the last mark and the line break
  for (std::size_t w : _widths)
    line = SaturatingAdd(line, SaturatingAdd(w, 3));
  _bytes = SaturatingAdd(
      SaturatingAdd(SaturatingMul(line, SaturatingAdd(SaturatingMul(rows, 2), 1)), cellExtra), labelExtra);
}

void TextGrid::Draw(std::ostream& stream) const {
  const TableGrid& grid = _grid;
  const std::size_t rows = static_cast<std::size_t>(grid.rows),
                    columns = static_cast<std::size_t>(grid.columns);
  if (rows == 0 || columns == 0) return;
#ifndef NDEBUG
  const std::streamoff start = stream.tellp();
#endif
  OutBuffer out(stream);
  const auto headerRows = static_cast<std::size_t>(grid.headerRows),
             headerColumns = static_cast<std::size_t>(grid.headerColumns);
  // Two places are in one block when their blocks start at the same place; each cell is one of its own.
  const auto cover = [&](std::size_t r, std::size_t c) {
    const GridBlock b = grid.Covering(static_cast<int>(r), static_cast<int>(c));
    return std::pair<int, int>(b.row, b.column);
  };
  // A line runs along the top of place (r, c) / along the left of place (r, c).
  const auto across = [&](std::size_t r, std::size_t c) {
    return r == 0 || r == rows || cover(r - 1, c) != cover(r, c);
  };
  const auto down = [&](std::size_t r, std::size_t c) {
    return c == 0 || c == columns || cover(r, c - 1) != cover(r, c);
  };
  const auto mark = [](bool left, bool right, bool up, bool below, char dash) {
    return (left || right) && (up || below) ? '+' : (left || right) ? dash : (up || below) ? '|' : ' ';
  };
  // Any boundary line, the blocks of its places looked up one by one.
  const auto boundary = [&](std::size_t r) {
    const char dash = r == headerRows && r != 0 && r != rows ? '=' : '-';
    for (std::size_t c = 0; c <= columns; ++c) {
      const bool left = c > 0 && across(r, c - 1), right = c < columns && across(r, c);
      const bool up = r > 0 && down(r - 1, c), below = r < rows && down(r, c);
      out << mark(left, right, up, below, dash);
      if (c < columns) out.Fill(_widths[c] + 2, across(r, c) ? dash : ' ');
    }
    out << '\n';
  };
  // A label block's text on the line of row r, which spans its columns from c on.
  const auto label = [&](const GridBlock& block, std::size_t r, std::size_t c) {
    const std::size_t end = static_cast<std::size_t>(block.column + block.columnSpan);
    std::size_t room = 3 * (end - c - 1);
    for (std::size_t k = c; k < end; ++k)
      room += _widths[k];
    out << "| ";
    if (static_cast<std::size_t>(block.row) == r)
      Aligned(out, _texts[block.text], _textWidths[block.text], room, block.kind, grid.Text(block).numeric);
    else
      out.Fill(room, ' ');
    out << ' ';
    return end;
  };
  CellLines cells(grid);
  const auto cell = [&](std::size_t r, std::size_t c) {
    const CellLine line = cells.At(static_cast<int>(r), static_cast<int>(c));
    const std::size_t width = _widths[c], room = width > line.width ? width - line.width : 0;
    if (width + line.text.size() + 3 > OutBuffer::kBufferBytes) {
      out << "| ";
      Aligned(out, line.text, line.width, width, GridBlock::kCell, line.numeric);
      out << ' ';
      return;
    }
    char* w = out.Room(width + line.text.size() + 3);
    *w++ = '|';
    *w++ = ' ';
    if (line.numeric) {
      std::memset(w, ' ', room);
      w += room;
    }
    if (!line.text.empty()) std::memcpy(w, line.text.data(), line.text.size()); // an empty view may be null
    w += line.text.size();
    if (!line.numeric) {
      std::memset(w, ' ', room);
      w += room;
    }
    *w++ = ' ';
    out.Advance(w);
  };

  // Between two rows of cells the boundary is the same along the cells (each is a block of its own):
  // it is made once. Along the label columns it follows the labels of the two rows.
  std::string cellRule;
  for (std::size_t c = headerColumns; c < columns; ++c) {
    cellRule += '+';
    cellRule.append(_widths[c] + 2, '-');
  }
  cellRule += "+\n";
  std::vector<GridBlock> above(headerColumns), here(headerColumns);
  const auto starts = [](const GridBlock& a, const GridBlock& b) {
    return a.row == b.row && a.column == b.column;
  };

  for (std::size_t r = 0; r < rows; ++r) {
    if (r < headerRows || headerColumns >= columns) {
      boundary(r);
      for (std::size_t c = 0; c < columns;) {
        if (grid.IsCell(static_cast<int>(r), static_cast<int>(c))) {
          cell(r, c++);
          continue;
        }
        c = label(grid.Covering(static_cast<int>(r), static_cast<int>(c)), r, c);
      }
      out << "|\n";
      continue;
    }
    std::swap(above, here);
    // A label spanning the row above goes on over this row unless it ends there.
    for (std::size_t c = 0; c < headerColumns; ++c)
      here[c] = r > headerRows && static_cast<std::size_t>(above[c].row + above[c].rowSpan) > r
                    ? above[c]
                    : grid.Covering(static_cast<int>(r), static_cast<int>(c));
    if (r == headerRows) {
      boundary(r);
    } else {
      // The boundary above a row of cells that has a row of cells above it.
      for (std::size_t c = 0; c < headerColumns; ++c) {
        const bool crosses = !starts(above[c], here[c]);
        const bool left = c > 0 && !starts(above[c - 1], here[c - 1]);
        const bool up = c == 0 || !starts(above[c - 1], above[c]),
                   below = c == 0 || !starts(here[c - 1], here[c]);
        out << mark(left, crosses, up, below, '-');
        out.Fill(_widths[c] + 2, crosses ? '-' : ' ');
      }
      out << std::string_view(cellRule);
    }
    for (std::size_t c = 0; c < headerColumns;)
      c = label(here[c], r, c);
    for (std::size_t c = headerColumns; c < columns; ++c)
      cell(r, c);
    out << "|\n";
  }
  // The bottom line.
  if (rows > headerRows && headerColumns < columns) {
    for (std::size_t c = 0; c < headerColumns; ++c) {
      const bool left = c > 0, up = c == 0 || !starts(here[c - 1], here[c]);
      out << mark(left, true, up, false, '-');
      out.Fill(_widths[c] + 2, '-');
    }
    out << std::string_view(cellRule);
  } else {
    boundary(rows);
  }
  out.Flush();
#ifndef NDEBUG
  // A device such as /dev/null keeps no position: there is nothing to compare.
  assert((start < 0 || stream.tellp() <= start ||
          stream.tellp() - start == static_cast<std::streamoff>(_bytes)) &&
         "a text grid writes the bytes it measured");
#endif
}

} // namespace render

} // namespace omf
