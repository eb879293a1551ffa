// The binary stream of the selection classes: exact layout, round trips, byte swapping and bad input.
#include "SelectionTestSupport.h"
#include <omf/selection/OMSObjectSelector.h>
#include <omf/selection/OMSStreamError.h>

#include <gtest/gtest.h>

#include <sstream>

using namespace omf;

using selection_test::Bytes;
using selection_test::Differences;
using selection_test::FullSelector;
using selection_test::UnseekableBuffer;
using selection_test::Which;

namespace {

// Bytes from hexadecimal digits; blanks are for the reader.
std::string Hex(std::string_view digits) {
  std::string out;
  int high = -1;
  for (char c : digits) {
    if (c == ' ') continue;
    const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'a' + 10;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high * 16 + v));
      high = -1;
    }
  }
  return out;
}

template <typename T> std::string Write(const T& value) {
  std::ostringstream os;
  os << value;
  return os.str();
}

template <typename T> void Read(const std::string& bytes, T& target) {
  std::istringstream is(bytes);
  is >> target;
}

constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

} // namespace

TEST(SelectionStream, ExactLayout) {
  if (!kLittleEndianHost) GTEST_SKIP() << "the expected bytes are little-endian";
  const std::string emptySet = Hex("00000000 00000000 00000000 00000000 00");
  EXPECT_EQ(Write(OMSObjectSelector()),
            Hex("01 00000000") + emptySet + emptySet + Hex("00000000 00000000 00000000") +
                Hex("00 01 00 01 00 00000000 00 00 0000000000005940 31303000 00 00 00"));

  OMSSelector set;
  set.AddCommands("ab");
  set.AddNames("C");
  set.AddInstances(2);
  set.AddLastInstance();
  EXPECT_EQ(Write(set), Hex("01000000 414200 00000000 01000000 4300 01000000 02000000 01"));

  OMSColumns tokens;
  tokens.AddColumn(OmParsedColumn("R1"));
  tokens.AddColumn(OmParsedColumn("call"));
  EXPECT_EQ(Write(tokens), Hex("02000000 02000000 01000000 523100 01000000 00"
                               "02000000 63616c6c00 9cffffff 01 00000000"));
  OMSColumns names;
  names.AddColumn("A");
  EXPECT_EQ(Write(names), Hex("01000000 00000000 01000000 4100"));

  OMSObjectSelector options; // image format: the 16-bit value, then two zero bytes
  options.SetImageFormat(-2);
  options.SetChartSize(1.0, "");
  const std::string bytes = Write(options);
  ASSERT_EQ(bytes.size(), 74u); // the smallest request
  EXPECT_EQ(bytes.substr(56, 5), Hex("feff0000 01"));
}

TEST(SelectionStream, RoundTripKeepsTheUnstreamedFieldsOfTheReader) {
  // The two requests differ in every field, so a field that is not carried (or carried when it should
  // not be) shows.
  const OMSObjectSelector full = FullSelector(0);
  const OMSObjectSelector plain;
  ASSERT_EQ(Differences(full, plain).size(), selection_test::Fields().size());

  OMSObjectSelector reader = plain;
  Read(Write(full), reader);
  EXPECT_EQ(Differences(full, reader, Which::kStreamed), std::vector<std::string>{});
  EXPECT_EQ(Differences(plain, reader, Which::kUnstreamed), std::vector<std::string>{});
  reader = full;
  Read(Write(plain), reader);
  EXPECT_EQ(Differences(plain, reader, Which::kStreamed), std::vector<std::string>{});
  EXPECT_EQ(Differences(full, reader, Which::kUnstreamed), std::vector<std::string>{});
  const OMSObjectSelector& written = full;

  // The parts on their own, and the longest text a reader accepts.
  OMSSelector set;
  Read(Write(written.GetIfOption()), set);
  EXPECT_EQ(selection_test::Show(set), selection_test::Show(written.GetIfOption()));
  OMSColumns columns;
  Read(Write(written.GetColumn()), columns);
  EXPECT_TRUE(columns == written.GetColumn());
  EXPECT_EQ(columns.GetSequences()[1].GetColumnToken(), "c12");
  OMSObjectSelector longTag;
  longTag.SetOMSTag(std::string(1023, 't'));
  OMSObjectSelector back;
  Read(Write(longTag), back);
  EXPECT_EQ(back.GetOMSTag(), longTag.GetOMSTag());
}

TEST(SelectionStream, WriterRefusesTextsThatCannotBeReadBack) {
  OMSObjectSelector longTag;
  longTag.SetOMSTag(std::string(1024, 't'));
  EXPECT_THROW(Write(longTag), std::invalid_argument);
  OMSSelector withNul;
  withNul.AddNames(std::string("a\0b", 3));
  EXPECT_THROW(Write(withNul), std::invalid_argument);
}

