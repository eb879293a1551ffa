#pragma once
// The wire format word that number and value messages carry: byte 0 the decimals, byte 1 the width,
// byte 2 the format type, byte 3 reserved (0). As a 32-bit number: decimals + 256 x width + 65536 x type.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace omf {

namespace stream {

struct WireFormat {
  // Format type codes that the cell library shows in their own way; others show as kFixed.
  enum Type : std::uint8_t {
    kString = 1,
    kComma = 3,
    kDollar = 4,
    kFixed = 5,
    kZeroPadded = 16,
    kScientific = 17,
    kPercent = 31,
    kDot = 32,
  };

  std::uint8_t type = kFixed;
  std::uint8_t width = 8;
  std::uint8_t decimals = 0;

  static constexpr WireFormat Fixed(std::uint8_t width, std::uint8_t decimals) {
    return {kFixed, width, decimals};
  }

  constexpr std::uint32_t Word() const {
    return std::uint32_t{decimals} | std::uint32_t{width} << 8 | std::uint32_t{type} << 16;
  }
  // Byte 3 is dropped.
  static constexpr WireFormat FromWord(std::uint32_t word) {
    return {static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 8),
            static_cast<std::uint8_t>(word)};
  }

  // The written form: a type name, the width and optionally a point and the decimals, as "F8.2", "PCT5"
  // or "COMMA12.3". Names: A 1, COMMA 3, DOLLAR 4, F 5, N 16, E 17, PCT 31, DOT 32 (any case). Null when
  // the text is not of that form or a number does not fit a byte.
  static std::optional<WireFormat> Parse(std::string_view text);
  // The written form, or null when the type has no name.
  std::optional<std::string> Name() const;

  bool operator==(const WireFormat&) const = default;
};

} // namespace stream

} // namespace omf
