#include <omf/render/FootnoteMarks.h>

#include <algorithm>
#include <unordered_set>

#include <omf/model/OutputPart.h>
#include <omf/model/PivotTable.h>
#include <omf/platform/strings/PlatformStrings.h>

namespace omf {

namespace render {

namespace {

void Refer(const OmCellText* text, std::vector<bool>& referred) {
  if (text == nullptr || !text->HasMetaData()) return;
  for (int index : text->Footnotes())
    if (index >= 0 && static_cast<std::size_t>(index) < referred.size())
      referred[static_cast<std::size_t>(index)] = true;
}

// Every label below the node; walked with a stack of its own, so that the depth of the tree costs no
// call depth.
void ReferLabels(const OmDimensionNode& root, std::vector<bool>& referred) {
  std::vector<const OmDimensionNode*> pending{&root};
  while (!pending.empty()) {
    const OmDimensionNode* node = pending.back();
    pending.pop_back();
    for (const auto& child : node->Children()) {
      Refer(&child->Label(), referred);
      pending.push_back(child.get());
    }
  }
}

} // namespace

FootnoteMarks::FootnoteMarks(const std::vector<OmFootnote>& footnotes, const std::vector<bool>& referred,
                             std::string_view codePage)
    : _codePage(codePage), _slot(footnotes.size(), -1) {
  std::size_t letters = 0;
  for (std::size_t i = 0; i < footnotes.size(); ++i) {
    if (i >= referred.size() || !referred[i]) continue;
    const OmFootnote& f = footnotes[i];
    Listed listed;
    listed.mark = f.marker ? DisplayText(*f.marker, codePage) : Letter(letters++);
    if (f.text) listed.text = DisplayText(*f.text, codePage);
    _slot[i] = static_cast<int>(_listing.size());
    _listing.push_back(std::move(listed));
  }
}

FootnoteMarks FootnoteMarks::ForTable(const OmPivotTable& table, std::string_view codePage) {
  std::vector<bool> referred(table.Footnotes().size(), false);
  if (!referred.empty()) {
    Refer(&table.TableTitle(), referred);
    Refer(table.Caption(), referred);
    Refer(table.CornerText(), referred);
    const auto& layers = table.Layers().Placed();
    for (int d = 0; d < table.NDimensions(); ++d) {
      const OmDimensionNode& root = table.Dimension(d).Root();
      // A dimension's own label is drawn when it names a variable (over the categories or heading the
      // label columns) and when it names a layer; never when the dimension is kept out of sight.
      const bool layer = std::find(layers.begin(), layers.end(), d) != layers.end();
      if (!(root.Mark() && root.SecondFlag()) &&
          (layer || root.Label().OrderCode() == OmCellText::kOrderVariable))
        Refer(&root.Label(), referred);
      ReferLabels(root, referred);
    }
    table.ForEachText([&](const OmCellText& cell) { Refer(&cell, referred); });
  }
  return FootnoteMarks(table.Footnotes(), referred, codePage);
}

FootnoteMarks FootnoteMarks::ForHeading(const OmHeading& heading, std::string_view codePage) {
  return FootnoteMarks(heading.Footnotes(), std::vector<bool>(heading.Footnotes().size(), true), codePage);
}

const std::string* FootnoteMarks::Mark(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= _slot.size() ||
      _slot[static_cast<std::size_t>(index)] < 0)
    return nullptr;
  return &_listing[static_cast<std::size_t>(_slot[static_cast<std::size_t>(index)])].mark;
}

ShownText FootnoteMarks::Show(const OmCellText& text) const {
  ShownText shown;
  shown.text = DisplayText(text, _codePage);
  shown.numeric = text.IsNumeric();
  if (!text.HasMetaData()) return shown;
  for (const std::string& marker : text.Markers()) {
    if (!shown.markers.empty()) shown.markers += ',';
    shown.markers += omf::platform::ToUtf8(marker, _codePage);
  }
  // Footnotes with equal marker texts show their mark once; a title may carry thousands of marks.
  std::unordered_set<std::string_view> seen;
  for (int index : text.Footnotes()) {
    const std::string* mark = Mark(index);
    if (mark != nullptr && seen.insert(*mark).second) shown.marks.push_back(*mark);
  }
  return shown;
}

std::string FootnoteMarks::Letter(std::size_t n) {
  // Bijective base 26: a..z, aa..az, ba..., so every n has its own mark.
  std::string out;
  for (++n; n > 0; n = (n - 1) / 26)
    out.insert(out.begin(), static_cast<char>('a' + (n - 1) % 26));
  return out;
}

} // namespace render

} // namespace omf
