#include <omf/stream/MessageScript.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>

#include <omf/platform/message/MessageHandler.h>
#include <omf/protocol/ProtocolError.h>
#include <omf/stream/WireFormat.h>
#include <omf/text/Escapes.h>

namespace omf {

namespace stream {

namespace {

// ---- words that stand for field values

// The words of a code field are its row's (protocol/Messages.def).
std::optional<std::int64_t> CodeValue(const FieldSpec& f, std::string_view word) {
  for (const CodeWord& c : f.words)
    if (word == c.word) return c.value;
  return std::nullopt;
}

const char* CodeWordOf(const FieldSpec& f, std::int64_t value) {
  for (const CodeWord& c : f.words)
    if (c.value == value) return c.word;
  return nullptr;
}

// The wire format word of number and value messages is written as a format.
bool IsFormatField(const FieldSpec& f) {
  return f.kind == FieldKind::U32 && std::strcmp(f.name, "format") == 0;
}

// The probe of the byte-order message is written in the sender's order (see ByteOrderProbe), so the script
// shows the value the sender meant.
bool IsProbe(const MessageSpec& spec, std::size_t k) {
  return spec.type == TypeNumber(MessageType::ByteOrder) && k == msg::ByteOrder::kProbe;
}

std::int64_t SwapProbe(std::int64_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  return static_cast<std::int32_t>((u >> 24) | ((u >> 8) & 0xFF00u) | ((u << 8) & 0xFF0000u) | (u << 24));
}

bool IsMultipart(short type) {
  return type == TypeNumber(MessageType::ProcedureEnd) || type == TypeNumber(MessageType::Model);
}

const char* OrderWord(ByteOrder order) {
  return order == ByteOrder::Big ? "big" : "little";
}

ByteOrder Other(ByteOrder order) {
  return order == ByteOrder::Big ? ByteOrder::Little : ByteOrder::Big;
}

// ---- quoting

constexpr char kHex[] = "0123456789abcdef";

std::string Hex(std::string_view bytes) {
  std::string out = "x\"";
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out + "\"";
}

// ---- reading a line

struct Token {
  enum Kind { End, Bare, String, HexBytes, Equals, Comma };
  Kind kind = End;
  std::string text; // the word, or the bytes of a string
  std::size_t column = 0;
};

std::string Shown(const Token& t) {
  switch (t.kind) {
  case Token::End:
    return "the end of the line";
  case Token::Equals:
    return "\"=\"";
  case Token::Comma:
    return "\",\"";
  case Token::Bare:
    return "\"" + t.text + "\"";
  case Token::String:
    return "a quoted string";
  default:
    return "hex bytes";
  }
}

class Lexer {
public:
  Lexer(std::string_view line, std::size_t lineNo) : _line(line), _lineNo(lineNo) {}

  [[noreturn]] void Fail(std::size_t column, const std::string& problem) const {
    throw ScriptError(_lineNo, column, problem);
  }

  const Token& Peek() {
    if (!_peeked) {
      _next = Read();
      _peeked = true;
    }
    return _next;
  }

  Token Next() {
    Peek();
    _peeked = false;
    return std::move(_next);
  }

private:
  static bool Ends(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '=' || c == ',' || c == '"' || c == '#';
  }

  Token Read() {
    while (_at < _line.size() && (_line[_at] == ' ' || _line[_at] == '\t' || _line[_at] == '\r'))
      ++_at;
    Token t;
    t.column = _at + 1;
    if (_at >= _line.size() || _line[_at] == '#') return t;
    const char c = _line[_at];
    if (c == '=' || c == ',') {
      ++_at;
      t.kind = c == '=' ? Token::Equals : Token::Comma;
      return t;
    }
    if (c == '"') return ReadString(t);
    if (c == 'x' && _at + 1 < _line.size() && _line[_at + 1] == '"') return ReadHex(t);
    const std::size_t start = _at;
    while (_at < _line.size() && !Ends(_line[_at]))
      ++_at;
    t.kind = Token::Bare;
    t.text = std::string(_line.substr(start, _at - start));
    return t;
  }

  Token& ReadString(Token& t) {
    t.kind = Token::String;
    omf::text::Unquoted read = omf::text::Unquote(_line, _at);
    if (read.error) Fail(read.error->at + 1, read.error->message);
    t.text = std::move(read.bytes);
    _at = read.end;
    return t;
  }

