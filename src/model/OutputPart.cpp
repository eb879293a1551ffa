#include <omf/model/OutputPart.h>

#include <cstring>

namespace omf {

void OmOutputPart::Visitor::Visit(OmProcedure& procedure) {
  Visit(static_cast<OmHeading&>(procedure));
}

OmOutputPart::OmOutputPart(const OmCellText& title, std::string codePage)
    : _title(CloneText(title)), _codePage(std::move(codePage)) {}

OmOutputPart::~OmOutputPart() = default;

OmFootnote::OmFootnote(OmMemoryRegion* region, const OmCellText& text, const OmCellText* marker, int index)
    : text(CloneText(text, region)), marker(marker ? CloneText(*marker, region) : nullptr), index(index) {}

OmFootnote::OmFootnote(const OmFootnote& other)
    : text(other.text ? CloneText(*other.text) : nullptr),
      marker(other.marker ? CloneText(*other.marker) : nullptr), index(other.index),
      references(other.references) {}

OmFootnote& OmFootnote::operator=(const OmFootnote& other) {
  if (this != &other) {
    OmFootnote copy(other);
    *this = std::move(copy);
  }
  return *this;
}

OmProcedure::OmProcedure(const OmCellText& title, std::string language, std::string codePage,
                         std::string locale)
    : OmHeading(title, std::move(codePage)), _command(title.AsEngString()), _language(std::move(language)),
      _locale(std::move(locale)) {}

OmPageTitle::OmPageTitle(std::string codePage) : OmOutputPart(OmStringCell(""), std::move(codePage)) {}

void OmPageTitle::AddLine(std::string line) {
  if (_lines.empty()) SetTitle(OmStringCell(line));
  _lines.push_back(std::move(line));
}

void OmContentPart::SetContent(int slot, const void* data, std::size_t length, std::int32_t value) {
  auto& bytes = _content[slot];
  bytes.resize(length);
  if (length != 0) std::memcpy(bytes.data(), data, length);
  _values[slot] = value;
}

std::int32_t OmContentPart::ContentValue(int slot) const {
  const auto it = _values.find(slot);
  return it == _values.end() ? 0 : it->second;
}

} // namespace omf
