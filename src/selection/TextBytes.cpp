#include <omf/selection/TextBytes.h>

#include <omf/platform/strings/PlatformStrings.h>
#include <omf/text/Escapes.h>

namespace omf {

namespace selection::detail {

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

} // namespace selection::detail

} // namespace omf
