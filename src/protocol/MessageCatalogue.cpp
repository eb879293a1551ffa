#include <omf/protocol/MessageCatalogue.h>

#include <algorithm>
#include <cstring>
#include <string>

#include <omf/protocol/ProtocolError.h>

namespace omf {

namespace {

constexpr MessageSpec kRows[] = {
#define OMF_MESSAGE(Enumerator, number, word, fields) msg::Enumerator::kSpec,
#include <omf/protocol/Messages.def>
};

constexpr std::size_t kRowCount = sizeof(kRows) / sizeof(kRows[0]);

// Type numbers index a direct table; the protocol's numbers stay below this.
constexpr std::size_t kTypeLimit = 400;

struct Index {
  const MessageSpec* byType[kTypeLimit] = {};
  constexpr Index() {
    for (const MessageSpec& m : kRows)
      byType[m.type] = &m;
  }
};
constexpr Index kIndex;

constexpr bool Same(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

// What the readers of the table rely on, each checked when the library is compiled.
constexpr bool TypesRiseAndFitTheIndex() {
  for (std::size_t i = 0; i < kRowCount; ++i) {
    if (kRows[i].type < 0 || static_cast<std::size_t>(kRows[i].type) >= kTypeLimit) return false;
    if (i > 0 && kRows[i - 1].type >= kRows[i].type) return false;
  }
  return true;
}
static_assert(TypesRiseAndFitTheIndex(), "rows are in rising type order (no number twice), below kTypeLimit");

constexpr bool WordsAreUnique() {
  for (std::size_t i = 0; i < kRowCount; ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (Same(kRows[j].name, kRows[i].name)) return false;
  return true;
}
static_assert(WordsAreUnique(), "no two messages have the same script word");

constexpr bool FieldsAreSound() {
  for (const MessageSpec& m : kRows) {
    for (std::size_t k = 0; k < m.fieldCount; ++k) {
      const FieldSpec& f = m.fields[k];
      for (std::size_t l = 0; l < k; ++l)
        if (Same(m.fields[l].name, f.name)) return false;
      const bool counted = f.kind == FieldKind::Text || f.kind == FieldKind::NumOrText;
      if (counted != (f.lengthOf >= 0) || (counted && static_cast<std::size_t>(f.lengthOf) >= k))
        return false;
    }
  }
  return true;
}
static_assert(FieldsAreSound(), "field names are unique within a row; a text's length field comes before it");

constexpr bool CodesAreUnique() {
  for (const MessageSpec& m : kRows)
    for (std::size_t k = 0; k < m.fieldCount; ++k) {
      const std::span<const CodeWord> words = m.fields[k].words;
      for (std::size_t w = 0; w < words.size(); ++w)
        for (std::size_t v = 0; v < w; ++v)
          if (Same(words[v].word, words[w].word) || words[v].value == words[w].value) return false;
    }
  return true;
}
static_assert(CodesAreUnique(), "each word of a code table names one value, and each value has one word");

} // namespace

const MessageSpec* FindMessageSpec(short type) {
  return (type >= 0 && static_cast<std::size_t>(type) < kTypeLimit) ? kIndex.byType[type] : nullptr;
}

const MessageSpec* FindMessageSpec(std::string_view name) {
  for (const MessageSpec& m : kRows)
    if (name == m.name) return &m;
  return nullptr;
}

const MessageSpec& FindMessageSpec(MessageType type) {
  return *kIndex.byType[static_cast<std::size_t>(TypeNumber(type))];
}

const MessageSpec* MessageSpecs(std::size_t& count) {
  count = kRowCount;
  return kRows;
}

void ReverseBytes(unsigned char* p, std::size_t n) {
  std::reverse(p, p + n);
}

std::size_t FieldSize(FieldKind kind) {
  switch (kind) {
  case FieldKind::U8:
  case FieldKind::Skip:
    return 1;
  case FieldKind::I16:
    return 2;
  case FieldKind::I32:
  case FieldKind::U32:
    return 4;
  case FieldKind::I64:
  case FieldKind::F64:
    return 8;
  default:
    return 0;
  }
}

namespace detail {

void ShortField(const MessageSpec& spec, const FieldSpec& f, std::size_t need, std::size_t length) {
  throw ProtocolError(spec.type, f.name,
                      "needs bytes up to " + std::to_string(need) + " but the payload has " +
                          std::to_string(length));
}

void NegativeLength(const MessageSpec& spec, const FieldSpec& lengthField, std::int64_t n) {
  throw ProtocolError(spec.type, lengthField.name, "length " + std::to_string(n) + " is negative");
}

void MissingNul(const MessageSpec& spec, const FieldSpec& f, std::size_t at, std::size_t window) {
  if (window == f.maxLength)
    throw ProtocolError(spec.type, f.name,
                        "text at byte " + std::to_string(at) + " fills its " + std::to_string(window) +
                            " bytes with no terminating NUL");
  throw ProtocolError(spec.type, f.name, "text at byte " + std::to_string(at) + " has no terminating NUL");
}

} // namespace detail

DecodedMessage::DecodedMessage(const MessageSpec& spec, unsigned char* data, std::size_t length, bool swap)
    : DecodedMessage(spec, data, length) {
  std::size_t at = 0;
  for (std::size_t k = 0; k < spec.fieldCount; ++k)
    Read(spec.fields[k], k, at, swap);
}

} // namespace omf
