#pragma once
// The escapes of quoted texts, shared by the readable forms of message streams and of selection
// requests: a text stands in double quotes, and inside them \" \\ \n \r \t stand for a quote, a
// backslash, a line feed, a carriage return and a tab, and \x with two hex digits (either case) for any
// byte. Quoting writes bytes so that unquoting gives them back exactly.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace omf {

namespace text {

struct QuoteStyle {
  bool upperHex = false; // \xAB rather than \xab
  // Characters U+0080 to U+009F are controls that a reader cannot see: when set they are escaped byte
  // by byte, like bytes that are not UTF-8; when clear they are kept, like every other character.
  bool escapeInvisible = false;
};

// The length of the well-formed UTF-8 sequence that starts at `at` (1 to 4), or 0 when none starts there.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at);

// The bytes in double quotes. Quotes, backslashes, line feeds, carriage returns and tabs take their
// escapes; other control bytes, DEL and bytes that are not well-formed UTF-8 take \xHH; characters stay
// as they are. `hexEscapes`, when given, receives the number of \xHH escapes written.
std::string Quote(std::string_view bytes, const QuoteStyle& style = {}, std::size_t* hexEscapes = nullptr);

// The value of a hex digit, or -1.
int HexDigit(char c);

struct UnquoteRules {
  bool allowNul = true; // raw NUL bytes, and \x00
  // A raw line feed or carriage return ends the line, and with it the text unclosed; when clear they are
  // bytes of the text like any other.
  bool lineBreakEnds = false;
};

struct UnquoteError {
  enum class Kind {
    kNotClosed,      // the input ends before the closing quote (at: the opening quote)
    kBackslashAtEnd, // the input ends right after a backslash (at: the backslash)
    kBadHexEscape,   // \x without two hex digits (at: the backslash)
    kUnknownEscape,  // a backslash before anything else (at: the backslash)
    kNulByte,        // a raw NUL byte where none is allowed (at: the byte)
    kNulEscape,      // \x00 where no NUL is allowed (at: the backslash)
  };
  Kind kind;
  std::size_t at; // offset into the source
  std::string message;
};

struct Unquoted {
  std::string bytes;
  std::size_t end = 0; // one past the closing quote
  std::optional<UnquoteError> error;
};

// Reads the quoted text whose opening quote stands at `at` in `source`.
Unquoted Unquote(std::string_view source, std::size_t at, const UnquoteRules& rules = {});

} // namespace text

} // namespace omf
