#include <omf/platform/stringtable/StringTable.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

namespace omf {

namespace fs = std::filesystem;

namespace {
// "file: problem" or "file:line: problem".
std::string Located(const std::string& file, std::size_t line, const std::string& problem) {
  std::string message = file;
  if (line != 0) {
    message += ':';
    message += std::to_string(line);
  }
  message += ": ";
  message += problem;
  return message;
}
} // namespace

StringTableError::StringTableError(std::string file, std::size_t line, const std::string& problem)
    : std::runtime_error(Located(file, line, problem)), _file(std::move(file)), _line(line) {}

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

// The length of the UTF-8 sequence starting at s[i], or 0 when it is not a valid one (overlong forms,
// surrogates and values past U+10FFFF included).
std::size_t Utf8Length(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = byte(i);
  if (b < 0x80) return 1;
  std::size_t n;
  unsigned min;
  unsigned cp;
  if ((b & 0xE0) == 0xC0) {
    n = 2, min = 0x80, cp = b & 0x1Fu;
  } else if ((b & 0xF0) == 0xE0) {
    n = 3, min = 0x800, cp = b & 0x0Fu;
  } else if ((b & 0xF8) == 0xF0) {
    n = 4, min = 0x10000, cp = b & 0x07u;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

// Whether no byte has its high bit set; eight bytes at a time.
bool IsAscii(std::string_view s) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, s.data() + i, 8);
    if ((word & kHighBits) != 0) return false;
  }
  for (; i < s.size(); ++i)
    if ((static_cast<unsigned char>(s[i]) & 0x80) != 0) return false;
  return true;
}

// Reads the lines of one file into a table, keeping the file name and line number for errors.
class Parser {
public:
  Parser(std::string_view text, std::string file) : _text(text), _file(std::move(file)) {}

  void Run(std::string& fileName, StringTable::Section& global, StringTable::Sections& procedures) {
    fileName = _file;
    _global = &global;
    _section = &global;
    _procedures = &procedures;
    if (_text.starts_with("\xEF\xBB\xBF")) _text.remove_prefix(3);
    std::size_t begin = 0;
    while (begin <= _text.size()) {
      std::size_t end = _text.find('\n', begin);
      if (end == std::string_view::npos) end = _text.size();
      std::string_view line = _text.substr(begin, end - begin);
      if (line.ends_with('\r')) line.remove_suffix(1);
      ++_line;
      Line(line);
      begin = end + 1;
    }
  }

private:
  [[noreturn]] void Fail(const std::string& problem) const { throw StringTableError(_file, _line, problem); }

  void Line(std::string_view raw) {
    // Most lines are ASCII, which is valid UTF-8 as it stands.
    if (!IsAscii(raw))
      for (std::size_t i = 0; i < raw.size();) {
        const std::size_t n = Utf8Length(raw, i);
        if (n == 0) Fail("byte " + std::to_string(i + 1) + " of the line is not valid UTF-8");
        i += n;
      }
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#') return;
    if (line.front() == '[') return Header(line);
    Entry(line);
  }

  // "[global]" or "[procedure "Name"]".
  void Header(std::string_view line) {
    if (line.back() != ']')
      Fail("a line that begins with \"[\" must be a section header such as [procedure \"Frequencies\"] "
           "(write a key that begins with \"[\" as \"\\[\")");
    const std::string_view inner = Trim(line.substr(1, line.size() - 2));
    if (inner == "global") {
      _section = _global;
      return;
    }
    constexpr std::string_view kProcedure = "procedure";
    if (inner.starts_with(kProcedure)) {
      const std::string_view quoted = Trim(inner.substr(kProcedure.size()));
      if (quoted.size() >= 2 && quoted.front() == '"' && quoted.back() == '"') {
        const std::string name = Decode(quoted.substr(1, quoted.size() - 2), false);
        if (name.empty()) Fail("the procedure name of a section header is empty");
        _section = &(*_procedures)[name];
        return;
      }
    }
    Fail("unknown section header [" + std::string(inner) + "]; expected [global] or [procedure \"Name\"]");
  }

  // "key = text", "key = text | first" or "key = text | first | second".
  void Entry(std::string_view line) {
    const std::size_t equals = FindUnescaped(line, '=', 0);
    if (equals == std::string_view::npos)
      Fail("an entry needs \"=\" between key and text (write \"=\" in a key as \"\\=\")");
    std::string key = Decode(Trim(line.substr(0, equals)), true);
    if (key.empty()) Fail("an entry has no key before \"=\"");

    std::string_view rest = line.substr(equals + 1);
    std::string parts[3];
    std::size_t count = 0;
    for (;;) {
      const std::size_t bar = FindUnescaped(rest, '|', 0);
      if (count == 3)
        Fail("an entry has more than three parts (text | first | second); write \"|\" as \"\\|\"");
      parts[count++] = Decode(Trim(rest.substr(0, bar)), false);
      if (bar == std::string_view::npos) break;
      rest = rest.substr(bar + 1);
    }
    if (parts[0].empty()) Fail("the entry \"" + key + "\" has no text after \"=\"");

    const auto [it, added] =
        _section->try_emplace(std::move(key), StringTableEntry{std::move(parts[0]), std::move(parts[1]),
                                                               std::move(parts[2]), _line});
    if (!added)
      Fail("the key \"" + it->first + "\" is given twice in one section (first on line " +
           std::to_string(it->second.line) + ")");
  }

