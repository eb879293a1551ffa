// Quoting and unquoting texts: every byte survives the round trip in every style, and every bad escape
// is refused with its offset and message.
#include <omf/text/Escapes.h>

#include <gtest/gtest.h>

using namespace omf;

namespace {

using omf::text::Quote;
using omf::text::QuoteStyle;
using omf::text::Unquote;
using omf::text::UnquoteRules;
using Kind = omf::text::UnquoteError::Kind;

const QuoteStyle kStyles[] = {{false, false}, {false, true}, {true, false}, {true, true}};

std::string AllBytes() {
  std::string all;
  for (int b = 0; b < 256; ++b)
    all += static_cast<char>(b);
  return all;
}

TEST(Escapes, EveryByteSurvivesTheRoundTripInEveryStyle) {
  std::vector<std::string> texts;
  for (int b = 0; b < 256; ++b)
    texts.emplace_back(1, static_cast<char>(b));
  texts.push_back(AllBytes());
  texts.push_back("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xc2\x85 \xe2\x82"); // characters and a cut one
  for (const QuoteStyle& style : kStyles) {
    for (const std::string& text : texts) {
      SCOPED_TRACE(::testing::Message()
                   << "upper " << style.upperHex << ", invisible escaped " << style.escapeInvisible
                   << ", text " << ::testing::PrintToString(text));
      const std::string quoted = Quote(text, style);
      // One line of visible text: no control byte is left raw.
      for (const char c : quoted)
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << quoted;
      // The texts read back after other input, and followed by more.
      const std::string source = "x=" + quoted + " rest";
      const omf::text::Unquoted read = Unquote(source, 2);
      ASSERT_FALSE(read.error) << read.error->message;
      EXPECT_EQ(read.bytes, text);
      EXPECT_EQ(read.end, 2 + quoted.size());
      if (text.find('\0') == std::string::npos) {
        const omf::text::Unquoted strict = Unquote(source, 2, {.allowNul = false, .lineBreakEnds = true});
        ASSERT_FALSE(strict.error) << strict.error->message;
        EXPECT_EQ(strict.bytes, text);
      }
    }
  }
}

TEST(Escapes, QuotingKeepsCharactersAndEscapesTheRest) {
  struct Case {
    std::string bytes;
    QuoteStyle style;
    std::string quoted;
    std::size_t hexEscapes;
  };
  const Case cases[] = {
      {"Valid Percent", {}, "\"Valid Percent\"", 0},
      {"a\"b\\c\nd\re\tf", {}, "\"a\\\"b\\\\c\\nd\\re\\tf\"", 0},
      {std::string("\0\x1f\x7f", 3), {}, "\"\\x00\\x1f\\x7f\"", 3},
      {"caf\xe9", {}, "\"caf\\xe9\"", 1}, // a single-byte code page
      {"caf\xe9", {.upperHex = true}, "\"caf\\xE9\"", 1},
      {"caf\xc3\xa9", {.escapeInvisible = true}, "\"caf\xc3\xa9\"", 0},
      // U+0085, a control: kept as a character, or escaped when invisible ones are.
      {"\xc2\x85", {}, "\"\xc2\x85\"", 0},
      {"\xc2\x85", {.escapeInvisible = true}, "\"\\xc2\\x85\"", 2},
      {"\xc2\xa0", {.escapeInvisible = true}, "\"\xc2\xa0\"", 0}, // U+00A0 is the first kept
      // Not well-formed: an encoded surrogate, overlong forms, past U+10FFFF, a cut sequence.
      {"\xed\xa0\x80", {}, "\"\\xed\\xa0\\x80\"", 3},
      {"\xc0\x80", {}, "\"\\xc0\\x80\"", 2},
      {"\xe0\x80\x80", {}, "\"\\xe0\\x80\\x80\"", 3},
      {"\xf4\x90\x80\x80", {}, "\"\\xf4\\x90\\x80\\x80\"", 4},
      {"\xe2\x82", {}, "\"\\xe2\\x82\"", 2},
      {"\xf0\x9f\x98\x80", {.escapeInvisible = true}, "\"\xf0\x9f\x98\x80\"", 0},
      {"", {}, "\"\"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    std::size_t escapes = 99;
    EXPECT_EQ(Quote(c.bytes, c.style, &escapes), c.quoted);
    EXPECT_EQ(escapes, c.hexEscapes);
  }
}

TEST(Escapes, BadTextsAreRefusedWithTheirOffsetAndMessage) {
  const UnquoteRules lenient{};
  const UnquoteRules strict{.allowNul = false, .lineBreakEnds = true};
  struct Case {
    std::string source; // the text starts at offset 2
    UnquoteRules rules;
    Kind kind;
    std::size_t at;
    std::string message;
  };
  const Case cases[] = {
      {"x=\"abc", lenient, Kind::kNotClosed, 2, "string not closed"},
      {"x=\"ab\ncd\"", strict, Kind::kNotClosed, 2, "string not closed"},
      {"x=\"ab\rcd\"", strict, Kind::kNotClosed, 2, "string not closed"},
      {"x=\"ab\\", lenient, Kind::kBackslashAtEnd, 5, "string not closed"},
      {"x=\"a\\qb\"", lenient, Kind::kUnknownEscape, 4,
       "unknown escape \"\\q\" (known: \\n \\r \\t \\\\ \\\" \\xHH)"},
      {"x=\"a\\\nb\"", strict, Kind::kUnknownEscape, 4,
       "unknown escape \"\\\n\" (known: \\n \\r \\t \\\\ \\\" \\xHH)"},
      {"x=\"\\x4\"", lenient, Kind::kBadHexEscape, 3, "\"\\x\" needs two hex digits"},
      {"x=\"\\xg0\"", lenient, Kind::kBadHexEscape, 3, "\"\\x\" needs two hex digits"},
      {"x=\"ab\\x", lenient, Kind::kBadHexEscape, 5, "\"\\x\" needs two hex digits"},
      {"x=\"a\\x00\"", strict, Kind::kNulEscape, 4, "a text cannot hold a NUL byte (\\x00)"},
      {std::string("x=\"ab\0\"", 7), strict, Kind::kNulByte, 5, "a text cannot hold a NUL byte"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.source));
    const omf::text::Unquoted read = Unquote(c.source, 2, c.rules);
    ASSERT_TRUE(read.error);
    EXPECT_EQ(read.error->kind, c.kind);
    EXPECT_EQ(read.error->at, c.at);
    EXPECT_EQ(read.error->message, c.message);
  }
  // What the strict rules refuse, the lenient ones read as bytes.
  EXPECT_EQ(Unquote(std::string("x=\"a\0\\x00\r\"", 11), 2).bytes, std::string("a\0\0\r", 4));
}

} // namespace
