#pragma once
// How the renderers read texts: the text as a reader sees it, in UTF-8, with composites always filled;
// the code page that a part's texts are kept in; and a text together with its decorations (markers and
// footnote marks), which each renderer lays out in its own way.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class OmCellText;
class OmOutputTree;

namespace omf::render {

// The displayed text converted from the code page into UTF-8. A composite that nobody has substituted
// yet is shown filled all the same.
std::string DisplayText(const OmCellText& text, std::string_view codePage);

// The kind of a text as the JSON export names it: number, string, variable, value or composite.
const char* KindName(const OmCellText& text);

// The code page of the texts of a node's part. A table is made without a code page of its own and
// holds its procedure's texts, so its texts are read in the code page of the procedure above it.
std::string_view CodePageOf(const OmOutputTree& tree, std::size_t node);

// A text with what is shown after it: its markers and the marks of its footnotes.
struct ShownText {
  std::string text;
  std::string markers;            // the markers, separated by commas, written straight after the text
  std::vector<std::string> marks; // footnote marks, in the order the text carries them
  bool numeric = false;           // numbers are right-aligned
};

} // namespace omf::render
