#include <omf/render/JsonWriter.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <string_view>
#include <vector>

#include <omf/model/CellText.h>

using namespace omf;

using omf::render::JsonWriter;
using Json = nlohmann::json;

namespace {

// What the writer writes for the calls, without the line break that ends the document.
std::string Written(const std::function<void(JsonWriter&)>& calls) {
  std::ostringstream out;
  JsonWriter json(out);
  calls(json);
  json.Finish();
  std::string text = out.str();
  EXPECT_EQ(text.back(), '\n');
  text.pop_back();
  return text;
}

std::string WrittenString(const std::string& text) {
  return Written([&](JsonWriter& json) { json.String(text); });
}

// How the nlohmann library dumps the string: no indent, no ensure_ascii, invalid UTF-8 replaced.
std::string Dumped(const std::string& text) {
  return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

} // namespace

TEST(JsonWriter, EscapesStringsAsTheLibraryDumpsThem) {
  const std::string cases[] = {
      "",
      "plain text",
      "quote \" backslash \\ slash /",
      "\b\f\n\r\t",
      std::string("nul \0 inside", 12),
      "\x01\x1F\x7F",
      "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", // 2, 3 and 4 bytes
      "\xEF\xBF\xBD",                              // U+FFFD itself
      "\x80",                                      // a lone continuation byte
      "\xC0\xAF",                                  // an overlong form
      "\xC1\xBF",
      "\xE0\x80\xAF",     // overlong in three bytes
      "\xED\xA0\x80",     // a surrogate
      "\xF4\x90\x80\x80", // beyond U+10FFFF
      "\xF5\x80",
      "\xFE\xFF",
      "a\xE2\x82",                // cut at the end
      "a\xE2\x82z",               // cut before an ASCII byte
      "\xF0\x9F\x98\xE2\x82\xAC", // cut before a new sequence
      "\xE2\x82\n",               // cut before a byte that is escaped
      "\xC3",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(Dumped(text));
    EXPECT_EQ(WrittenString(text), Dumped(text));
  }

  // Short strings of the bytes that matter, many times over.
  const unsigned char alphabet[] = {'a',  '"',  '\\', '\n', '\b', 0x01, 0x1F, 0x7F, 0x80,
                                    0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0,
                                    0xE1, 0xED, 0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xFF};
  std::mt19937 random(20240517);
  for (int n = 0; n < 20000; ++n) {
    std::string text(random() % 9, ' ');
    for (char& c : text)
      c = static_cast<char>(alphabet[random() % sizeof alphabet]);
    ASSERT_EQ(WrittenString(text), Dumped(text)) << "case " << n;
  }
}

TEST(JsonWriter, NumbersAreShortestAndReadBackExactly) {
  const struct {
    double value;
    const char* text;
  } doubles[] = {
      {0.1, "0.1"},
      {1e21, "1e+21"},
      {1e-7, "1e-07"},
      {1e-4, "1e-04"},
      {-0.0, "-0"},
      {5e-324, "5e-324"},
      {DBL_MAX, "1.7976931348623157e+308"},
      {kSysmis, "-1.7976931348623157e+308"}, // the system-missing value; cells write null for it
      {5.0, "5"},
      {1234.5, "1234.5"},
      {1e17, "1e+17"},
      {123456789012345678.0, "123456789012345680"},
      {9007199254740993.0, "9007199254740992"},
  };
  for (const auto& d : doubles) {
    SCOPED_TRACE(d.text);
    const std::string written = Written([&](JsonWriter& json) { json.Number(d.value); });
    EXPECT_EQ(written, d.text);
    // The library reads it as the value it dumps itself; its text may differ ("5.0", "1e-04" as
    // "0.0001"), and "-0" reads back as zero without its sign.
    const double read = Json::parse(written).get<double>();
    const double dumped = Json::parse(Json(d.value).dump()).get<double>();
    EXPECT_EQ(std::bit_cast<std::uint64_t>(read), std::bit_cast<std::uint64_t>(dumped == 0 ? 0.0 : dumped));
    EXPECT_EQ(read, d.value);
  }
  for (const double value :
       {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()})
    EXPECT_EQ(Written([&](JsonWriter& json) { json.Number(value); }), Json(value).dump());

  EXPECT_EQ(Written([](JsonWriter& json) {
              json.BeginArray()
                  .Number(std::numeric_limits<std::int64_t>::min())
                  .Number(std::numeric_limits<std::uint64_t>::max())
                  .Number(short{-7})
                  .Number(std::size_t{0})
                  .EndArray();
            }),
            "[-9223372036854775808,18446744073709551615,-7,0]");
}

// Whole numbers take a shortcut past the general conversion; it must choose between the plain and the
// scientific form exactly as std::to_chars does (1000000 is "1e+06", 1234000 stays plain).
TEST(JsonWriter, WholeNumbersAreWrittenAsTheGeneralConversionWritesThem) {
  std::vector<double> values;
  for (double p = 1; p < 1e17; p *= 10)
    for (const double m : {1.0, 2.0, 12.0, 123.0, 1234.0, 1001.0, 99999.0, 123456789.0})
      values.push_back(m * p);
  for (std::uint64_t v = 1; v < 3000; v += 7)
    values.push_back(static_cast<double>(v));
  values.push_back(9007199254740991.0);
  values.push_back(9007199254740992.0);
  values.push_back(4503599627370496.0);
  for (const double v : values)
    for (const double signed_ : {v, -v}) {
      char ours[JsonWriter::kNumberBytes], theirs[JsonWriter::kNumberBytes];
      const std::string_view got(ours, static_cast<std::size_t>(JsonWriter::Shortest(ours, signed_) - ours));
      const std::string_view want(
          theirs,
          static_cast<std::size_t>(std::to_chars(theirs, theirs + sizeof theirs, signed_).ptr - theirs));
      ASSERT_EQ(got, want) << signed_;
    }
}

TEST(JsonWriter, CommasNestingAndLines) {
  using Layout = JsonWriter::Layout;
  const struct {
    const char* name;
    std::function<void(JsonWriter&)> calls;
    const char* text;
  } cases[] = {
      {"empty object", [](JsonWriter& j) { j.BeginObject().EndObject(); }, "{}"},
      {"empty array", [](JsonWriter& j) { j.BeginArray().EndArray(); }, "[]"},
      {"empty array of lines", [](JsonWriter& j) { j.BeginArray(Layout::kLines).EndArray(); }, "[]"},
      {"one line", [](JsonWriter& j) { j.BeginArray(Layout::kLines).Null().EndArray(); }, "[\nnull\n]"},
      {"lines",
       [](JsonWriter& j) { j.BeginArray(Layout::kLines).BeginObject().EndObject().Bool(false).EndArray(); },
       "[\n{},\nfalse\n]"},
      {"keys",
       [](JsonWriter& j) {
         j.BeginObject().Key("a").Number(1).Key("b").String("x").Key("c").Null().EndObject();
       },
       R"({"a":1,"b":"x","c":null})"},
      {"nested empties",
       [](JsonWriter& j) {
         j.BeginObject().Key("a").BeginArray().BeginArray().EndArray().BeginObject().EndObject().EndArray();
         j.Key("b").BeginObject().EndObject().EndObject();
       },
       R"({"a":[[],{}],"b":{}})"},
      {"lines inside an inline array",
       [](JsonWriter& j) {
         j.BeginArray()
             .Number(1)
             .BeginArray(Layout::kLines)
             .Number(2)
             .Number(3)
             .EndArray()
             .Number(4)
             .EndArray();
       },
       "[1,[\n2,\n3\n],4]"},
      {"inline inside lines",
       [](JsonWriter& j) {
         j.BeginArray(Layout::kLines).BeginArray().Number(1).Number(2).EndArray().BeginArray().EndArray();
         j.EndArray();
       },
       "[\n[1,2],\n[]\n]"},
      {"escaped key", [](JsonWriter& j) { j.BeginObject().Key("a\"b").Bool(true).EndObject(); },
       R"({"a\"b":true})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Written(c.calls), c.text);
  }

  // Nesting as deep as a stream may make category groups, and strings longer than the buffer.
  constexpr int kDepth = 100000;
  const std::string big(200000, 'x');
  const std::string deep = Written([&](JsonWriter& j) {
    for (int i = 0; i < kDepth; ++i)
      j.BeginArray().String(big.substr(0, static_cast<std::size_t>(i % 3)));
    j.String(big);
    for (int i = 0; i < kDepth; ++i)
      j.EndArray();
  });
  const Json parsed = Json::parse(deep, nullptr, true, false);
  const Json* at = &parsed;
  for (int i = 0; i < kDepth; ++i) {
    ASSERT_EQ(at->size(), 2u) << "level " << i;
    at = &(*at)[1];
  }
  EXPECT_EQ(*at, big);
}
