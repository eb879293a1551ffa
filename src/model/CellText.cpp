// Memory regions, the metadata every text carries, and the five plain kinds of text. Composites are in
// Composite.cpp, number formatting in NumberFormat.cpp.
#include <omf/model/CellText.h>

#include <omf/platform/strings/PlatformStrings.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

namespace omf {

// ---------------------------------------------------------------------------------------------------
// Regions
//
// A text finds its region again through tag words stored just before the object, so the object itself
// holds no region field. A text of the default heap, by far the most common, has one tag word: the
// allocation size shifted left once, low bit set. A text of any other region has two: the allocation
// size, then the region's address (even, since regions are word aligned). Objects thus start one word
// into the allocation, so a text type must not need more than word alignment.

namespace {

using Word = std::uintptr_t;
constexpr std::size_t kWord = sizeof(Word);

static_assert(alignof(OmMemoryRegion) >= 2, "the low bit of a region's address tells the default heap apart");
static_assert(alignof(OmNumber) <= kWord && alignof(OmStringCell) <= kWord && alignof(OmVariable) <= kWord &&
                  alignof(OmNumDataValue) <= kWord && alignof(OmStringDataValue) <= kWord &&
                  alignof(OmComposite) <= kWord,
              "texts start one word into their allocation");

OmMemoryRegion* OrDefault(OmMemoryRegion* region) {
  return region != nullptr ? region : OmMemoryRegion::DefaultHeap();
}

void FreeTagged(void* p) noexcept {
  if (p == nullptr) return;
  Word* object = static_cast<Word*>(p);
  const Word tag = object[-1];
  if ((tag & 1) != 0) {
    OmMemoryRegion::DefaultHeap()->Deallocate(object - 1, tag >> 1);
  } else {
    reinterpret_cast<OmMemoryRegion*>(tag)->Deallocate(object - 2, object[-2]);
  }
}

} // namespace

OmMemoryRegion* OmMemoryRegion::DefaultHeap() {
  // Trivially destructible, so texts released during static destruction still find it.
  static OmMemoryRegion heap;
  return &heap;
}

void* OmMemoryRegion::Allocate(std::size_t bytes) {
  void* p = ::operator new(bytes);
  ++_live;
  _bytes += bytes;
  return p;
}

void OmMemoryRegion::Deallocate(void* p, std::size_t bytes) noexcept {
  assert(_live > 0 && _bytes >= bytes && "Deallocate: more released than the region handed out");
  ::operator delete(p);
  --_live;
  _bytes -= bytes;
}

void OmMemoryRegion::Release(const OmCellText* text) noexcept {
  delete text;
}

void* OmRegionManaged::operator new(std::size_t bytes, OmMemoryRegion* region) {
  region = OrDefault(region);
  const bool onDefaultHeap = region == OmMemoryRegion::DefaultHeap();
  const std::size_t tagWords = onDefaultHeap ? 1 : 2;
  const std::size_t total = tagWords * kWord + bytes;
  Word* block = static_cast<Word*>(region->Allocate(total));
  if (onDefaultHeap) {
    block[0] = (static_cast<Word>(total) << 1) | 1;
  } else {
    block[0] = total;
    block[1] = reinterpret_cast<Word>(region);
  }
  return block + tagWords;
}

void* OmRegionManaged::operator new(std::size_t bytes) {
  return operator new(bytes, nullptr);
}

void OmRegionManaged::operator delete(void* p, std::size_t) noexcept {
  FreeTagged(p);
}

void OmRegionManaged::operator delete(void* p, OmMemoryRegion*) noexcept {
  FreeTagged(p);
}

// ---------------------------------------------------------------------------------------------------
// Base text and metadata

namespace {

// Up to this many footnote marks, a text finds one by a scan; from then on through its set.
constexpr std::size_t kScannedMarks = 32;

// What the accessors of a text without metadata show.
const OmCellMetaData& NoMetaData() {
  static const OmCellMetaData empty;
  return empty;
}

short Sign(int c) {
  return static_cast<short>((c > 0) - (c < 0));
}

short CompareBytes(const std::string& a, const std::string& b) {
  const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0) return Sign(c);
  return Sign((a.size() > b.size()) - (a.size() < b.size()));
}

// Numbers order as: the system-missing value, then every other number (infinities included) by value,
// then NaN; NaN equals NaN.
short CompareValues(double a, double b) {
  const auto rank = [](double v) { return v == kSysmis ? 0 : std::isnan(v) ? 2 : 1; };
  const int ra = rank(a);
  const int rb = rank(b);
  if (ra != rb || ra != 1) return Sign(ra - rb);
  return Sign((a > b) - (a < b));
}

// Texts of different kinds order by kind: true with the result set; false when the kinds agree.
bool DifferentKinds(const OmCellText& a, const OmCellText& b, short& result) {
  if (a.OrderCode() == b.OrderCode()) return false;
  result = a.OrderCode() < b.OrderCode() ? -1 : 1;
  return true;
}

std::string TrimTrailingBlanks(std::string s) {
  const std::size_t last = s.find_last_not_of(' ');
  s.resize(last == std::string::npos ? std::min<std::size_t>(s.size(), 1) : last + 1);
  return s;
}

} // namespace

