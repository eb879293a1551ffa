#pragma once
// The marks that a table's or heading's footnotes show. Footnotes that some shown text refers to get
// letters a, b, c, ... in the order the footnotes are listed (after z: aa, ab, ...); a footnote with a
// marker text of its own shows that text instead and takes no letter. Footnotes that no shown text
// refers to get no mark and are not listed.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <omf/render/CellDisplay.h>

namespace omf {

class OmCellText;
class OmHeading;
class OmPivotTable;
struct OmFootnote;

namespace render {

class FootnoteMarks {
public:
  // A listed footnote: its mark and its text, both UTF-8.
  struct Listed {
    std::string mark;
    std::string text;
  };

  // Marks for the footnotes whose entry in `referred` is true.
  FootnoteMarks(const std::vector<OmFootnote>& footnotes, const std::vector<bool>& referred,
                std::string_view codePage);
  // Marks for the footnotes of a table that its title, caption, corner, category and group labels or
  // cells refer to, and the labels of the dimensions drawn: those naming a variable or a layer, unless
  // kept out of sight.
  static FootnoteMarks ForTable(const OmPivotTable& table, std::string_view codePage);
  // Marks for every footnote of a heading.
  static FootnoteMarks ForHeading(const OmHeading& heading, std::string_view codePage);

  // The mark of footnote `index`, or null when it has none (not referred to, or no such footnote).
  const std::string* Mark(int index) const;
  // The text shown with its markers and the marks of its footnotes.
  ShownText Show(const OmCellText& text) const;
  // The footnotes that have a mark, in list order.
  const std::vector<Listed>& Listing() const { return _listing; }

  // The n-th generated mark, from 0: a ... z, aa, ab, ...
  static std::string Letter(std::size_t n);

private:
  std::string _codePage;
  std::vector<int> _slot; // per footnote index: its entry in _listing, or -1
  std::vector<Listed> _listing;
};

} // namespace render

} // namespace omf
