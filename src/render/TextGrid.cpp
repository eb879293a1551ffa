#include "render/TextGrid.h"

#include <algorithm>
#include <numeric>

#include "platform/strings/PlatformStrings.h"

namespace omf::render {

namespace {

std::size_t Width(const std::string& s) {
  return omf::platform::DisplayWidth(s);
}

void Pad(std::string& line, std::size_t n, char c = ' ') {
  line.append(n, c);
}

void Aligned(std::string& line, const std::string& text, std::size_t width, const GridBlock& block) {
  const std::size_t used = Width(text), room = width > used ? width - used : 0;
  std::size_t before = 0;
  if (block.kind == GridBlock::kCell && block.text.numeric)
    before = room;
  else if (block.kind == GridBlock::kColumnLabel)
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

void DrawTextGrid(const TableGrid& grid, std::ostream& out) {
  const std::size_t rows = static_cast<std::size_t>(grid.rows),
                    columns = static_cast<std::size_t>(grid.columns);
  if (rows == 0 || columns == 0) return;
  std::vector<std::string> texts;
  texts.reserve(grid.blocks.size());
  for (const GridBlock& b : grid.blocks)
    texts.push_back(PlainText(b.text));

  // Column widths (without the padding): single columns first, then spanning blocks widen the columns
  // they span when their text does not fit, the extra shared out from the right.
  std::vector<std::size_t> width(columns, 1);
  std::vector<std::size_t> order(grid.blocks.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return grid.blocks[a].columnSpan < grid.blocks[b].columnSpan;
  });
  for (std::size_t i : order) {
    const GridBlock& b = grid.blocks[i];
    const auto first = static_cast<std::size_t>(b.column), span = static_cast<std::size_t>(b.columnSpan);
    std::size_t room = 3 * (span - 1);
    for (std::size_t c = first; c < first + span; ++c)
      room += width[c];
    const std::size_t need = Width(texts[i]);
    for (std::size_t extra = need > room ? need - room : 0, k = 0; extra > 0; ++k, --extra)
      ++width[first + span - 1 - k % span];
  }

  const auto cover = [&](std::size_t r, std::size_t c) {
    return grid.BlockAt(static_cast<int>(r), static_cast<int>(c));
  };
  // A line runs along the top of place (r, c) / along the left of place (r, c).
  const auto across = [&](std::size_t r, std::size_t c) {
    return r == 0 || r == rows || cover(r - 1, c) != cover(r, c);
  };
  const auto down = [&](std::size_t r, std::size_t c) {
    return c == 0 || c == columns || cover(r, c - 1) != cover(r, c);
  };

  std::string line;
  for (std::size_t r = 0; r <= rows; ++r) {
    // The boundary above row r.
    const char dash = r == static_cast<std::size_t>(grid.headerRows) && r != 0 && r != rows ? '=' : '-';
    line.clear();
    for (std::size_t c = 0; c <= columns; ++c) {
      const bool left = c > 0 && across(r, c - 1), right = c < columns && across(r, c);
      const bool up = r > 0 && down(r - 1, c), below = r < rows && down(r, c);
      line += (left || right) && (up || below) ? '+' : (left || right) ? dash : (up || below) ? '|' : ' ';
      if (c < columns) Pad(line, width[c] + 2, across(r, c) ? dash : ' ');
    }
    out << line << '\n';
    if (r == rows) break;

    // The texts of row r.
    line.clear();
    for (std::size_t c = 0; c < columns;) {
      const std::size_t b = static_cast<std::size_t>(cover(r, c));
      const GridBlock& block = grid.blocks[b];
      const std::size_t end = static_cast<std::size_t>(block.column + block.columnSpan);
      std::size_t room = 3 * (end - c - 1);
      for (std::size_t k = c; k < end; ++k)
        room += width[k];
      line += '|';
      line += ' ';
      if (static_cast<std::size_t>(block.row) == r)
        Aligned(line, texts[b], room, block);
      else
        Pad(line, room);
      line += ' ';
      c = end;
    }
    line += '|';
    out << line << '\n';
  }
}

} // namespace omf::render