TEST(SelectionStream, SwappedReading) {
  // A count and an instance written in the other byte order.
  OMSSelector set;
  set.SwapBytes(true);
  Read(Hex("00000000 00000000 00000000 00000001 01000000 00"), set);
  EXPECT_EQ(set.GetInstances(), std::vector<std::int32_t>{16777216});
  try {
    Read(Hex("01000000 00"), set);
    ADD_FAILURE() << "a count of 16777216 with five bytes left was accepted";
  } catch (const OMSStreamError& e) {
    EXPECT_NE(e.Problem().find("the count 16777216"), std::string::npos) << e.what();
  }

  // The mask, image format and chart size are read as they stand, swap or not.
  OMSObjectSelector plain;
  plain.SelectType(16);
  plain.SetImageFormat(5);
  plain.SetChartSize(150, "150");
  OMSObjectSelector swapped;
  swapped.SwapBytes(true);
  Read(Write(plain), swapped);
  EXPECT_EQ(swapped.GetSelection(), 16u);
  EXPECT_EQ(swapped.GetImageFormat(), 5);
  EXPECT_EQ(swapped.GetChartSize(), 150.0);
}

TEST(SelectionStream, EveryTruncationRaisesAndChangesNothing) {
  const std::string bytes = Write(FullSelector(0));
  for (bool seekable : {true, false}) {
    for (std::size_t length = 0; length < bytes.size(); ++length) {
      OMSObjectSelector target = FullSelector(1);
      UnseekableBuffer pipe(bytes.substr(0, length));
      std::istringstream file(bytes.substr(0, length));
      std::istream unseekable(&pipe);
      std::istream& is = seekable ? static_cast<std::istream&>(file) : unseekable;
      try {
        is >> target;
        ADD_FAILURE() << "no error for " << length << " of " << bytes.size() << " bytes";
      } catch (const OMSStreamError& e) {
        EXPECT_LE(e.Offset(), length);
        EXPECT_TRUE(is.fail());
      }
      EXPECT_EQ(Differences(FullSelector(1), target), std::vector<std::string>{}) << length;
    }
  }
}

TEST(SelectionStream, BadInputNamesTheFieldAndTheByte) {
  const auto start = [] { return Bytes(std::endian::native).U8(1).NativeI32(16); };
  const auto afterSets = [&] { return start().Raw(std::string(34, '\0')); };
  struct Case {
    std::string bytes;
    const char* field;
    std::uint64_t offset;
    const char* problem;
  };
  const Case cases[] = {
      {start().I32(-1).str(), "IF set, command count", 5, "the count -1 is negative"},
      {start().I32(0x7fffffff).str(), "IF set, command count", 5, "needs at least 2147483647 more bytes"},
      {start().I32(1).Raw("abc").str(), "IF set, command 1", 9, "no terminating NUL"},
      {start().I32(1).Raw(std::string(1024, 'x')).U8(0).str(), "IF set, command 1", 9, "longer than 1023"},
      {start().I32(0).I32(0).I32(0).I32(1).I32(0).str(), "IF set, instance 1", 21, "below 1"},
      {start().Raw(std::string(17, '\0')).I32(0).I32(0).I32(-5).str(), "EXCEPTIF set, label count", 30,
       "negative"},
      {afterSets().I32(3).str(), "columns, form", 39, "none of 0, 1 and 2"},
      {afterSets().I32(2).I32(-1).str(), "columns, token count", 43, "negative"},
      {afterSets().I32(2).I32(1).I32(1).Text("R0").I32(-1).U8(0).str(), "columns, token 1, token \"R0\"", 47,
       "not a valid column token"},
      {afterSets().I32(2).I32(1).I32(2).Text("R1").I32(1).U8(0).str(), "columns, token 1, token \"R1\"", 47,
       "axis 2, number 1"},
      {afterSets().I32(2).I32(1).I32(1).Text("R1").I32(1).U8(1).str(), "columns, token 1, token \"R1\"", 47,
       "ALL flag 1"},
      {afterSets().I32(1).I32(0).I32(1).Raw("Stat").str(), "columns, dimension name 1", 51,
       "no terminating NUL"},
      {afterSets().I32(0).I32(0).I32(0).U8(0).U8(1).Raw("Row").str(), "numbered column name", 53,
       "no terminating NUL"},
  };
  for (const Case& c : cases) {
    OMSObjectSelector target;
    try {
      Read(c.bytes, target);
      ADD_FAILURE() << "no error: " << c.field;
    } catch (const OMSStreamError& e) {
      EXPECT_EQ(e.Field(), c.field) << e.what();
      EXPECT_EQ(e.Offset(), c.offset) << e.what();
      EXPECT_NE(e.Problem().find(c.problem), std::string::npos) << e.what();
    }
  }
}

TEST(SelectionStream, OffsetsCountFromTheStreamPosition) {
  const std::string bad = Bytes(std::endian::native).U8(1).NativeI32(16).I32(-1).str();
  std::istringstream file("xyz" + bad);
  file.ignore(3);
  file.exceptions(std::ios::failbit); // our error still comes through
  OMSObjectSelector target;
  try {
    file >> target;
    ADD_FAILURE();
  } catch (const OMSStreamError& e) {
    EXPECT_EQ(e.Offset(), 8u);
    EXPECT_EQ(std::string(e.what()),
              "selection request stream: IF set, command count at byte 8: the count -1 is "
              "negative");
  }
  UnseekableBuffer pipe("xyz" + bad); // without positions, from where reading began
  std::istream is(&pipe);
  is.ignore(3);
  try {
    is >> target;
    ADD_FAILURE();
  } catch (const OMSStreamError& e) {
    EXPECT_EQ(e.Offset(), 5u);
  }
}
