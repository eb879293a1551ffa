#include "protocol/MessageCatalogue.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

#include "protocol/ProtocolError.h"

namespace {

constexpr bool S = true;  // swapped when the stream is in the other byte order
constexpr bool N = false; // never swapped

constexpr FieldSpec u8(const char* n, std::int16_t at) {
  return {n, FieldKind::U8, at, N};
}
constexpr FieldSpec i16(const char* n, std::int16_t at, bool sw) {
  return {n, FieldKind::I16, at, sw};
}
constexpr FieldSpec i32(const char* n, std::int16_t at, bool sw) {
  return {n, FieldKind::I32, at, sw};
}
constexpr FieldSpec u32(const char* n, std::int16_t at, bool sw) {
  return {n, FieldKind::U32, at, sw};
}
constexpr FieldSpec i64(const char* n, std::int16_t at, bool sw) {
  return {n, FieldKind::I64, at, sw};
}
constexpr FieldSpec f64(const char* n, std::int16_t at, bool sw) {
  return {n, FieldKind::F64, at, sw};
}
constexpr FieldSpec text(const char* n, std::int8_t lengthOf, std::int16_t at = kFollows,
                         std::uint16_t max = 0) {
  return {n, FieldKind::Text, at, N, lengthOf, max};
}
constexpr FieldSpec ctext(const char* n, std::int16_t at, std::uint16_t width = 0) {
  return {n, FieldKind::CText, at, N, -1, width};
}
constexpr FieldSpec skip(const char* n) {
  return {n, FieldKind::Skip, kFollows, N};
}
constexpr FieldSpec rest(const char* n, std::int16_t at = kFollows) {
  return {n, FieldKind::Rest, at, N};
}
constexpr FieldSpec numOrText(const char* n, std::int8_t lengthOf) {
  return {n, FieldKind::NumOrText, kFollows, S, lengthOf};
}

constexpr MessageSpec Row(std::int16_t type, const char* name, std::initializer_list<FieldSpec> fields) {
  MessageSpec m{type, name, static_cast<std::uint8_t>(fields.size()), {}};
  std::size_t i = 0;
  for (const FieldSpec& f : fields)
    m.fields[i++] = f;
  return m;
}

// clang-format off
constexpr MessageSpec kRows[] = {
  // settings
  Row(27,  "setting",        {u8("value", 0), u8("length", 1), text("name", 1, 2, 16)}),
  Row(34,  "display",        {ctext("key", 16, 16), ctext("value", 32)}),
  Row(56,  "setting-pair",   {i32("first", 0, S), i32("second", 4, S)}),
  Row(59,  "byte-order",     {i32("probe", 0, N)}),
  // parameters
  Row(256, "number",         {f64("value", 0, S), u32("format", 8, S), i32("slot", 12, S)}),
  Row(257, "integer",        {i32("value", 0, S), u32("format", 4, S), i32("slot", 8, S)}),
  Row(258, "string",         {i32("length", 0, S), i32("slot", 4, S), i32("literal", 8, S), text("text", 0, 12)}),
  Row(259, "composite",      {i32("slot", 0, S), i32("template", 4, S)}),
  Row(261, "repeat-begin",   {}),
  Row(262, "repeat-end",     {}),
  Row(263, "composite-add",  {i32("slot", 0, S)}),
  // tables
  Row(267, "scratch",        {i32("slot", 0, S)}),
  Row(268, "table-begin",    {u8("tcid", 0), i32("label", 4, S), i32("subtype", 8, S), u8("continuation", 12)}),
  Row(269, "category",       {u8("tcid", 0), i32("category", 4, S), i32("dimension", 8, S)}),
  Row(270, "group",          {u8("tcid", 0), i32("group", 4, S), i32("dimension", 8, S)}),
  Row(271, "group-end",      {u8("tcid", 0), i32("dimension", 4, S)}),
  Row(272, "cell-dimension", {u8("tcid", 0), i32("dimension", 4, S)}),
  Row(273, "cell",           {u8("tcid", 0), i32("cell", 4, S), i32("category", 8, S)}),
  Row(274, "cell-category",  {u8("tcid", 0), i32("category", 4, S)}),
  Row(275, "table-end",      {u8("tcid", 0)}),
  // procedures, text and pages
  Row(276, "procedure-begin", {i64("number", 0, S), u32("length", 8, S), text("settings", 1, 12)}),
  Row(278, "heading",        {i32("slot", 0, S)}),
  Row(279, "heading-end",    {}),
  Row(280, "footnote",       {i32("target", 0, S), i32("text", 4, S)}),
  Row(281, "split",          {i32("variable", 0, S), i32("value", 4, S)}),
  Row(282, "dimension",      {u8("tcid", 0), i32("dimension", 4, S)}),
  Row(284, "place",          {u8("tcid", 0), i32("dimension", 4, S), i32("position", 8, S), i32("axis", 12, S),
                              i32("first", 16, S), i32("second", 20, S)}),
  Row(285, "footnote-marker", {i32("target", 0, S), i32("text", 4, S), i32("marker", 8, S)}),
  Row(286, "free",           {i32("slot", 0, S)}),
  Row(287, "copy",           {i32("source", 0, S), i32("target", 4, S)}),
  Row(288, "group-sort",     {u8("tcid", 0), u32("value", 4, S)}),
  Row(289, "dimension-sort", {u8("tcid", 0), u32("value", 4, S)}),
  Row(290, "group-sort-mark", {u8("tcid", 0), u32("value", 4, S)}),
  Row(291, "procedure-end",  {rest("fragment", 0)}),
  Row(292, "text",           {i32("lines", 0, S), i32("length", 4, S), text("text", 1, 8)}),
  Row(293, "log",            {i32("lines", 0, S), i32("length", 4, S), text("text", 1, 8)}),
  Row(295, "log-end",        {}),
  Row(296, "text-block",     {i32("slot", 0, S)}),
  Row(297, "group-mark",     {u8("tcid", 0)}),
  Row(298, "corner",         {u8("tcid", 0), i32("slot", 4, S)}),
  Row(299, "aux-clear",      {u8("tcid", 0)}),
  Row(300, "signal",         {}),
  Row(302, "table-option",   {u8("tcid", 0), i32("option", 4, S), i32("slot", 8, S)}),
  Row(304, "swap",           {u8("swap", 0)}),
  Row(305, "page-title",     {i32("title-length", 0, S), i32("subtitle-length", 4, S), text("title", 0, 8),
                              skip("separator"), text("subtitle", 1)}),
  Row(307, "chart",          {i32("chart", 0, S), i32("operation", 4, S), i32("a", 8, S), i32("b", 12, S),
                              rest("data", 16)}),
  Row(308, "variable",       {i32("slot", 0, S), i32("mode", 4, S), i32("name-length", 8, S),
                              i32("label-length", 12, S), text("name", 2, 16), text("label", 3)}),
  Row(309, "value",          {i32("slot", 0, S), i32("mode", 4, S), u32("format", 8, S), i32("name-length", 12, S),
                              i32("label-length", 16, S), i16("string-length", 20, S), text("variable", 3, 22),
                              numOrText("value", 5), text("label", 4)}),
  Row(310, "column-widths",  {u8("tcid", 0), i32("which", 4, S), i32("minimum", 8, S), i32("maximum", 12, S)}),
  Row(311, "model",          {rest("fragment", 0)}),
  Row(312, "answer-tree",    {i32("tree", 0, N), i32("operation", 4, N), i32("a", 8, N), i32("b", 12, N),
                              rest("data", 16)}),
  Row(313, "bold",           {}),
  Row(314, "background",     {i32("unused", 0, S), i32("length", 4, S), text("colour", 1, 12)}),
  Row(315, "color",          {i32("unused", 0, S), i32("length", 4, S), text("colour", 1, 12)}),
  Row(316, "marker",         {i32("slot", 8, S)}),
  Row(317, "outline",        {i32("length", 0, S), text("text", 0, 4)}),
};
// clang-format on

constexpr std::size_t kRowCount = sizeof(kRows) / sizeof(kRows[0]);

// Direct index for the switch range 256..317 and the four settings types.
struct Index {
  const MessageSpec* byType[400] = {};
  constexpr Index() {
    for (const MessageSpec& m : kRows)
      byType[m.type] = &m;
  }
};
constexpr Index kIndex;

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
  return (type >= 0 && type < 400) ? kIndex.byType[type] : nullptr;
}

const MessageSpec* FindMessageSpec(std::string_view name) {
  for (const MessageSpec& m : kRows)
    if (name == m.name) return &m;
  return nullptr;
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