  Token& ReadHex(Token& t) {
    t.kind = Token::HexBytes;
    _at += 2;
    int high = -1;
    for (;;) {
      if (_at >= _line.size()) Fail(t.column, "hex bytes not closed");
      const char c = _line[_at];
      if (c == '"') break;
      if (c == ' ' || c == '\t') {
        ++_at;
        continue;
      }
      const int d = omf::text::HexDigit(c);
      if (d < 0) Fail(_at + 1, std::string("\"") + c + "\" is not a hex digit");
      if (high < 0) {
        high = d;
      } else {
        t.text += static_cast<char>(high * 16 + d);
        high = -1;
      }
      ++_at;
    }
    if (high >= 0) Fail(t.column, "hex bytes need an even number of digits");
    ++_at;
    return t;
  }

  std::string_view _line;
  std::size_t _lineNo;
  std::size_t _at = 0;
  Token _next;
  bool _peeked = false;
};

struct ParsedField {
  std::string name;
  std::size_t column = 0;
  std::vector<Token> items; // the value: one item, or several separated by commas
};

// ---- assembling one line

class LineAssembler {
public:
  LineAssembler(std::string_view line, std::size_t lineNo, ByteOrder& order)
      : _lex(line, lineNo), _order(order) {}

  // The message of the line, or nothing for a blank, comment or directive line.
  std::optional<StreamRecord> Run() {
    Token name = _lex.Next();
    if (name.kind == Token::End) return std::nullopt;
    if (name.kind != Token::Bare) _lex.Fail(name.column, "expected a message name, found " + Shown(name));
    _nameColumn = name.column;
    if (name.text == "byte-order" && _lex.Peek().kind == Token::Bare) {
      Token word = _lex.Next();
      if (_lex.Peek().kind != Token::Equals) return Directive(word);
      ReadFields(&word);
    } else {
      ReadFields(nullptr);
    }
    if (name.text == "raw") return Raw();
    const MessageSpec* spec = FindMessageSpec(std::string_view(name.text));
    if (spec == nullptr) _lex.Fail(name.column, "unknown message \"" + name.text + "\"");
    if (IsMultipart(spec->type) && UsesParts()) return Multipart(*spec);
    return Row(*spec);
  }

private:
  std::nullopt_t Directive(const Token& word) {
    if (word.text == "big")
      _order = ByteOrder::Big;
    else if (word.text == "little")
      _order = ByteOrder::Little;
    else
      _lex.Fail(word.column, "byte-order expects \"big\" or \"little\", found \"" + word.text + "\"");
    const Token rest = _lex.Next();
    if (rest.kind != Token::End) _lex.Fail(rest.column, "expected the end of the line, found " + Shown(rest));
    return std::nullopt;
  }

  // Fields up to the end of the line; `first` is a field name already read.
  void ReadFields(Token* first) {
    for (;;) {
      Token name = first ? std::move(*first) : _lex.Next();
      first = nullptr;
      if (name.kind == Token::End) return;
      if (name.kind != Token::Bare) _lex.Fail(name.column, "expected a field name, found " + Shown(name));
      const Token eq = _lex.Next();
      if (eq.kind != Token::Equals)
        _lex.Fail(eq.column, "expected \"=\" after field name \"" + name.text + "\", found " + Shown(eq));
      ParsedField f;
      f.name = name.text;
      f.column = name.column;
      for (;;) {
        Token item = _lex.Next();
        if (item.kind != Token::Bare && item.kind != Token::String && item.kind != Token::HexBytes)
          _lex.Fail(item.column, "expected a value for field \"" + f.name + "\", found " + Shown(item));
        f.items.push_back(std::move(item));
        if (_lex.Peek().kind != Token::Comma) break;
        _lex.Next();
      }
      for (const ParsedField& g : _fields)
        if (g.name == f.name && f.name != "part") _lex.Fail(f.column, "field \"" + f.name + "\" given twice");
      _fields.push_back(std::move(f));
    }
  }

  [[noreturn]] void Fail(const ParsedField& f, const std::string& problem) const {
    _lex.Fail(f.items.front().column, "field \"" + f.name + "\" " + problem);
  }

