#include <omf/stream/WireFormat.h>

#include <array>
#include <cctype>
#include <charconv>

namespace omf {

namespace stream {

namespace {

struct TypeName {
  std::uint8_t type;
  std::string_view name;
};

// No name is the start of another, so the first name that starts the text is the only candidate.
constexpr std::array kTypeNames{
    TypeName{WireFormat::kDollar, "DOLLAR"}, TypeName{WireFormat::kComma, "COMMA"},
    TypeName{WireFormat::kPercent, "PCT"},   TypeName{WireFormat::kDot, "DOT"},
    TypeName{WireFormat::kString, "A"},      TypeName{WireFormat::kScientific, "E"},
    TypeName{WireFormat::kFixed, "F"},       TypeName{WireFormat::kZeroPadded, "N"},
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

// A decimal number of one byte, the whole of `text`.
std::optional<std::uint8_t> Byte(std::string_view text) {
  unsigned v = 0;
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return std::nullopt;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v > 255) return std::nullopt;
  return static_cast<std::uint8_t>(v);
}

} // namespace

std::optional<WireFormat> WireFormat::Parse(std::string_view text) {
  for (const TypeName& t : kTypeNames) {
    if (!StartsWithNoCase(text, t.name)) continue;
    const std::string_view rest = text.substr(t.name.size());
    const std::size_t point = rest.find('.');
    const auto width = Byte(rest.substr(0, point));
    if (!width) return std::nullopt;
    std::uint8_t decimals = 0;
    if (point != std::string_view::npos) {
      const auto d = Byte(rest.substr(point + 1));
      if (!d) return std::nullopt;
      decimals = *d;
    }
    return WireFormat{t.type, *width, decimals};
  }
  return std::nullopt;
}

std::optional<std::string> WireFormat::Name() const {
  for (const TypeName& t : kTypeNames)
    if (t.type == type) {
      std::string out(t.name);
      out += std::to_string(width);
      if (decimals != 0) {
        out += '.';
        out += std::to_string(decimals);
      }
      return out;
    }
  return std::nullopt;
}

} // namespace stream

} // namespace omf
