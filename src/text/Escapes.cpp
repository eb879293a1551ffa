#include <omf/text/Escapes.h>

#include <cassert>

namespace omf {

namespace text {

namespace {

// U+0080 to U+009F, encoded C2 80 to C2 9F.
bool Invisible(std::string_view sequence) {
  return sequence.size() == 2 && static_cast<unsigned char>(sequence[0]) == 0xC2 &&
         static_cast<unsigned char>(sequence[1]) < 0xA0;
}

UnquoteError Error(UnquoteError::Kind kind, std::size_t at, std::string message) {
  return {kind, at, std::move(message)};
}

} // namespace

std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  // The second byte's range excludes overlong forms (after E0, F0), surrogates (after ED) and code points
  // above U+10FFFF (after F4).
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - at < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if ((byte(i) & 0xC0) != 0x80) return 0;
  return length;
}

std::string Quote(std::string_view bytes, const QuoteStyle& style, std::size_t* hexEscapes) {
  const char* digits = style.upperHex ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out = "\"";
  std::size_t escaped = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x80) {
      const std::string_view sequence = bytes.substr(i, Utf8SequenceAt(bytes, i));
      if (!sequence.empty() && !(style.escapeInvisible && Invisible(sequence))) {
        out += sequence;
        i += sequence.size();
        continue;
      }
    }
    ++i;
    switch (c) {
    case '"':
      out += "\\\"";
      continue;
    case '\\':
      out += "\\\\";
      continue;
    case '\n':
      out += "\\n";
      continue;
    case '\r':
      out += "\\r";
      continue;
    case '\t':
      out += "\\t";
      continue;
    default:
      break;
    }
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      continue;
    }
    out += "\\x";
    out += digits[c >> 4];
    out += digits[c & 15];
    ++escaped;
  }
  if (hexEscapes != nullptr) *hexEscapes = escaped;
  return out + '"';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Unquoted Unquote(std::string_view source, std::size_t at, const UnquoteRules& rules) {
  assert(at < source.size() && source[at] == '"' && "a quoted text starts with its quote");
  using Kind = UnquoteError::Kind;
  Unquoted result;
  const std::size_t open = at++;
  for (;;) {
    if (at >= source.size() || (rules.lineBreakEnds && (source[at] == '\n' || source[at] == '\r'))) {
      result.error = Error(Kind::kNotClosed, open, "string not closed");
      return result;
    }
    const char c = source[at];
    if (c == '"') {
      result.end = at + 1;
      return result;
    }
    if (c == '\0' && !rules.allowNul) {
      result.error = Error(Kind::kNulByte, at, "a text cannot hold a NUL byte");
      return result;
    }
    if (c != '\\') {
      result.bytes += c;
      ++at;
      continue;
    }
    const std::size_t backslash = at;
    if (at + 1 >= source.size()) {
      result.error = Error(Kind::kBackslashAtEnd, backslash, "string not closed");
      return result;
    }
    const char e = source[at + 1];
    at += 2;
    switch (e) {
    case 'n':
      result.bytes += '\n';
      break;
    case 'r':
      result.bytes += '\r';
      break;
    case 't':
      result.bytes += '\t';
      break;
    case '\\':
    case '"':
      result.bytes += e;
      break;
    case 'x': {
      const int high = at < source.size() ? HexDigit(source[at]) : -1;
      const int low = at + 1 < source.size() ? HexDigit(source[at + 1]) : -1;
      if (high < 0 || low < 0) {
        result.error = Error(Kind::kBadHexEscape, backslash, "\"\\x\" needs two hex digits");
        return result;
      }
      if (high == 0 && low == 0 && !rules.allowNul) {
        result.error = Error(Kind::kNulEscape, backslash, "a text cannot hold a NUL byte (\\x00)");
        return result;
      }
      result.bytes += static_cast<char>(high * 16 + low);
      at += 2;
      break;
    }
    default:
      result.error =
          Error(Kind::kUnknownEscape, backslash,
                std::string("unknown escape \"\\") + e + "\" (known: \\n \\r \\t \\\\ \\\" \\xHH)");
      return result;
    }
  }
}

} // namespace text

} // namespace omf
