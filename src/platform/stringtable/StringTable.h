#pragma once
// One output language's string table: global entries and entries that apply only within one procedure,
// read from the UTF-8 text file of a language directory (lang/<dir>/strings.txt; the format is
// described in lang/README.md). A table never changes once read.
#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

namespace omf {

// A string table that cannot be read: a missing directory or file, a file that is too large or not
// UTF-8, or a malformed line. The message names the file, and the line when there is one
// ("lang/de/strings.txt:12: ...").
class StringTableError : public std::runtime_error {
public:
  StringTableError(std::string file, std::size_t line, const std::string& problem);
  const std::string& File() const { return _file; }
  // 1-based; 0 when the problem is the file as a whole.
  std::size_t Line() const { return _line; }

private:
  std::string _file;
  std::size_t _line;
};

struct StringTableEntry {
  std::string text;   // what is shown in place of the key
  std::string first;  // a note on the text (its source or a comment), kept as the cell's further text
  std::string second; // a second line shown after the text (a subtitle); usually empty
  std::size_t line = 0;
};

class StringTable {
public:
  // Hashes both strings and string views, so that lookups by view allocate nothing.
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
  };
  using Section = std::unordered_map<std::string, StringTableEntry, Hash, std::equal_to<>>;
  using Sections = std::unordered_map<std::string, Section, Hash, std::equal_to<>>;

  // The name of the file in a language directory.
  static constexpr const char* kFileName = "strings.txt";
  // Files larger than this are refused rather than read.
  static constexpr std::size_t kMaxFileBytes = 16u << 20;

  // Reads a table from the text of a file; `file` names it in errors.
  static StringTable Parse(std::string_view text, const std::string& file);
  // Reads a language directory's file, or the file itself when the path names a file.
  static StringTable Read(const std::string& path);
  // The table of a path, read on its first use and shared by every later user in the process. A path
  // that fails to read is not remembered, so that a later call reports the problem again.
  static std::shared_ptr<const StringTable> Shared(const std::string& path);

  const Section& Global() const { return _global; }
  // The entries of one procedure, or null when the table has none for it.
  const Section* Procedure(std::string_view name) const;
  const Sections& Procedures() const { return _procedures; }
  const std::string& File() const { return _file; }

private:
  std::string _file;
  Section _global;
  Sections _procedures;
};

} // namespace omf