  // The first `c` at or after `from` that no backslash escapes.
  std::size_t FindUnescaped(std::string_view s, char c, std::size_t from) const {
    if (s.find('\\', from) == std::string_view::npos) return s.find(c, from);
    for (std::size_t i = from; i < s.size(); ++i) {
      if (s[i] == '\\') {
        ++i;
        continue;
      }
      if (s[i] == c) return i;
    }
    return std::string_view::npos;
  }

  // Replaces the file's escapes. Backslashes before other characters are kept, so that the escapes of
  // composite templates ("\%", "\:") are written as they are.
  std::string Decode(std::string_view s, bool key) const {
    if (s.find('\\') == std::string_view::npos) return std::string(s);
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    if (key && s.size() >= 2 && s[0] == '\\' && (s[1] == '[' || s[1] == '#')) {
      out += s[1];
      i = 2;
    }
    for (; i < s.size(); ++i) {
      if (s[i] != '\\') {
        out += s[i];
        continue;
      }
      if (i + 1 == s.size()) Fail("a backslash ends a key or text (write a backslash as \"\\\\\")");
      switch (const char next = s[++i]) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 's':
        out += ' ';
        break;
      case '\\':
      case '=':
      case '|':
      case '"':
        out += next;
        break;
      default:
        out += '\\';
        out += next;
        break;
      }
    }
    return out;
  }

  std::string_view _text;
  std::string _file;
  std::size_t _line = 0;
  StringTable::Section* _section = nullptr;
  StringTable::Section* _global = nullptr;
  StringTable::Sections* _procedures = nullptr;
};

} // namespace

StringTable StringTable::Parse(std::string_view text, const std::string& file) {
  StringTable table;
  Parser(text, file).Run(table._file, table._global, table._procedures);
  return table;
}

StringTable StringTable::Read(const std::string& path) {
  std::error_code ec;
  fs::path file(path);
  if (fs::is_directory(file, ec)) {
    file /= kFileName;
    if (!fs::exists(file, ec))
      throw StringTableError(file.string(), 0, "the string table file does not exist");
  } else if (!fs::exists(file, ec)) {
    throw StringTableError(path, 0, "the string table directory does not exist");
  }
  const std::string name = file.string();
  std::ifstream in(file, std::ios::binary);
  if (!in) throw StringTableError(name, 0, "the string table file cannot be opened");
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) throw StringTableError(name, 0, "the string table file cannot be read");
  if (static_cast<std::uintmax_t>(size) > kMaxFileBytes)
    throw StringTableError(name, 0,
                           "the string table file holds " + std::to_string(size) + " bytes, more than the " +
                               std::to_string(kMaxFileBytes) + " a table may have");
  std::string text(static_cast<std::size_t>(size), '\0');
  in.seekg(0, std::ios::beg);
  if (!in.read(text.data(), size)) throw StringTableError(name, 0, "the string table file cannot be read");
  return Parse(text, name);
}

std::shared_ptr<const StringTable> StringTable::Shared(const std::string& path) {
  static std::mutex lock;
  // Never destroyed: freeing every entry of every table read would only lengthen the end of the process
  // (the map stays reachable, so leak checkers see its tables held).
  static auto& tables = *new std::unordered_map<std::string, std::shared_ptr<const StringTable>>;
  // One key for every spelling of a path ("lang/de", "lang/./de/").
  std::error_code ec;
  fs::path normal = fs::absolute(path, ec).lexically_normal();
  if (!normal.has_filename() && normal != normal.root_path()) normal = normal.parent_path();
  const std::string key = ec ? path : normal.string();
  std::lock_guard guard(lock);
  if (const auto found = tables.find(key); found != tables.end()) return found->second;
  // Read under the lock: a language is read once even when several factories ask for it at once.
  auto table = std::make_shared<const StringTable>(Read(path));
  tables.emplace(key, table);
  return table;
}

// The text of lang/en's table, written into a source file by the build (cmake/EmbedText.cmake).
extern "C" const char omf_builtin_english_strings[];
extern "C" const std::size_t omf_builtin_english_strings_size;

std::shared_ptr<const StringTable> StringTable::BuiltinEnglish() {
  // Never destroyed, as the tables read from files are not.
  static const auto* table = new std::shared_ptr<const StringTable>(std::make_shared<const StringTable>(Parse(
      std::string_view(omf_builtin_english_strings, omf_builtin_english_strings_size), kBuiltinEnglishName)));
  return *table;
}

const StringTable::Section* StringTable::Procedure(std::string_view name) const {
  const auto found = _procedures.find(name);
  return found == _procedures.end() ? nullptr : &found->second;
}

} // namespace omf