OmCellText::OmCellText(const OmCellText& other)
    : OmRegionManaged(other), _meta(other._meta ? std::make_unique<OmCellMetaData>(*other._meta) : nullptr),
      _tracker(other._tracker) {}

std::string OmCellText::AsU8String(std::string_view codePage) const {
  return omf::platform::ToUtf8(AsString(), codePage);
}

std::string OmCellText::AsEngString() const {
  return AsString();
}

std::string OmCellText::AsFormattedString() const {
  return AsString();
}

OmCellMetaData& OmCellText::Meta() {
  if (!_meta) _meta = std::make_unique<OmCellMetaData>();
  return *_meta;
}

void OmCellText::Footnote(int index) {
  OmCellMetaData& m = Meta();
  if (!m.footnoteSet.empty()) {
    if (m.footnoteSet.insert(index).second) m.footnotes.push_back(index);
    return;
  }
  if (std::find(m.footnotes.begin(), m.footnotes.end(), index) != m.footnotes.end()) return;
  m.footnotes.push_back(index);
  if (m.footnotes.size() >= kScannedMarks) m.footnoteSet.insert(m.footnotes.begin(), m.footnotes.end());
}

void OmCellText::RemoveFootnote(int index) {
  if (!_meta) return;
  std::erase(_meta->footnotes, index);
  if (_meta->footnotes.size() < kScannedMarks)
    _meta->footnoteSet.clear();
  else
    _meta->footnoteSet.erase(index);
}

const std::vector<int>& OmCellText::Footnotes() const {
  return (_meta ? *_meta : NoMetaData()).footnotes;
}

void OmCellText::addMarker(const std::string& marker) {
  Meta().markers.push_back(marker);
}

const std::vector<std::string>& OmCellText::Markers() const {
  return (_meta ? *_meta : NoMetaData()).markers;
}

// Setting a default value does not make metadata: most texts never carry any.
void OmCellText::setTextBold(bool bold) {
  if (_meta || bold) Meta().bold = bold;
}

bool OmCellText::IsBold() const {
  return _meta && _meta->bold;
}

void OmCellText::setTextColor(const std::string& colour) {
  if (_meta || !colour.empty()) Meta().textColor = colour;
}

void OmCellText::setBackgroundColor(const std::string& colour) {
  if (_meta || !colour.empty()) Meta().backgroundColor = colour;
}

const std::string& OmCellText::TextColor() const {
  return (_meta ? *_meta : NoMetaData()).textColor;
}

const std::string& OmCellText::BackgroundColor() const {
  return (_meta ? *_meta : NoMetaData()).backgroundColor;
}

// ---------------------------------------------------------------------------------------------------
// Numbers

OmNumber::OmNumber(double value, std::uint32_t format) : _value(value), _format(format) {}

std::string OmNumber::AsString() const {
  return FormatNumber(_value, _format);
}

