#include <omf/render/CellDisplay.h>

#include <algorithm>

#include <omf/model/CellText.h>
#include <omf/model/OutputTree.h>
#include <omf/model/PivotTable.h>
#include <omf/platform/strings/PlatformStrings.h>
#include <omf/render/Limits.h>

namespace omf {

namespace render {

std::string DisplayText(const OmCellText& text, std::string_view codePage) {
  if (text.OrderCode() == OmCellText::kOrderComposite) {
    const auto& composite = static_cast<const OmComposite&>(text);
    if (!composite.IsSubstituted()) return omf::platform::ToUtf8(composite.Filled(), codePage);
  }
  return omf::platform::ToUtf8(text.AsString(), codePage);
}

const char* KindName(const OmCellText& text) {
  switch (text.OrderCode()) {
  case OmCellText::kOrderNumber:
    return "number";
  case OmCellText::kOrderVariable:
    return "variable";
  case OmCellText::kOrderNumDataValue:
  case OmCellText::kOrderStringDataValue:
    return "value";
  case OmCellText::kOrderComposite:
    return "composite";
  default:
    return "string";
  }
}

std::string_view CodePages::Of(std::size_t node) {
  for (; _next <= node; ++_next) {
    const int level = _tree.Level(_next);
    while (!_above.empty() && _above.back().level >= level)
      _above.pop_back();
    if (const auto* procedure = dynamic_cast<const OmProcedure*>(_tree.Part(_next)))
      _above.push_back(Procedure{level, procedure->CodePage()});
  }
  const OmOutputPart* part = _tree.Part(node);
  if (part == nullptr) return "UTF-8";
  if (dynamic_cast<const OmPivotTable*>(part) != nullptr && !_above.empty()) return _above.back().codePage;
  return part->CodePage();
}

std::string OutlineIndent(int level) {
  if (level <= kMaxOutlineIndentLevel)
    return std::string(2 * static_cast<std::size_t>(std::max(level - 1, 0)), ' ');
  return std::string(2 * static_cast<std::size_t>(kMaxOutlineIndentLevel - 1), ' ') + "(level " +
         std::to_string(level) + ") ";
}

} // namespace render

} // namespace omf
