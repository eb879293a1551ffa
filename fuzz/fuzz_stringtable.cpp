// Fuzz target: string table files (lang/README.md). A table is read from any text or refused with a
// StringTableError; a table that is read holds only what the format allows: keys and texts that are not
// empty and valid UTF-8, entries that name a line of the file, further strings in UTF-8. Any other
// exception, and any entry that breaks these rules, is a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include <omf/platform/stringtable/StringTable.h>

using namespace omf;

namespace {

using omf::fuzz::Finding;

bool ValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    std::uint32_t cp = 0, least = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      n = 1, cp = c & 0x1F, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      n = 2, cp = c & 0x0F, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      n = 3, cp = c & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (i + n >= s.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

void Check(const StringTable::Section& section, const std::string& where, std::size_t lines) {
  for (const auto& [key, entry] : section) {
    if (key.empty()) Finding(where + ": an entry with an empty key was read");
    if (entry.text.empty()) Finding(where + ": the key \"" + key + "\" was read with an empty text");
    if (!ValidUtf8(key) || !ValidUtf8(entry.text) || !ValidUtf8(entry.first) || !ValidUtf8(entry.second))
      Finding(where + ": the entry of line " + std::to_string(entry.line) +
              " holds bytes that are not UTF-8");
    if (entry.line == 0 || entry.line > lines)
      Finding(where + ": the key \"" + key + "\" names line " + std::to_string(entry.line) +
              " of a file of " + std::to_string(lines) + " lines");
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  StringTable table;
  try {
    table = StringTable::Parse(text, "fuzz.txt");
  } catch (const StringTableError&) {
    return 0;
  } catch (const std::exception& e) {
    Finding("reading a string table let through " + omf::fuzz::Describe(e));
  }
  // Lines end in LF; a last line without one still counts.
  std::size_t lines = 1;
  for (char c : text)
    lines += c == '\n';
  Check(table.Global(), "global section", lines);
  for (const auto& [name, section] : table.Procedures())
    Check(section, "procedure \"" + name + "\"", lines);
  return 0;
}