  const Token& Single(const ParsedField& f) const {
    if (f.items.size() != 1)
      _lex.Fail(f.items[1].column,
                "field \"" + f.name + "\" takes one value, found " + std::to_string(f.items.size()));
    return f.items.front();
  }

  static std::optional<std::int64_t> ParseInteger(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
      negative = s[0] == '-';
      s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
      base = 16;
      s.remove_prefix(2);
    }
    std::uint64_t u = 0;
    if (s.empty() || s[0] == '-' || s[0] == '+') return std::nullopt;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), u, base);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    if (!negative) {
      if (u > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
      return static_cast<std::int64_t>(u);
    }
    if (u > static_cast<std::uint64_t>(INT64_MAX) + 1) return std::nullopt;
    return static_cast<std::int64_t>(0 - u);
  }

  std::int64_t Integer(const ParsedField& f, const Token& t) const {
    if (t.kind == Token::Bare)
      if (const auto v = ParseInteger(t.text)) return *v;
    _lex.Fail(t.column, "field \"" + f.name + "\" expects an integer, found " + Shown(t));
  }

  // A number field: an integer, or a word that stands for one.
  std::int64_t IntegerField(const FieldSpec& fs, const ParsedField& f) const {
    const Token& t = Single(f);
    if (t.kind == Token::Bare)
      if (const auto v = CodeValue(fs, t.text)) return *v;
    return Integer(f, t);
  }

  std::int64_t FormatField(const ParsedField& f) const {
    if (f.items.size() == 3) {
      std::uint32_t word = 0;
      for (std::size_t i = 0; i < 3; ++i) {
        const std::int64_t v = Integer(f, f.items[i]);
        if (v < 0 || v > 255)
          _lex.Fail(f.items[i].column,
                    "field \"" + f.name + "\": " + std::to_string(v) + " does not fit a byte");
        word |= static_cast<std::uint32_t>(v) << (16 - 8 * i); // type, width, decimals
      }
      return word;
    }
    const Token& t = Single(f);
    if (t.kind == Token::Bare) {
      if (const auto w = WireFormat::Parse(t.text)) return w->Word();
      if (const auto v = ParseInteger(t.text)) return *v;
    }
    _lex.Fail(t.column,
              "field \"" + f.name +
                  "\" expects a format such as F8.2, a triple type,width,decimals or the word as an "
                  "integer, found " +
                  Shown(t));
  }

  double RealField(const ParsedField& f) const {
    const Token& t = Single(f);
    double v = 0;
    if (t.kind == Token::Bare) {
      const char* end = t.text.data() + t.text.size();
      const auto [ptr, ec] = std::from_chars(t.text.data(), end, v);
      if (ec == std::errc() && ptr == end) return v;
    }
    _lex.Fail(t.column, "field \"" + f.name + "\" expects a number, found " + Shown(t));
  }

  std::string BytesField(const ParsedField& f) const {
    const Token& t = Single(f);
    if (t.kind != Token::String && t.kind != Token::HexBytes)
      _lex.Fail(t.column, "field \"" + f.name + "\" expects a quoted string or x\"hex\", found " + Shown(t));
    return t.text;
  }

  StreamRecord Row(const MessageSpec& spec) const {
    std::vector<FieldValue> values(spec.fieldCount);
    std::array<std::size_t, kMaxFields> columns{};
    columns.fill(_nameColumn);
    for (const ParsedField& f : _fields) {
      const int found = FieldIndex(spec, f.name);
      if (found < 0) UnknownField(spec, f);
      const auto k = static_cast<std::size_t>(found);
      const FieldSpec& fs = spec.fields[k];
      columns[k] = f.items.front().column;
      switch (fs.kind) {
      case FieldKind::F64:
        values[k] = FieldValue::Real(RealField(f));
        break;
      case FieldKind::Text:
      case FieldKind::CText:
      case FieldKind::Rest:
        values[k] = FieldValue::Bytes(BytesField(f));
        break;
      case FieldKind::NumOrText:
        if (Single(f).kind == Token::Bare)
          values[k] = FieldValue::Real(RealField(f));
        else
          values[k] = FieldValue::Bytes(BytesField(f));
        break;
      default:
        values[k] = FieldValue::Int(IsFormatField(fs) ? FormatField(f) : IntegerField(fs, f));
        if (IsProbe(spec, k) && NeedsSwap(_order)) values[k].integer = SwapProbe(values[k].integer);
        break;
      }
    }
    // A probe left out announces the sender's own order.
    constexpr std::size_t kProbe = msg::ByteOrder::kProbe;
    if (IsProbe(spec, kProbe) && values[kProbe].holds == FieldValue::Holds::Nothing)
      values[kProbe] = FieldValue::Int(ByteOrderProbe(_order));
    StreamRecord r;
    r.type = spec.type;
    try {
      r.payload = EncodeMessage(spec, values, _order);
    } catch (const EncodeError& e) {
      const std::size_t k = e.FieldIndex();
      _lex.Fail(k < kMaxFields ? columns[k] : _nameColumn, "field \"" + e.Field() + "\": " + e.Problem());
    }
    return r;
  }