std::string OmNumber::AsFormattedString() const {
  std::string text = FormatNumber(_value, _format);
  const std::size_t width = FormatWidth(_format);
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

short OmNumber::Compare(const OmCellText& other) const {
  short result = 0;
  if (DifferentKinds(*this, other, result)) return result;
  return CompareValues(_value, static_cast<const OmNumber&>(other)._value);
}

OmCellText* OmNumber::Clone(OmMemoryRegion* region) const {
  return new (OrDefault(region)) OmNumber(*this);
}

// ---------------------------------------------------------------------------------------------------
// Strings

// Texts keep their characters in the ordinary heap; the region only holds the text object itself.
OmStringCell::OmStringCell(std::string text, OmMemoryRegion*, bool translatable)
    : _text(text), _original(std::move(text)), _translatable(translatable) {}

void OmStringCell::Reset(std::string_view text, bool translatable) {
  _text.assign(text);
  _original.assign(text);
  _second.clear();
  _further.clear();
  _translatable = translatable;
  setICUTracker(nullptr);
}

short OmStringCell::Compare(const OmCellText& other) const {
  short result = 0;
  if (DifferentKinds(*this, other, result)) return result;
  return CompareBytes(_text, static_cast<const OmStringCell&>(other)._text);
}

OmCellText* OmStringCell::Clone(OmMemoryRegion* region) const {
  return new (OrDefault(region)) OmStringCell(*this);
}

// ---------------------------------------------------------------------------------------------------
// Display modes

namespace {

std::string_view ModeName(OmCellText::ModeType mode, std::string_view names) {
  switch (mode) {
  case OmCellText::kModeNotSet:
    return "unset";
  case OmCellText::kModeNames:
    return names;
  case OmCellText::kModeBoth:
    return "both";
  default:
    return "labels";
  }
}

} // namespace

std::string_view VariableModeName(OmCellText::ModeType mode) {
  return ModeName(mode, "names");
}

std::string_view ValueModeName(OmCellText::ModeType mode) {
  return ModeName(mode, "values");
}

// ---------------------------------------------------------------------------------------------------
// Variables

OmVariable::OmVariable(std::string name, std::string label, ModeType mode, OmMemoryRegion*)
    : _name(std::move(name)), _label(std::move(label)), _mode(mode) {}

std::string OmVariable::AsString() const {
  if (_mode == kModeNames || _label.empty()) return _name;
  if (_mode == kModeBoth) return _label + " [" + _name + "]";
  return _label;
}

short OmVariable::Compare(const OmCellText& other) const {
  short result = 0;
  if (DifferentKinds(*this, other, result)) return result;
  const auto& o = static_cast<const OmVariable&>(other);
  result = CompareBytes(_name, o._name);
  return result != 0 ? result : CompareBytes(_label, o._label);
}

OmCellText* OmVariable::Clone(OmMemoryRegion* region) const {
  return new (OrDefault(region)) OmVariable(*this);
}

// ---------------------------------------------------------------------------------------------------
// Data values

std::string OmDataValue::Show(std::string value) const {
  if (_mode == kModeNames || _label.empty()) return value;
  if (_mode == kModeBoth) return value + " " + _label;
  return _label;
}

OmNumDataValue::OmNumDataValue(std::string variable, double value, std::uint32_t format,
                               std::string valueLabel, ModeType mode, OmMemoryRegion*)
    : OmDataValue(std::move(variable), format, std::move(valueLabel), mode), _value(value) {}

std::string OmNumDataValue::AsString() const {
  return Show(FormatNumber(_value, Format()));
}

short OmNumDataValue::Compare(const OmCellText& other) const {
  short result = 0;
  if (DifferentKinds(*this, other, result)) return result;
  const auto& o = static_cast<const OmNumDataValue&>(other);
  result = CompareBytes(VariableName(), o.VariableName());
  return result != 0 ? result : CompareValues(_value, o._value);
}

OmCellText* OmNumDataValue::Clone(OmMemoryRegion* region) const {
  return new (OrDefault(region)) OmNumDataValue(*this);
}

OmStringDataValue::OmStringDataValue(std::string variable, std::string value, std::uint32_t format,
                                     std::string valueLabel, ModeType mode, OmMemoryRegion*)
    : OmDataValue(std::move(variable), format, std::move(valueLabel), mode),
      _value(TrimTrailingBlanks(std::move(value))) {}

std::string OmStringDataValue::AsString() const {
  return Show(_value);
}

short OmStringDataValue::Compare(const OmCellText& other) const {
  short result = 0;
  if (DifferentKinds(*this, other, result)) return result;
  const auto& o = static_cast<const OmStringDataValue&>(other);
  result = CompareBytes(VariableName(), o.VariableName());
  return result != 0 ? result : CompareBytes(_value, o._value);
}

OmCellText* OmStringDataValue::Clone(OmMemoryRegion* region) const {
  return new (OrDefault(region)) OmStringDataValue(*this);
}

} // namespace omf
