#include "render/CellDisplay.h"

#include "model/CellText.h"
#include "model/OutputTree.h"
#include "model/PivotTable.h"
#include "platform/strings/PlatformStrings.h"

namespace omf::render {

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

std::string_view CodePageOf(const OmOutputTree& tree, std::size_t node) {
  const OmOutputPart* part = tree.Part(node);
  if (dynamic_cast<const OmPivotTable*>(part) != nullptr) {
    for (std::size_t up = tree.Parent(node); up != OmOutputTree::npos; up = tree.Parent(up))
      if (const auto* procedure = dynamic_cast<const OmProcedure*>(tree.Part(up)))
        return procedure->CodePage();
  }
  return part != nullptr ? std::string_view(part->CodePage()) : std::string_view("UTF-8");
}

} // namespace omf::render
