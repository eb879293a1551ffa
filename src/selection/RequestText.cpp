#include <omf/selection/RequestText.h>

#include <omf/platform/strings/PlatformStrings.h>

#include <omf/selection/SelectionStream.h>
#include <omf/selection/TextBytes.h>
#include <omf/text/Escapes.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace omf {

namespace selection {

RequestSyntaxError::RequestSyntaxError(int line, int column, std::string problem)
    : std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
                         problem),
      _line(line), _column(column), _problem(std::move(problem)) {}

namespace {

using detail::QuoteText;

// ---- Tokens -------------------------------------------------------------------------------------------

struct Token {
  enum class Kind { kWord, kText, kEnd };
  Kind kind;
  std::string text;
  int line;
  int column;
};

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameKeyword(std::string_view word, std::string_view keyword) {
  if (word.size() != keyword.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (AsciiLower(word[i]) != keyword[i]) return false;
  return true;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

class Lexer {
public:
  explicit Lexer(std::string_view source) : _src(source) {
    if (_src.substr(0, 3) == "\xEF\xBB\xBF") _pos = 3; // a byte order mark is not part of the text
  }

  std::vector<Token> All() {
    std::vector<Token> tokens;
    for (;;) {
      while (_pos < _src.size() && (IsSpace(_src[_pos]) || _src[_pos] == '#')) {
        if (_src[_pos] == '#') {
          while (_pos < _src.size() && _src[_pos] != '\n')
            Advance();
        } else {
          Advance();
        }
      }
      if (_pos >= _src.size()) {
        tokens.push_back({Token::Kind::kEnd, "", _line, _column});
        return tokens;
      }
      tokens.push_back(_src[_pos] == '"' ? Text() : Word());
    }
  }

private:
  // Columns count characters: UTF-8 continuation bytes do not advance them.
  void Advance() {
    const char c = _src[_pos++];
    if (c == '\n') {
      ++_line;
      _column = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++_column;
    }
  }

  Token Word() {
    Token token{Token::Kind::kWord, "", _line, _column};
    while (_pos < _src.size() && !IsSpace(_src[_pos]) && _src[_pos] != '"' && _src[_pos] != '#') {
      token.text.push_back(_src[_pos]);
      Advance();
    }
    // Some words are kept as texts (column tokens, the chart size as written), so they share the limit.
    if (token.text.size() > detail::kMaxStreamText) TooLong(token);
    return token;
  }

  [[noreturn]] static void TooLong(const Token& token) {
    throw RequestSyntaxError(token.line, token.column,
                             std::string(token.kind == Token::Kind::kWord ? "the word" : "the text") +
                                 " has " + std::to_string(token.text.size()) + " bytes; at most " +
                                 std::to_string(detail::kMaxStreamText) + " are allowed");
  }

  Token Text() {
    Token token{Token::Kind::kText, "", _line, _column};
    omf::text::Unquoted read = omf::text::Unquote(_src, _pos, {.allowNul = false, .lineBreakEnds = true});
    if (read.error) {
      // Texts hold no line break, so the error stands on the token's line.
      while (_pos < read.error->at)
        Advance();
      throw RequestSyntaxError(_line, _column, Problem(*read.error));
    }
    while (_pos < read.end)
      Advance();
    token.text = std::move(read.bytes);
    if (token.text.size() > detail::kMaxStreamText) TooLong(token);
    return token;
  }

  // The request syntax words the errors of its texts its own way.
  static std::string Problem(const omf::text::UnquoteError& error) {
    using Kind = omf::text::UnquoteError::Kind;
    switch (error.kind) {
    case Kind::kNotClosed:
      return "the text has no closing \" on its line (write a line break as \\n)";
    case Kind::kNulByte:
      return "a text cannot hold a NUL byte";
    case Kind::kNulEscape:
      return "a text cannot hold a NUL byte (\\x00)";
    case Kind::kBadHexEscape:
      return "\\x must be followed by two hexadecimal digits";
    case Kind::kBackslashAtEnd:
    case Kind::kUnknownEscape:
      break;
    }
    return "unknown escape in a text; use \\\" \\\\ \\n \\r \\t or \\x followed by two hexadecimal digits";
  }

  std::string_view _src;
  std::size_t _pos = 0;
  int _line = 1;
  int _column = 1;
};

// ---- Parser -------------------------------------------------------------------------------------------

class Parser;

// A clause of a request: its keyword, how to read its arguments, and how to write them back (nothing when
// the request does not use the clause, an empty text for a clause without arguments).
struct Clause {
  std::string_view keyword;
  void (*parse)(Parser& in, const Token& keyword, OMSObjectSelector& request);
  std::optional<std::string> (*format)(const OMSObjectSelector& request);
};

const Clause* FindClause(std::string_view word);

std::string Describe(const Token& token) {
  switch (token.kind) {
  case Token::Kind::kWord:
    return "the word " + token.text;
  case Token::Kind::kText:
    return "the text " + QuoteText(token.text);
  default:
    return "the end of the input";
  }
}

class Parser {
public:
  explicit Parser(std::string_view text) : _tokens(Lexer(text).All()) {}

  std::vector<OMSObjectSelector> Requests();

  const Token& Peek() const { return _tokens[_next]; }
  const Token& Take() { return _tokens[_next < _tokens.size() - 1 ? _next++ : _next]; }
  bool PeekWord(std::string_view keyword) const {
    return Peek().kind == Token::Kind::kWord && SameKeyword(Peek().text, keyword);
  }

  [[noreturn]] void Fail(const Token& at, std::string problem) const {
    throw RequestSyntaxError(at.line, at.column, std::move(problem));
  }
  [[noreturn]] void Expected(std::string_view what, const Token& found) const {
    Fail(found, "expected " + std::string(what) + ", found " + Describe(found));
  }

  std::string TakeText(const Token& after) {
    if (Peek().kind != Token::Kind::kText)
      Expected("a text in double quotes after \"" + after.text + "\"", Peek());
    return Take().text;
  }

  // One text or more.
  std::vector<std::string> TakeTexts(const Token& after) {
    std::vector<std::string> texts{TakeText(after)};
    while (Peek().kind == Token::Kind::kText)
      texts.push_back(Take().text);
    return texts;
  }

  bool TakeYesNo(const Token& after) {
    if (PeekWord("yes") || PeekWord("no")) return SameKeyword(Take().text, "yes");
    Expected("yes or no after \"" + after.text + "\"", Peek());
  }

  template <typename Int> Int TakeInteger(const Token& after) {
    const Token& token = Peek();
    std::int64_t value = 0;
    if (token.kind != Token::Kind::kWord || !WholeNumber(token.text, value))
      Expected("a whole number after \"" + after.text + "\"", token);
    if (value < std::numeric_limits<Int>::min() || value > std::numeric_limits<Int>::max())
      Fail(token, token.text + " is outside the range " + std::to_string(std::numeric_limits<Int>::min()) +
                      " to " + std::to_string(std::numeric_limits<Int>::max()));
    Take();
    return static_cast<Int>(value);
  }

  static bool WholeNumber(std::string_view text, std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end;
  }

private:
  OMSObjectSelector Request(const Token& opening);
  void Types(const Token& opening, OMSObjectSelector& request);

  std::vector<Token> _tokens;
  std::size_t _next = 0;
};

// Words of the written form are separated by one blank.
void AppendWord(std::string& out, std::string_view word) {
  if (!out.empty()) out += ' ';
  out += word;
}

// ---- Object types -------------------------------------------------------------------------------------

struct TypeName {
  std::string_view name;
  std::uint32_t bit;
};
constexpr std::array<TypeName, 9> kTypeNames = {{{"charts", OMSObjectSelector::kCHART},
                                                 {"texts", OMSObjectSelector::kTEXT},
                                                 {"logs", OMSObjectSelector::kLOG},
                                                 {"warnings", OMSObjectSelector::kWARNINGS},
                                                 {"tables", OMSObjectSelector::kTABLE},
                                                 {"headings", OMSObjectSelector::kHEADING},
                                                 {"pagetitles", OMSObjectSelector::kPAGETITLE},
                                                 {"trees", OMSObjectSelector::kTREE},
                                                 {"models", OMSObjectSelector::kMODEL}}};
constexpr std::uint32_t kAllTypes = 511;

// The bits a type word stands for: a name (plural or singular), all, none, or a number of bits.
std::optional<std::uint32_t> TypeBits(std::string_view word) {
  for (const TypeName& type : kTypeNames)
    if (SameKeyword(word, type.name) || SameKeyword(std::string(word) + "s", type.name)) return type.bit;
  if (SameKeyword(word, "all")) return kAllTypes;
  if (SameKeyword(word, "none")) return 0;
  std::int64_t bits = 0;
  if (Parser::WholeNumber(word, bits) && bits >= 0 && bits <= std::numeric_limits<std::uint32_t>::max())
    return static_cast<std::uint32_t>(bits);
  return std::nullopt;
}

std::string FormatTypes(std::uint32_t mask) {
  if (mask == 0) return "none";
  std::string out;
  std::uint32_t rest = mask;
  if ((mask & kAllTypes) == kAllTypes) {
    out = "all";
    rest &= ~kAllTypes;
  } else {
    for (const TypeName& type : kTypeNames)
      if ((mask & type.bit) != 0) {
        AppendWord(out, type.name);
        rest &= ~type.bit;
      }
  }
  if (rest != 0) AppendWord(out, std::to_string(rest)); // bits without a name
  return out;
}

void Parser::Types(const Token& opening, OMSObjectSelector& request) {
  std::uint32_t mask = 0;
  bool any = false;
  while (Peek().kind == Token::Kind::kWord) {
    const std::optional<std::uint32_t> bits = TypeBits(Peek().text);
    if (!bits) break;
    mask |= *bits;
    any = true;
    Take();
  }
  if (!any)
    Expected("an object type (charts, texts, logs, warnings, tables, headings, pagetitles, trees, models, "
             "all or none) after \"" +
                 opening.text + "\"",
             Peek());
  request.SelectType(mask);
}

// ---- Criteria ------------------------------------------------------------------------------------------

struct TextCriterion {
  std::string_view keyword;
  void (OMSSelector::*add)(std::string_view);
  const std::vector<std::string>& (OMSSelector::*get)() const;
};
constexpr std::array<TextCriterion, 3> kTextCriteria = {{
    {"commands", &OMSSelector::AddCommands, &OMSSelector::GetCommands},
    {"subtypes", &OMSSelector::AddSubtypes, &OMSSelector::GetSubtypes},
    {"labels", &OMSSelector::AddNames, &OMSSelector::GetNames},
}};

void Instances(Parser& in, const Token& keyword, OMSSelector& set) {
  bool any = false;
  for (;;) {
    const Token& token = in.Peek();
    std::int64_t number = 0;
    if (in.PeekWord("last")) {
      set.AddLastInstance();
    } else if (token.kind == Token::Kind::kWord && Parser::WholeNumber(token.text, number)) {
      if (number < 1) in.Fail(token, "instance numbers start at 1");
      if (number > std::numeric_limits<std::int32_t>::max())
        in.Fail(token, "the instance number " + token.text + " is too large");
      set.AddInstances(static_cast<std::int32_t>(number));
    } else {
      break;
    }
    in.Take();
    any = true;
  }
  if (!any) in.Expected("instance numbers or last after \"" + keyword.text + "\"", in.Peek());
}

OMSSelector Criteria(Parser& in, const Token& clause) {
  OMSSelector set;
  for (;;) {
    const TextCriterion* text = nullptr;
    for (const TextCriterion& row : kTextCriteria)
      if (in.PeekWord(row.keyword)) text = &row;
    if (text != nullptr) {
      const Token keyword = in.Take();
      for (const std::string& value : in.TakeTexts(keyword))
        (set.*(text->add))(value);
    } else if (in.PeekWord("instances")) {
      const Token keyword = in.Take();
      Instances(in, keyword, set);
    } else {
      break;
    }
  }
  if (set.EmptySubcommand())
    in.Expected("commands, subtypes, labels or instances after \"" + clause.text + "\"", in.Peek());
  return set;
}

std::optional<std::string> FormatCriteria(const OMSSelector& set) {
  if (set.EmptySubcommand()) return std::nullopt;
  std::string out;
  const auto append = [&out](std::string_view part) { AppendWord(out, part); };
  for (const TextCriterion& row : kTextCriteria) {
    const std::vector<std::string>& values = (set.*(row.get))();
    if (values.empty()) continue;
    append(row.keyword);
    for (const std::string& value : values)
      append(QuoteText(value));
  }
  if (set.HasInstances()) {
    append("instances");
    for (std::int32_t instance : set.GetInstances())
      append(std::to_string(instance));
    if (set.GetHasLastInstance()) append("last");
  }
  return out;
}

// ---- Columns --------------------------------------------------------------------------------------------

bool EndsColumnTokens(const Parser& in) {
  return in.Peek().kind != Token::Kind::kWord || FindClause(in.Peek().text) != nullptr ||
         in.PeekWord("end") || in.PeekWord("select");
}

void Columns(Parser& in, const Token& keyword, OMSObjectSelector& request) {
  OMSColumns columns;
  if (in.PeekWord("dimnames")) {
    const Token names = in.Take();
    do {
      const Token& token = in.Peek();
      const std::string name = in.TakeText(names);
      if (columns.HasColumn(name))
        in.Fail(token, "the dimension name " + QuoteText(name) + " is given twice");
      columns.AddColumn(name);
    } while (in.Peek().kind == Token::Kind::kText);
  } else {
    if (EndsColumnTokens(in))
      in.Expected("column tokens (such as R1, C2 or LALL) or dimnames after \"" + keyword.text + "\"",
                  in.Peek());
    while (!EndsColumnTokens(in)) {
      const Token& token = in.Take();
      const OmParsedColumn column(token.text);
      if (!column.IsValidToken())
        in.Fail(token, "\"" + token.text +
                           "\" is not a column token: write R, C or L and a dimension number from 1, or ALL");
      if (columns.HasColumn(column)) in.Fail(token, "the column token " + token.text + " is given twice");
      columns.AddColumn(column);
    }
  }
  request.SetColumn(columns);
}

std::optional<std::string> FormatColumns(const OMSObjectSelector& request) {
  const OMSColumns& columns = request.GetColumn();
  std::string out;
  if (columns.GetColumnsForm() == OMSColumns::kDIMNAMES && !columns.GetDimNames().empty()) {
    out = "dimnames";
    for (const std::string& name : columns.GetDimNames())
      AppendWord(out, QuoteText(name));
  } else if (columns.GetColumnsForm() == OMSColumns::kSEQUENCE && !columns.GetSequences().empty()) {
    for (const OmParsedColumn& column : columns.GetSequences())
      AppendWord(out, column.GetColumnToken());
  } else {
    return std::nullopt;
  }
  return out;
}

// ---- Clauses ----------------------------------------------------------------------------------------------

std::string YesNo(bool value) {
  return value ? "yes" : "no";
}

std::string FormatNumber(double value) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? std::string(buffer, end) : std::to_string(value);
}

void ChartSize(Parser& in, const Token& keyword, OMSObjectSelector& request) {
  const Token& token = in.Peek();
  double size = 0;
  bool ok = token.kind == Token::Kind::kWord;
  if (ok) {
    const char* end = token.text.data() + token.text.size();
    const auto [stop, error] = std::from_chars(token.text.data(), end, size);
    ok = error == std::errc() && stop == end;
  }
  if (!ok) in.Expected("a number after \"" + keyword.text + "\"", token);
  if (!std::isfinite(size)) in.Fail(token, "the chart size must be a finite number");
  const std::string written = in.Take().text;
  // The size is also kept as text, by default as written.
  const std::string text = in.Peek().kind == Token::Kind::kText ? in.Take().text : written;
  request.SetChartSize(size, text);
}

using Opt = std::optional<std::string>;
using S = OMSObjectSelector;

// The three shapes most export options take: a yes/no, a text (written when not empty) and an image type.
template <void (S::*Set)(bool), bool (S::*Get)() const, bool (S::*Given)() const>
constexpr Clause YesNoClause(std::string_view keyword) {
  return {keyword, [](Parser& in, const Token& k, S& r) { (r.*Set)(in.TakeYesNo(k)); },
          [](const S& r) { return (r.*Given)() ? Opt(YesNo((r.*Get)())) : std::nullopt; }};
}

template <void (S::*Set)(std::string_view), const std::string& (S::*Get)() const>
constexpr Clause TextClause(std::string_view keyword) {
  return {keyword, [](Parser& in, const Token& k, S& r) { (r.*Set)(in.TakeText(k)); },
          [](const S& r) { return (r.*Get)().empty() ? std::nullopt : Opt(QuoteText((r.*Get)())); }};
}

template <void (S::*Set)(S::ImageType), S::ImageType (S::*Get)() const, bool (S::*Given)() const>
constexpr Clause ImageTypeClause(std::string_view keyword) {
  return {keyword,
          [](Parser& in, const Token& k, S& r) { (r.*Set)(S::ImageType{in.TakeInteger<std::int32_t>(k)}); },
          [](const S& r) { return (r.*Given)() ? Opt(std::to_string((r.*Get)())) : std::nullopt; }};
}

void Notes(Parser& in, const Token& keyword, S& request) {
  if (!in.PeekWord("show") && !in.PeekWord("hide"))
    in.Expected("show or hide after \"" + keyword.text + "\"", in.Peek());
  request.ShowNotesTables(SameKeyword(in.Take().text, "show"));
}

void Tag(Parser& in, const Token& keyword, S& request) {
  const Token& token = in.Peek();
  const std::string tag = in.TakeText(keyword);
  if (tag.empty()) in.Fail(token, "the tag must not be empty");
  request.SetOMSTag(tag);
}

void NumberedColumn(Parser& in, const Token& keyword, S& request) {
  const std::string name = in.TakeText(keyword);
  const bool isDefault = in.PeekWord("default");
  if (isDefault) in.Take();
  request.SetNumberedColumnName(name, isDefault);
}

// In the order the written form lists them.
const std::array<Clause, 20> kClauses = {{
    {"if", [](Parser& in, const Token& k, S& r) { r.AddIfOption(Criteria(in, k)); },
     [](const S& r) { return FormatCriteria(r.GetIfOption()); }},
    {"exceptif", [](Parser& in, const Token& k, S& r) { r.AddExceptIfOption(Criteria(in, k)); },
     [](const S& r) { return FormatCriteria(r.GetExceptIfOption()); }},
    // Only a choice made by the user is written; a "hide" read from a stream has lost that mark but
    // still means hide.
    {"notes", Notes,
     [](const S& r) {
       return r.NotesTablesSpecified() || !r.ShowNotesTables() ? Opt(r.ShowNotesTables() ? "show" : "hide")
                                                               : std::nullopt;
     }},
    {"columns", Columns, FormatColumns},
    {"tag", Tag,
     [](const S& r) { return r.GetOMSTag().empty() ? std::nullopt : Opt(QuoteText(r.GetOMSTag())); }},
    {"infoselection", [](Parser&, const Token&, S& r) { r.SetInfoSelection(); },
     [](const S& r) { return r.GetInfoSelection() != 0 ? Opt("") : std::nullopt; }},
    YesNoClause<&S::SetDestinationIsViewer, &S::GetDestinationIsViewer, &S::GetViewerSpecified>("viewer"),
    {"numberedcolumn", NumberedColumn,
     [](const S& r) {
       if (r.GetNumberedColumnName().empty() && r.IsNumberedColumnNameDefault()) return Opt();
       return Opt(QuoteText(r.GetNumberedColumnName()) + (r.IsNumberedColumnNameDefault() ? " default" : ""));
     }},
    YesNoClause<&S::SetExportImages, &S::GetExportImages, &S::ExportImagesSpecified>("images"),
    {"imagemaps", [](Parser& in, const Token& k, S& r) { r.SetExportImageMaps(in.TakeYesNo(k)); },
     [](const S& r) { return r.GetExportImageMaps() ? Opt("yes") : std::nullopt; }},
    {"imageformat", [](Parser& in, const Token& k, S& r) { r.SetImageFormat(in.TakeInteger<short>(k)); },
     [](const S& r) {
       return r.ImageFormatSpecified() ? Opt(std::to_string(r.GetImageFormat())) : std::nullopt;
     }},
    TextClause<&S::SetImageRootName, &S::GetImageRootName>("imageroot"),
    {"chartsize", ChartSize,
     [](const S& r) {
       if (!r.ChartSizeSpecified()) return Opt();
       const std::string number = FormatNumber(r.GetChartSize());
       return Opt(number == r.GetChartSizeString() ? number
                                                   : number + " " + QuoteText(r.GetChartSizeString()));
     }},
    TextClause<&S::SetTableStyle, &S::GetTableStyle>("tablestyle"),
    ImageTypeClause<&S::SetChartFormat, &S::GetChartFormat, &S::ChartFormatSpecified>("chartformat"),
    ImageTypeClause<&S::SetTreeFormat, &S::GetTreeFormat, &S::TreeFormatSpecified>("treeformat"),
    ImageTypeClause<&S::SetModelFormat, &S::GetModelFormat, &S::ModelFormatSpecified>("modelformat"),
    YesNoClause<&S::SetPivotingAllowed, &S::GetPivitingAllowed, &S::PivotingAllowedSpecified>("pivoting"),
    TextClause<&S::SetJavaScriptFile, &S::getJavaScriptFile>("script"),
    {"nowarning", [](Parser&, const Token&, S& r) { r.SetNoWarning(); },
     [](const S& r) { return r.GetNoWarning() ? Opt("") : std::nullopt; }},
}};

const Clause* FindClause(std::string_view word) {
  for (const Clause& clause : kClauses)
    if (SameKeyword(word, clause.keyword)) return &clause;
  return nullptr;
}

// ---- Requests ------------------------------------------------------------------------------------------

std::vector<OMSObjectSelector> Parser::Requests() {
  std::vector<OMSObjectSelector> requests;
  while (Peek().kind != Token::Kind::kEnd) {
    if (!PeekWord("select")) Expected("\"select\" to begin a request", Peek());
    const Token opening = Take();
    requests.push_back(Request(opening));
  }
  return requests;
}

OMSObjectSelector Parser::Request(const Token& opening) {
  OMSObjectSelector request;
  Types(opening, request);
  std::array<int, kClauses.size()> seenAtLine{}; // 0: not yet given
  bool anyClause = false;
  for (;;) {
    const Token& token = Peek();
    if (token.kind == Token::Kind::kEnd)
      Fail(token, "the request that begins at line " + std::to_string(opening.line) + " has no \"end\"");
    if (PeekWord("end")) {
      Take();
      return request;
    }
    const Clause* clause = token.kind == Token::Kind::kWord ? FindClause(token.text) : nullptr;
    if (clause == nullptr) {
      if (PeekWord("select"))
        Fail(token, "expected \"end\" before the next request: the request that begins at line " +
                        std::to_string(opening.line) + " is not closed");
      Expected(anyClause ? "a clause (if, exceptif, notes, columns, tag, ...) or \"end\""
                         : "an object type, a clause (if, exceptif, notes, columns, tag, ...) or \"end\"",
               token);
    }
    int& seen = seenAtLine[static_cast<std::size_t>(clause - kClauses.data())];
    if (seen != 0)
      Fail(token, "\"" + std::string(clause->keyword) + "\" is given twice in this request (first at line " +
                      std::to_string(seen) + ")");
    seen = token.line;
    const Token keyword = Take();
    clause->parse(*this, keyword, request);
    anyClause = true;
  }
}

} // namespace

std::vector<OMSObjectSelector> ParseRequestText(std::string_view text) {
  return Parser(text).Requests();
}

std::string FormatRequestText(const std::vector<OMSObjectSelector>& requests) {
  std::string out;
  for (const OMSObjectSelector& request : requests) {
    if (!out.empty()) out += "\n";
    out += "select " + FormatTypes(request.GetSelection()) + "\n";
    for (const Clause& clause : kClauses)
      if (const std::optional<std::string> arguments = clause.format(request))
        out += "  " + std::string(clause.keyword) + (arguments->empty() ? "" : " " + *arguments) + "\n";
    out += "end\n";
  }
  return out;
}

} // namespace selection

} // namespace omf