  [[noreturn]] void UnknownField(const MessageSpec& spec, const ParsedField& f) const {
    std::string known;
    for (std::size_t k = 0; k < spec.fieldCount; ++k) {
      if (!known.empty()) known += ", ";
      known += spec.fields[k].name;
    }
    if (IsMultipart(spec.type)) known += ", part, total, offset, data";
    _lex.Fail(f.column, "unknown field \"" + f.name + "\" of " + spec.name +
                            (known.empty() ? " (it has no fields)" : " (its fields: " + known + ")"));
  }

  bool UsesParts() const {
    for (const ParsedField& f : _fields)
      if (f.name != "fragment") return true;
    return false;
  }

  // A multipart message written as its parts (one fragment holding the whole body) or as one fragment's
  // header and bytes.
  StreamRecord Multipart(const MessageSpec& spec) const {
    std::vector<MessagePart> parts;
    std::optional<std::int64_t> total, offset;
    std::optional<std::string> data;
    const ParsedField* first = nullptr;
    const ParsedField* firstHeader = nullptr;
    for (const ParsedField& f : _fields) {
      if (f.name == "part") {
        first = first ? first : &f;
        parts.push_back(Part(f));
      } else if (f.name == "total" || f.name == "offset") {
        firstHeader = firstHeader ? firstHeader : &f;
        const std::int64_t v = Integer(f, Single(f));
        if (v < 0 || v > UINT32_MAX) Fail(f, "value " + std::to_string(v) + " is outside 0 to 4294967295");
        (f.name == "total" ? total : offset) = v;
      } else if (f.name == "data") {
        firstHeader = firstHeader ? firstHeader : &f;
        data = BytesField(f);
      } else if (f.name == "fragment") {
        _lex.Fail(f.column, "field \"fragment\" gives the whole payload and cannot be combined with others");
      } else {
        UnknownField(spec, f);
      }
    }
    if (first && firstHeader)
      _lex.Fail(firstHeader->column, "field \"" + firstHeader->name + "\" cannot be combined with parts");
    StreamRecord r;
    r.type = spec.type;
    if (first) {
      r.payload = SplitIntoFragments(EncodeMessageBody(parts), 0).front();
      return r;
    }
    const std::string bytes = data.value_or("");
    const std::int64_t at = offset.value_or(0);
    const std::int64_t size = total.value_or(at + static_cast<std::int64_t>(bytes.size()));
    r.payload.resize(8);
    for (int i = 0; i < 4; ++i) {
      r.payload[static_cast<std::size_t>(i)] =
          static_cast<unsigned char>(static_cast<std::uint64_t>(size) >> (8 * i));
      r.payload[static_cast<std::size_t>(4 + i)] =
          static_cast<unsigned char>(static_cast<std::uint64_t>(at) >> (8 * i));
    }
    r.payload.insert(r.payload.end(), bytes.begin(), bytes.end());
    return r;
  }

  // part=KIND,"text" or part=KIND,FLAG,NUMBER,"text".
  MessagePart Part(const ParsedField& f) const {
    if (f.items.size() != 2 && f.items.size() != 4)
      Fail(f, "expects KIND,\"text\" or KIND,FLAG,NUMBER,\"text\"; found " + std::to_string(f.items.size()) +
                  " values");
    const auto ranged = [&](const Token& t, std::int64_t low, std::int64_t high) {
      const std::int64_t v = Integer(f, t);
      if (v < low || v > high)
        _lex.Fail(t.column, "field \"part\": " + std::to_string(v) + " is outside " + std::to_string(low) +
                                " to " + std::to_string(high));
      return v;
    };
    MessagePart p;
    p.kind = static_cast<std::int32_t>(ranged(f.items[0], INT32_MIN, INT32_MAX));
    if (f.items.size() == 4) {
      p.flag = static_cast<std::uint8_t>(ranged(f.items[1], 0, 255));
      p.number = static_cast<std::int32_t>(ranged(f.items[2], INT32_MIN, INT32_MAX));
    }
    const Token& text = f.items.back();
    if (text.kind != Token::String && text.kind != Token::HexBytes)
      _lex.Fail(text.column,
                "field \"part\" expects its text last, quoted or x\"hex\", found " + Shown(text));
    p.text = text.text;
    return p;
  }

