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
#include "model/CellText.h"

#include <algorithm>
#include <array>
#include <map>
#include <span>

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

// Fills one template from one argument tree.
class TemplateFiller {
public:
  TemplateFiller(std::string_view text, bool untranslated) : _text(text), _untranslated(untranslated) {
    FindRepeats();
  }

  std::string Fill(std::span<const Node> arguments) {
    Render(0, _text.size(), arguments, 0);
    return std::move(_out);
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

  void Render(std::size_t begin, std::size_t end, std::span<const Node> scope, std::size_t depth) {
    for (std::size_t pos = begin; pos < end;) {
      const Token t = Next(pos, end);
      switch (t.kind) {
      case Token::kChar:
        _out += t.c;
        break;
      case Token::kPlaceholder:
        if (const Node* arg = Argument(scope, t.index); arg != nullptr && arg->text)
          _out += Shown(*arg->text);
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
    for (std::size_t first = 0; first < items.size(); first += group) {
      const auto groupItems = items.subspan(first, std::min(group, items.size() - first));
      Render(r.bodyBegin, headEnd, groupItems, depth + 1);
      if (first + group < items.size()) Render(headEnd, r.bodyEnd, groupItems, depth + 1);
    }
  }

  // Argument texts show as displayed, except that a composite argument shows filled even before it
  // was substituted itself.
  std::string Shown(const OmCellText& text) const {
    if (_untranslated) return text.AsEngString();
    if (text.OrderCode() == OmCellText::kOrderComposite) {
      const auto& composite = static_cast<const OmComposite&>(text);
      return composite.IsSubstituted() ? composite.AsString() : composite.Filled();
    }
    return text.AsString();
  }

  std::string_view _text;
  bool _untranslated;
  std::map<std::size_t, Repeat> _repeats; // by the position of their "["
  std::string _out;
};

} // namespace

OmComposite::OmComposite(const OmCellText& templateCell, OmMemoryRegion* region)
    : _template(CloneText(templateCell, OrDefault(region))), _region(OrDefault(region)) {}

OmComposite::OmComposite(const OmComposite& other) : OmComposite(other, other._region) {}

OmComposite::OmComposite(const OmComposite& other, OmMemoryRegion* region)
    : OmCellText(other), _template(CloneText(*other._template, region)),
      _args(CloneNodes(other._args, region)), _openLists(other._openLists), _filled(other._filled),
      _substituted(other._substituted), _region(region) {}

std::string OmComposite::AsString() const {
  return _substituted ? _filled : _template->AsString();
}

std::string OmComposite::AsEngString() const {
  const std::string text = _template->AsEngString();
  return TemplateFiller(text, true).Fill(_args);
}

std::string OmComposite::Filled() const {
  const std::string text = _template->AsString();
  return TemplateFiller(text, false).Fill(_args);
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

void OmComposite::Add(const OmCellText& child) {
  std::vector<Node>* level = &_args;
  for (std::size_t i : _openLists) {
    if (i == kNotOpened) break;
    level = &(*level)[i].children;
  }
  level->push_back(Node{CloneText(child, _region), {}});
}

void OmComposite::BeginRepeatList() {
  if (_openLists.size() >= kMaxListDepth) {
    _openLists.push_back(kNotOpened);
    return;
  }
  std::vector<Node>* level = &_args;
  for (std::size_t i : _openLists)
    level = &(*level)[i].children;
  level->push_back(Node{});
  _openLists.push_back(level->size() - 1);
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
