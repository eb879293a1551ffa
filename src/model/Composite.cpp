// Composite texts: a template with placeholders, filled from a tree of argument texts.
//
// Reading of malformed templates (none of them fails; the rest of the template is read as usual):
// - "^" not followed by a digit is the character "^"; a lone "\" at the end is the character "\";
// - a placeholder or repeat index that names no argument ("^0", "^9" with two arguments) writes nothing;
// - a "[" that opens no complete "[dBODYd]n" (no closing "d]", no index digits after it, "\" as the
//   delimiter) is the character "[";
// - a repeat whose index names a text rather than a repeat list writes nothing.
// The first unescaped "d]" closes a repeat body, so a repeat nested in a body uses another delimiter
// ("[:^1 [;^1;]2:]1"). A body without placeholders is written once per item of its list.
#include <omf/model/CellText.h>

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <unordered_map>

namespace omf {

namespace {

using Node = OmComposite::Node;

// Repeat lists opened past this depth are not made (their arguments join the innermost list), so that
// a stream of unbalanced list openings cannot build a tree too deep to walk.
constexpr std::size_t kMaxListDepth = 32;
constexpr std::size_t kNotOpened = static_cast<std::size_t>(-1);
// Indexes saturate here: larger ones name no argument either, and sums of them cannot overflow.
constexpr std::size_t kIndexCap = 1'000'000'000;

OmMemoryRegion* OrDefault(OmMemoryRegion* region) {
  return region != nullptr ? region : OmMemoryRegion::DefaultHeap();
}

std::vector<Node> CloneNodes(const std::vector<Node>& nodes, OmMemoryRegion* region) {
  std::vector<Node> copy;
  copy.reserve(nodes.size());
  for (const Node& n : nodes)
    copy.push_back(Node{n.text ? CloneText(*n.text, region) : nullptr, CloneNodes(n.children, region)});
  return copy;
}

short CompareNodeLists(const std::vector<Node>& a, const std::vector<Node>& b);

// A text sorts before a repeat list; texts by Compare, lists by length and then item by item.
short CompareNodes(const Node& a, const Node& b) {
  if (a.text && b.text) return a.text->Compare(*b.text);
  if (a.text || b.text) return a.text ? -1 : 1;
  return CompareNodeLists(a.children, b.children);
}

short CompareNodeLists(const std::vector<Node>& a, const std::vector<Node>& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (const short c = CompareNodes(a[i], b[i]); c != 0) return c < 0 ? -1 : 1;
  return 0;
}

void CollectLeaves(const std::vector<Node>& nodes, std::vector<const OmCellText*>& out) {
  for (const Node& n : nodes) {
    if (n.text) out.push_back(n.text.get());
    CollectLeaves(n.children, out);
  }
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads the digits at `pos` (up to `end`) into `index`; returns the position after them.
std::size_t ReadIndex(std::string_view text, std::size_t pos, std::size_t end, std::size_t& index) {
  index = 0;
  for (; pos < end && IsDigit(text[pos]); ++pos)
    index = std::min(kIndexCap, index * 10 + static_cast<std::size_t>(text[pos] - '0'));
  return pos;
}

// Arithmetic of the length bound, which saturates rather than wraps.
std::uint64_t Plus(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max()
                                                           : a + b;
}
std::uint64_t Times(std::uint64_t a, std::uint64_t b) {
  return b != 0 && a > std::numeric_limits<std::uint64_t>::max() / b
             ? std::numeric_limits<std::uint64_t>::max()
             : a * b;
}

// Drops a character cut in two at the end of a text (UTF-8).
void TrimCutCharacter(std::string& text) {
  std::size_t lead = text.size();
  while (lead > 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80)
    --lead;
  if (lead == 0) return;
  const auto c = static_cast<unsigned char>(text[lead - 1]);
  const std::size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  if (text.size() - (lead - 1) < length) text.resize(lead - 1);
}

// Fills one template from one argument tree, writing at most kMaxFilledLength bytes.
class TemplateFiller {
public:
  TemplateFiller(std::string_view text, bool untranslated) : _text(text), _untranslated(untranslated) {
    FindRepeats();
  }

  std::string Fill(std::span<const Node> arguments) {
    Render(0, _text.size(), arguments, 0);
    if (_cut) TrimCutCharacter(_out);
    return std::move(_out);
  }

  // Where the template's characters and placeholders stand: outside every repeat body or inside one.
  void Measure(std::uint64_t& outside, std::uint64_t& inBodies, std::uint64_t& topPlaceholders,
               std::uint64_t& listPlaceholders) const {
    std::vector<bool> inBody(_text.size(), false);
    for (const auto& [open, r] : _repeats)
      std::fill(inBody.begin() + static_cast<std::ptrdiff_t>(r.bodyBegin),
                inBody.begin() + static_cast<std::ptrdiff_t>(r.bodyEnd), true);
    for (std::size_t i = 0; i < _text.size(); ++i) {
      ++(inBody[i] ? inBodies : outside);
      if (_text[i] == '^') ++(inBody[i] ? listPlaceholders : topPlaceholders);
    }
  }

private:
  // A well-formed "[dBODYd]n": BODY is [bodyBegin, bodyEnd), the template goes on at `next`.
  struct Repeat {
    std::size_t bodyBegin;
    std::size_t bodyEnd;
    std::size_t next;
    std::size_t index;
  };

  struct Token {
    enum Kind { kChar, kPlaceholder, kRepeat } kind;
    std::size_t end;
    char c = '\0';
    std::size_t index = 0;
    const Repeat* repeat = nullptr;
  };

  // Finds every "[" that opens a repeat, from the right so that the first closing "d]" after each one is
  // known in one pass.
  void FindRepeats() {
    const std::size_t n = _text.size();
    std::vector<bool> escaped(n, false);
    for (std::size_t i = 1; i < n; ++i)
      escaped[i] = _text[i - 1] == '\\' && !escaped[i - 1];

    std::array<std::size_t, 256> nextClose;
    nextClose.fill(kNotOpened);
    for (std::size_t i = n; i-- > 0;) {
      if (_text[i] == '[' && !escaped[i] && i + 1 < n && _text[i + 1] != '\\') {
        const std::size_t close = nextClose[static_cast<unsigned char>(_text[i + 1])];
        if (close != kNotOpened) {
          std::size_t index = 0;
          const std::size_t next = ReadIndex(_text, close + 2, n, index);
          if (next > close + 2) _repeats.emplace(i, Repeat{i + 2, close, next, index});
        }
      }
      // Position i+1 may close a body that opens before it (a body cannot close on its own delimiter).
      const std::size_t j = i + 1;
      if (j + 1 < n && _text[j + 1] == ']' && !escaped[j])
        nextClose[static_cast<unsigned char>(_text[j])] = j;
    }
  }

  Token Next(std::size_t pos, std::size_t end) const {
    const char c = _text[pos];
    if (c == '\\') {
      if (pos + 1 < end) return {Token::kChar, pos + 2, _text[pos + 1]};
      return {Token::kChar, pos + 1, c};
    }
    if (c == '^') {
      std::size_t index = 0;
      const std::size_t after = ReadIndex(_text, pos + 1, end, index);
      if (after > pos + 1) return {Token::kPlaceholder, after, '\0', index};
      return {Token::kChar, pos + 1, c};
    }
    if (c == '[') {
      const auto found = _repeats.find(pos);
      if (found != _repeats.end() && found->second.next <= end)
        return {Token::kRepeat, found->second.next, '\0', found->second.index, &found->second};
    }
    return {Token::kChar, pos + 1, c};
  }

  // The argument `index` (from 1) of a scope, or null when there is none.
  static const Node* Argument(std::span<const Node> scope, std::size_t index) {
    return index >= 1 && index <= scope.size() ? &scope[index - 1] : nullptr;
  }

  bool Full() const { return _out.size() >= OmComposite::kMaxFilledLength; }

  void Put(std::string_view text) {
    const std::size_t room =
        OmComposite::kMaxFilledLength - std::min(_out.size(), OmComposite::kMaxFilledLength);
    if (text.size() > room) _cut = true;
    _out.append(text.substr(0, room));
  }

  void Render(std::size_t begin, std::size_t end, std::span<const Node> scope, std::size_t depth) {
    for (std::size_t pos = begin; pos < end && !Full();) {
      const Token t = Next(pos, end);
      switch (t.kind) {
      case Token::kChar:
        _out += t.c;
        break;
      case Token::kPlaceholder:
        if (const Node* arg = Argument(scope, t.index); arg != nullptr && arg->text) PutShown(*arg->text);
        break;
      case Token::kRepeat:
        RenderRepeat(*t.repeat, scope, depth);
        break;
      }
      pos = t.end;
    }
  }

  void RenderRepeat(const Repeat& r, std::span<const Node> scope, std::size_t depth) {
    const Node* list = Argument(scope, r.index);
    if (list == nullptr || list->text || depth >= kMaxListDepth) return;

    // The group size is the largest index used in the body; what follows the last placeholder only
    // separates groups.
    std::size_t group = 1;
    std::size_t headEnd = r.bodyEnd;
    bool placeholders = false;
    for (std::size_t pos = r.bodyBegin; pos < r.bodyEnd;) {
      const Token t = Next(pos, r.bodyEnd);
      if (t.kind != Token::kChar) {
        group = std::max(group, t.index);
        headEnd = t.end;
        placeholders = true;
      }
      pos = t.end;
    }
    if (!placeholders) headEnd = r.bodyEnd;

    const std::span<const Node> items(list->children);
    for (std::size_t first = 0; first < items.size() && !Full(); first += group) {
      const auto groupItems = items.subspan(first, std::min(group, items.size() - first));
      Render(r.bodyBegin, headEnd, groupItems, depth + 1);
      if (first + group < items.size()) Render(headEnd, r.bodyEnd, groupItems, depth + 1);
    }
  }

  // Argument texts show as displayed, except that a composite argument shows filled even before it
  // was substituted itself. A composite argument that the template names several times is filled once:
  // filled again for every mention, a chain of composites each naming the one below twice would take
  // time exponential in its length.
  void PutShown(const OmCellText& text) {
    if (text.OrderCode() != OmCellText::kOrderComposite) {
      Put(_untranslated ? text.AsEngString() : text.AsString());
      return;
    }
    const auto& composite = static_cast<const OmComposite&>(text);
    if (!_untranslated && composite.IsSubstituted()) {
      Put(composite.AsString());
      return;
    }
    auto found = _filled.find(&composite);
    if (found == _filled.end())
      found = _filled.emplace(&composite, _untranslated ? composite.AsEngString() : composite.Filled()).first;
    Put(found->second);
  }

  std::string_view _text;
  bool _untranslated;
  std::map<std::size_t, Repeat> _repeats;                      // by the position of their "["
  std::unordered_map<const OmComposite*, std::string> _filled; // composite arguments filled so far
  std::string _out;
  bool _cut = false; // something was left out for want of room
};

// The longest a text can show as an argument, in any display mode and before or after translation
// (as far as it is known now).
std::uint64_t ShownLength(const OmCellText& text) {
  switch (text.OrderCode()) {
  case OmCellText::kOrderComposite: {
    const auto& c = static_cast<const OmComposite&>(text);
    return std::max<std::uint64_t>(c.FilledLengthBound(), c.AsString().size());
  }
  case OmCellText::kOrderString: {
    const auto& s = static_cast<const OmStringCell&>(text);
    return std::max(s.Text().size(), s.AsEngString().size());
  }
  case OmCellText::kOrderVariable: {
    const auto& v = static_cast<const OmVariable&>(text);
    return v.Name().size() + v.Label().size() + 3; // "label [name]"
  }
  case OmCellText::kOrderNumDataValue: {
    const auto& v = static_cast<const OmNumDataValue&>(text);
    return FormatNumber(v.Value(), v.Format()).size() + 1 + v.ValueLabel().size(); // "value label"
  }
  case OmCellText::kOrderStringDataValue: {
    const auto& v = static_cast<const OmStringDataValue&>(text);
    return v.Value().size() + 1 + v.ValueLabel().size();
  }
  default:
    return text.AsString().size();
  }
}

bool IsComposite(const OmCellText& text) {
  return text.OrderCode() == OmCellText::kOrderComposite;
}

std::size_t TextsOf(const OmCellText& text) {
  return IsComposite(text) ? static_cast<const OmComposite&>(text).TextCount() : 1;
}

std::size_t NestingOf(const OmCellText& text) {
  return IsComposite(text) ? static_cast<const OmComposite&>(text).Nesting() : 0;
}

std::uint64_t TotalOf(const OmCellText& text) {
  return IsComposite(text) ? static_cast<const OmComposite&>(text).FilledTotalBound() : 0;
}

} // namespace

OmComposite::OmComposite(const OmCellText& templateCell, OmMemoryRegion* region)
    : _template(CloneText(templateCell, OrDefault(region))), _region(OrDefault(region)) {
  const std::string text = _template->AsString();
  TemplateFiller(text, false)
      .Measure(_shape.outside, _shape.inBodies, _shape.topPlaceholders, _shape.listPlaceholders);
  // A composite template reads as its text; what that text can grow to is its own bound.
  if (IsComposite(*_template)) _shape.outside = std::max(_shape.outside, ShownLength(*_template));
  _size.texts = TextsOf(*_template);
  _size.nesting = 1 + NestingOf(*_template);
  _size.inner = TotalOf(*_template);
  Check(_size);
}

OmComposite::OmComposite(const OmComposite& other) : OmComposite(other, other._region) {}

OmComposite::OmComposite(const OmComposite& other, OmMemoryRegion* region)
    : OmCellText(other), _template(CloneText(*other._template, region)),
      _args(CloneNodes(other._args, region)), _openLists(other._openLists), _filled(other._filled),
      _substituted(other._substituted), _region(region), _shape(other._shape), _size(other._size) {}

std::uint64_t OmComposite::Bound(const Shape& shape, const Size& size) {
  std::uint64_t bound = shape.outside;
  bound = Plus(bound, Times(shape.inBodies, size.listItems));
  bound = Plus(bound, Times(shape.topPlaceholders, size.topLongest));
  return Plus(bound, Times(shape.listPlaceholders, size.listTotal));
}

std::uint64_t OmComposite::FilledLengthBound() const {
  return Bound(_shape, _size);
}

std::uint64_t OmComposite::FilledTotalBound() const {
  return Plus(Bound(_shape, _size), _size.inner);
}

void OmComposite::Check(const Size& size) const {
  if (size.texts > kMaxTexts)
    throw OmLimitError("composite: it would hold more than " + std::to_string(kMaxTexts) +
                       " texts and repeat lists");
  if (size.nesting > kMaxNesting)
    throw OmLimitError("composite: composites would nest deeper than " + std::to_string(kMaxNesting) +
                       " levels");
  if (Plus(Bound(_shape, size), size.inner) > kMaxFilledLength)
    throw OmLimitError("composite: its filled text and those of the composites inside it could grow past " +
                       std::to_string(kMaxFilledLength) + " bytes");
}

std::string OmComposite::AsString() const {
  return _substituted ? _filled : _template->AsString();
}

std::string OmComposite::AsEngString() const {
  return Fill(true);
}

std::string OmComposite::Filled() const {
  return Fill(false);
}

std::string OmComposite::Fill(bool untranslated) const {
  const std::string text = untranslated ? _template->AsEngString() : _template->AsString();
  return TemplateFiller(text, untranslated).Fill(_args);
}

void OmComposite::Substitute(const void*, bool) {
  _filled = Filled();
  _substituted = true;
}

short OmComposite::Compare(const OmCellText& other) const {
  if (other.OrderCode() != kOrderComposite) return kOrderComposite < other.OrderCode() ? -1 : 1;
  const auto& o = static_cast<const OmComposite&>(other);
  if (const short c = _template->Compare(*o._template); c != 0) return c < 0 ? -1 : 1;
  return CompareNodeLists(_args, o._args);
}

OmCellText* OmComposite::Clone(OmMemoryRegion* region) const {
  region = OrDefault(region);
  return new (region) OmComposite(*this, region);
}

std::vector<Node>& OmComposite::OpenLevel() {
  std::vector<Node>* level = &_args;
  for (std::size_t i : _openLists) {
    if (i == kNotOpened) break;
    level = &(*level)[i].children;
  }
  return *level;
}

void OmComposite::Add(const OmCellText& child) {
  std::vector<Node>& level = OpenLevel();
  Size size = _size;
  size.texts += TextsOf(child);
  size.nesting = std::max(size.nesting, 1 + NestingOf(child));
  size.inner = Plus(size.inner, TotalOf(child));
  if (&level == &_args) {
    size.topLongest = std::max(size.topLongest, ShownLength(child));
  } else {
    ++size.listItems;
    size.listTotal = Plus(size.listTotal, ShownLength(child));
  }
  Check(size);
  level.push_back(Node{CloneText(child, _region), {}});
  _size = size;
}

void OmComposite::BeginRepeatList() {
  if (_openLists.size() >= kMaxListDepth) {
    _openLists.push_back(kNotOpened);
    return;
  }
  std::vector<Node>& level = OpenLevel();
  Size size = _size;
  ++size.texts;
  if (&level != &_args) ++size.listItems;
  Check(size);
  level.push_back(Node{});
  _openLists.push_back(level.size() - 1);
  _size = size;
}

void OmComposite::EndRepeatList() {
  if (!_openLists.empty()) _openLists.pop_back();
}

void OmComposite::End() {
  _openLists.clear();
}

std::vector<const OmCellText*> OmComposite::Leaves() const {
  std::vector<const OmCellText*> leaves;
  CollectLeaves(_args, leaves);
  return leaves;
}

} // namespace omf