  StreamRecord Raw() const {
    StreamRecord r;
    bool typed = false;
    for (const ParsedField& f : _fields) {
      if (f.name == "type") {
        const std::int64_t v = Integer(f, Single(f));
        if (v < INT16_MIN || v > INT16_MAX)
          Fail(f, "value " + std::to_string(v) + " is outside -32768 to 32767");
        r.type = static_cast<short>(v);
        typed = true;
      } else if (f.name == "payload") {
        const std::string bytes = BytesField(f);
        r.payload.assign(bytes.begin(), bytes.end());
      } else {
        _lex.Fail(f.column, "unknown field \"" + f.name + "\" of raw (its fields: type, payload)");
      }
    }
    if (!typed) _lex.Fail(_nameColumn, "raw needs the message type: raw type=T payload=...");
    return r;
  }

  Lexer _lex;
  ByteOrder& _order;
  std::size_t _nameColumn = 1;
  std::vector<ParsedField> _fields;
};

// ---- writing a line

std::string Number(double v) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v);
  return std::string(buffer.data(), result.ptr);
}

std::string FormatText(std::uint32_t word) {
  if (word >> 24 != 0) return std::to_string(word); // the reserved byte is set: keep it
  const WireFormat w = WireFormat::FromWord(word);
  if (const auto name = w.Name()) return *name;
  return std::to_string(w.type) + "," + std::to_string(w.width) + "," + std::to_string(w.decimals);
}

std::optional<std::string> RowLine(const MessageSpec& spec, const StreamRecord& r, ByteOrder order) {
  std::vector<unsigned char> copy = r.payload; // decoding swaps in place
  std::vector<FieldValue> values;
  try {
    values = FieldValuesOf(DecodeMessage(spec, copy.data(), copy.size(), NeedsSwap(order)));
  } catch (const ProtocolError&) {
    return std::nullopt;
  }
  std::string line = spec.name;
  for (std::size_t k = 0; k < spec.fieldCount; ++k) {
    const FieldSpec& f = spec.fields[k];
    const FieldValue& v = values[k];
    if (IsLengthField(spec, k) || (f.kind == FieldKind::Skip && v.integer == 0)) continue;
    line += ' ';
    line += f.name;
    line += '=';
    if (v.holds == FieldValue::Holds::Real) {
      line += Number(v.real);
    } else if (v.holds == FieldValue::Holds::Bytes) {
      line += QuoteBytes(v.bytes);
    } else if (IsFormatField(f)) {
      line += FormatText(static_cast<std::uint32_t>(v.integer));
    } else {
      const std::int64_t shown = IsProbe(spec, k) && NeedsSwap(order) ? SwapProbe(v.integer) : v.integer;
      const char* word = CodeWordOf(f, shown);
      line += word ? word : std::to_string(shown);
    }
  }
  return line;
}

