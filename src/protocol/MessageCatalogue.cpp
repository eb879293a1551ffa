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

std::int64_t ReadSigned(const unsigned char* p, std::size_t n) {
  switch (n) {
  case 1:
    return static_cast<std::int8_t>(p[0]);
  case 2: {
    std::int16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  case 4: {
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  default: {
    std::int64_t v;
    std::memcpy(&v, p, 8);
    return v;
  }
  }
}

[[noreturn]] void Short(const MessageSpec& spec, const FieldSpec& f, std::size_t need, std::size_t length) {
  throw ProtocolError(spec.type, f.name,
                      "needs bytes up to " + std::to_string(need) + " but the payload has " +
                          std::to_string(length));
}

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

DecodedMessage DecodeMessage(const MessageSpec& spec, unsigned char* data, std::size_t length, bool swap) {
  DecodedMessage out;
  out._spec = &spec;
  out._data = data;
  out._length = length;
  std::size_t at = 0;
  for (std::size_t k = 0; k < spec.fieldCount; ++k) {
    const FieldSpec& f = spec.fields[k];
    if (f.offset != kFollows) at = static_cast<std::size_t>(f.offset);
    out._offsets[k] = at;
    DecodedField& v = out._v[k];
    switch (f.kind) {
    case FieldKind::U8:
    case FieldKind::Skip:
      if (at + 1 > length) Short(spec, f, at + 1, length);
      v.i = data[at];
      at += 1;
      break;
    case FieldKind::I16:
    case FieldKind::I32:
    case FieldKind::U32:
    case FieldKind::I64:
    case FieldKind::F64: {
      const std::size_t n = FieldSize(f.kind);
      if (at + n > length) Short(spec, f, at + n, length);
      if (swap && f.swapped) ReverseBytes(data + at, n);
      if (f.kind == FieldKind::F64)
        std::memcpy(&v.f, data + at, 8);
      else if (f.kind == FieldKind::U32)
        v.i = static_cast<std::uint32_t>(ReadSigned(data + at, 4));
      else
        v.i = ReadSigned(data + at, n);
      at += n;
      break;
    }
    case FieldKind::Text: {
      const FieldSpec& lf = spec.fields[static_cast<std::size_t>(f.lengthOf)];
      std::int64_t n = out._v[static_cast<std::size_t>(f.lengthOf)].i;
      if (n < 0) throw ProtocolError(spec.type, lf.name, "length " + std::to_string(n) + " is negative");
      if (f.maxLength != 0 && n > f.maxLength) {
        // A longer name is cut, and the cut length is written back for whoever reads the buffer next.
        n = f.maxLength;
        data[out._offsets[static_cast<std::size_t>(f.lengthOf)]] = static_cast<unsigned char>(n);
        out._v[static_cast<std::size_t>(f.lengthOf)].i = n;
      }
      if (static_cast<std::uint64_t>(n) > length - std::min(at, length))
        Short(spec, f, at + static_cast<std::size_t>(n), length);
      v.text = std::string_view(reinterpret_cast<const char*>(data + at), static_cast<std::size_t>(n));
      at += static_cast<std::size_t>(n);
      break;
    }
    case FieldKind::CText: {
      if (at >= length) Short(spec, f, at + 1, length);
      const std::size_t window =
          f.maxLength != 0 ? std::min<std::size_t>(f.maxLength, length - at) : length - at;
      const void* nul = std::memchr(data + at, 0, window);
      if (nul == nullptr && window == f.maxLength)
        throw ProtocolError(spec.type, f.name,
                            "text at byte " + std::to_string(at) + " fills its " + std::to_string(window) +
                                " bytes with no terminating NUL");
      if (nul == nullptr)
        throw ProtocolError(spec.type, f.name,
                            "text at byte " + std::to_string(at) + " has no terminating NUL");
      const std::size_t n = static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - (data + at));
      v.text = std::string_view(reinterpret_cast<const char*>(data + at), n);
      at += f.maxLength != 0 ? f.maxLength : n + 1;
      break;
    }
    case FieldKind::Rest:
      if (at > length) Short(spec, f, at, length);
      v.text = std::string_view(reinterpret_cast<const char*>(data + at), length - at);
      at = length;
      break;
    case FieldKind::NumOrText: {
      const std::int64_t n = out._v[static_cast<std::size_t>(f.lengthOf)].i;
      if (n < 0)
        throw ProtocolError(spec.type, spec.fields[static_cast<std::size_t>(f.lengthOf)].name,
                            "length " + std::to_string(n) + " is negative");
      if (n == 0) {
        if (at + 8 > length) Short(spec, f, at + 8, length);
        if (swap && f.swapped) ReverseBytes(data + at, 8);
        std::memcpy(&v.f, data + at, 8);
        v.isNumber = true;
        at += 8;
      } else {
        if (static_cast<std::uint64_t>(n) > length - std::min(at, length))
          Short(spec, f, at + static_cast<std::size_t>(n), length);
        v.text = std::string_view(reinterpret_cast<const char*>(data + at), static_cast<std::size_t>(n));
        v.isNumber = false;
        at += static_cast<std::size_t>(n);
      }
      break;
    }
    }
  }
  return out;
}

} // namespace omf
