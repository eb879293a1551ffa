#include <omf/render/TextGrid.h>

#include <algorithm>
#include <cassert>
#include <utility>

#include <omf/model/CellText.h>
#include <omf/platform/strings/PlatformStrings.h>
#include <omf/render/Limits.h>

namespace omf {

namespace render {

namespace {

std::size_t Width(const std::string& s) {
  return omf::platform::DisplayWidth(s);
}

void Pad(std::string& line, std::size_t n, char c = ' ') {
  line.append(n, c);
}

void Aligned(std::string& line, const std::string& text, std::size_t width, GridBlock::Kind kind,
             bool numeric) {
  const std::size_t used = Width(text), room = width > used ? width - used : 0;
  std::size_t before = 0;
  if (kind == GridBlock::kCell && numeric)
    before = room;
  else if (kind == GridBlock::kColumnLabel || kind == GridBlock::kDimensionLabel)
    before = room / 2;
  Pad(line, before);
  line += text;
  Pad(line, room - before);
}

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
  std::vector<std::size_t> textWidth;
  textWidth.reserve(grid.texts.size());
  for (const ShownText& t : grid.texts) {
    _texts.push_back(PlainText(t));
    textWidth.push_back(Width(_texts.back()));
  }

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
  OmNumber scratch(0.0, 0);
  for (int r = grid.headerRows; r < grid.rows; ++r)
    for (int c = grid.headerColumns; c < grid.columns; ++c) {
      const std::string text = PlainText(grid.ShownCell(r, c, scratch));
      const std::size_t width = Width(text);
      std::size_t& w = _widths[static_cast<std::size_t>(c)];
      w = std::max(w, width);
      cellExtra = SaturatingAdd(cellExtra, text.size() - std::min(text.size(), width));
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

void TextGrid::Draw(std::ostream& out) const {
  const TableGrid& grid = _grid;
  const std::size_t rows = static_cast<std::size_t>(grid.rows),
                    columns = static_cast<std::size_t>(grid.columns);
  if (rows == 0 || columns == 0) return;
#ifndef NDEBUG
  const std::streamoff start = out.tellp();
#endif
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

  // Lines gather in a large buffer, written out a megabyte or so at a time.
  constexpr std::size_t kFlushBytes = std::size_t{1} << 20;
  std::string buffer;
  buffer.reserve(kFlushBytes + kFlushBytes / 4);
  const auto flush = [&](bool always) {
    if (!always && buffer.size() < kFlushBytes) return;
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    buffer.clear();
  };
  OmNumber scratch(0.0, 0);
  for (std::size_t r = 0; r <= rows; ++r) {
    // The boundary above row r.
    const char dash = r == static_cast<std::size_t>(grid.headerRows) && r != 0 && r != rows ? '=' : '-';
    std::string& line = buffer;
    for (std::size_t c = 0; c <= columns; ++c) {
      const bool left = c > 0 && across(r, c - 1), right = c < columns && across(r, c);
      const bool up = r > 0 && down(r - 1, c), below = r < rows && down(r, c);
      line += (left || right) && (up || below) ? '+' : (left || right) ? dash : (up || below) ? '|' : ' ';
      if (c < columns) Pad(line, _widths[c] + 2, across(r, c) ? dash : ' ');
    }
    line += '\n';
    if (r == rows) break;

    // The texts of row r.
    for (std::size_t c = 0; c < columns;) {
      const int row = static_cast<int>(r), column = static_cast<int>(c);
      if (grid.IsCell(row, column)) {
        const ShownText shown = grid.ShownCell(row, column, scratch);
        line += "| ";
        Aligned(line, PlainText(shown), _widths[c], GridBlock::kCell, shown.numeric);
        line += ' ';
        ++c;
        continue;
      }
      const GridBlock block = grid.Covering(row, column);
      const std::size_t end = static_cast<std::size_t>(block.column + block.columnSpan);
      std::size_t room = 3 * (end - c - 1);
      for (std::size_t k = c; k < end; ++k)
        room += _widths[k];
      line += '|';
      line += ' ';
      if (static_cast<std::size_t>(block.row) == r)
        Aligned(line, _texts[block.text], room, block.kind, grid.Text(block).numeric);
      else
        Pad(line, room);
      line += ' ';
      c = end;
    }
    line += "|\n";
    flush(false);
  }
  flush(true);
#ifndef NDEBUG
  // A device such as /dev/null keeps no position: there is nothing to compare.
  assert((start < 0 || out.tellp() <= start || out.tellp() - start == static_cast<std::streamoff>(_bytes)) &&
         "a text grid writes the bytes it measured");
#endif
}

} // namespace render

} // namespace omf