std::uint32_t Le32(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

std::string PartText(const MessagePart& p) {
  std::string out = "part=";
  out += std::to_string(p.kind);
  if (p.flag != 0 || p.number != 0) {
    out += ',';
    out += std::to_string(p.flag);
    out += ',';
    out += std::to_string(p.number);
  }
  out += ',';
  out += QuoteBytes(p.text);
  return out;
}

std::optional<std::string> MultipartLine(const MessageSpec& spec, const StreamRecord& r) {
  const std::vector<unsigned char>& p = r.payload;
  std::string line = spec.name;
  if (p.empty()) return line;
  if (p.size() < 8) {
    // Too short for a fragment header: the payload as the row's one field.
    return line +
           " fragment=" + QuoteBytes(std::string_view(reinterpret_cast<const char*>(p.data()), p.size()));
  }
  const std::uint32_t total = Le32(p.data());
  const std::uint32_t offset = Le32(p.data() + 4);
  if (offset == 0 && total == p.size() - 8 && total != 0) {
    MessageHandler handler;
    std::string parts;
    try {
      handler.receiveMessage(p.data(), p.size());
      MessagePart part;
      while (handler.getNextPart(part.kind, part.flag, part.number, part.text)) {
        parts += ' ';
        parts += PartText(part);
      }
      return line + parts;
    } catch (const MessageProtocolError&) {
      // Not a whole body of parts: written as the fragment's header and bytes below.
    }
  }
  const std::string_view bytes(reinterpret_cast<const char*>(p.data()) + 8, p.size() - 8);
  return line + " total=" + std::to_string(total) + " offset=" + std::to_string(offset) +
         " data=" + QuoteBytes(bytes);
}

std::string RawLine(const StreamRecord& r) {
  std::string line = "raw type=" + std::to_string(r.type);
  if (!r.payload.empty())
    line += " payload=" +
            QuoteBytes(std::string_view(reinterpret_cast<const char*>(r.payload.data()), r.payload.size()));
  return line;
}

// The order after the record, as the receiver's swap flag follows the byte-order and swap messages (the
// probe and the swap byte are the first field of their rows).
ByteOrder OrderAfter(const StreamRecord& r, ByteOrder order) {
  if (r.type == TypeNumber(MessageType::ByteOrder) && r.payload.size() >= 4) {
    std::int32_t probe = 0;
    std::memcpy(&probe, r.payload.data(), 4);
    return probe == 1 ? kNativeOrder : Other(kNativeOrder);
  }
  if (r.type == TypeNumber(MessageType::Swap) && !r.payload.empty())
    return r.payload[0] != 0 ? Other(kNativeOrder) : kNativeOrder;
  return order;
}

// The line of one record: its named form when that assembles to the same bytes, else the raw form.
std::string LineOf(const StreamRecord& r, ByteOrder order) {
  if (const MessageSpec* spec = FindMessageSpec(r.type)) {
    const std::optional<std::string> line =
        IsMultipart(r.type) ? MultipartLine(*spec, r) : RowLine(*spec, r, order);
    if (line) {
      try {
        ByteOrder o = order;
        const std::optional<StreamRecord> back = LineAssembler(*line, 1, o).Run();
        if (back && back->type == r.type && back->payload == r.payload) return *line;
      } catch (const ScriptError&) {
        // Falls back to the raw form.
      }
    }
  }
  return RawLine(r);
}

std::string Where(std::size_t line, std::size_t column) {
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

} // namespace

ScriptError::ScriptError(std::size_t line, std::size_t column, std::string problem)
    : std::runtime_error(Where(line, column) + ": " + problem), _line(line), _column(column),
      _problem(std::move(problem)) {}

std::string QuoteBytes(std::string_view bytes) {
  std::size_t escaped = 0;
  // Characters that show nothing are escaped, so that the script shows every byte it holds.
  std::string quoted = omf::text::Quote(bytes, {.upperHex = false, .escapeInvisible = true}, &escaped);
  // Mostly unprintable bytes read better as hex.
  return escaped * 4 > bytes.size() ? Hex(bytes) : quoted;
}

void AssembleScript(std::string_view text, MessageSink& sink, ByteOrder order) {
  for (std::size_t lineNo = 1;; ++lineNo) {
    const std::size_t end = text.find('\n');
    if (std::optional<StreamRecord> r = LineAssembler(text.substr(0, end), lineNo, order).Run())
      sink.Send(r->type, r->payload);
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

std::vector<StreamRecord> AssembleScript(std::string_view text, ByteOrder order) {
  RecordingSink sink;
  AssembleScript(text, sink, order);
  return sink.Take();
}

std::string DisassembleRecords(const std::vector<StreamRecord>& records, ByteOrder order) {
  std::string out;
  if (order != kNativeOrder) out += std::string("byte-order ") + OrderWord(order) + "\n";
  for (const StreamRecord& r : records) {
    const ByteOrder after = OrderAfter(r, order);
    if (after != order) out += std::string("byte-order ") + OrderWord(after) + "\n";
    order = after;
    out += LineOf(r, order);
    out += '\n';
  }
  return out;
}

} // namespace stream

} // namespace omf
