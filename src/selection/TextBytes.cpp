#include "selection/TextBytes.h"

#include "platform/strings/PlatformStrings.h"
#include "text/Escapes.h"

namespace omf::selection::detail {

namespace {

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

} // namespace

std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const std::size_t left = text.size() - at;
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
  if (left < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (!IsContinuation(byte(i))) return 0;
  return length;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceAt(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string UpperCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  // Runs of characters are upper-cased whole; a byte that starts no sequence ends a run. Upper-casing
  // turns characters into characters, so the runs and the bytes between them are the same the next time.
  std::size_t run = 0;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t length = at < text.size() ? Utf8SequenceAt(text, at) : 0;
    if (length > 0) {
      at += length;
      continue;
    }
    out += VEXAMBstrupr_A(text.substr(run, at - run));
    if (at < text.size()) out += text[at];
    run = ++at;
  }
  return out;
}

std::string QuoteText(std::string_view text) {
  return omf::text::Quote(text, {.upperHex = true, .escapeInvisible = false});
}

} // namespace omf::selection::detail
