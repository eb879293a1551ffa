#pragma once
// How the renderers read texts: the text as a reader sees it, in UTF-8, with composites always filled;
// the code page that a part's texts are kept in; the indent of an outline line; and a text together with
// its decorations (markers and footnote marks), which each renderer lays out in its own way.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace omf {

class OmCellText;
class OmOutputTree;

namespace render {

// The displayed text converted from the code page into UTF-8. A composite that nobody has substituted
// yet is shown filled all the same.
std::string DisplayText(const OmCellText& text, std::string_view codePage);

// The kind of a text as the JSON export names it: number, string, variable, value or composite.
const char* KindName(const OmCellText& text);

// The code pages of the nodes' texts, for a walk over the nodes in tree order. A table is made without a
// code page of its own and holds its procedure's texts, so its texts are read in the code page of the
// procedure above it. The walk keeps the procedures above the current node, so that it takes time in
// proportion to the tree however many tables a procedure holds.
class CodePages {
public:
  explicit CodePages(const OmOutputTree& tree) : _tree(tree) {}
  // The code page of a node's texts; nodes come in increasing order (nodes may be skipped).
  std::string_view Of(std::size_t node);

private:
  struct Procedure {
    int level;
    std::string_view codePage;
  };
  const OmOutputTree& _tree;
  std::vector<Procedure> _above; // the procedures above the next node, outermost first
  std::size_t _next = 1;
};

// The indent of a node's outline line: two spaces a level below the top, down to kMaxOutlineIndentLevel;
// deeper nodes keep that indent and name their level, as "(level 40) ".
std::string OutlineIndent(int level);

// A text with what is shown after it: its markers and the marks of its footnotes.
struct ShownText {
  std::string text;
  std::string markers;            // the markers, separated by commas, written straight after the text
  std::vector<std::string> marks; // footnote marks, in the order the text carries them
  bool numeric = false;           // numbers are right-aligned
};

} // namespace render

} // namespace omf
