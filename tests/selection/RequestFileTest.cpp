// Request files: the binary form both ways and in both byte orders, its bad input, and telling the two
// forms apart.
#include "SelectionTestSupport.h"
#include <omf/selection/RequestFile.h>
#include <omf/selection/TextBytes.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

using namespace omf;

using namespace omf::selection;
using selection_test::Bytes;
using selection_test::Differences;
using selection_test::Encode;
using selection_test::FullSelector;
using selection_test::UnseekableBuffer;
using selection_test::Which;

namespace {

std::string BinaryOf(const std::vector<OMSObjectSelector>& requests) {
  std::ostringstream os;
  WriteBinaryRequests(os, requests);
  return os.str();
}

std::vector<OMSObjectSelector> FromBinary(const std::string& bytes) {
  std::istringstream is(bytes);
  return ReadBinaryRequests(is);
}

void ExpectSameRequests(const std::vector<OMSObjectSelector>& expected,
                        const std::vector<OMSObjectSelector>& got) {
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i)
    EXPECT_EQ(Differences(expected[i], got[i], Which::kStreamed), std::vector<std::string>{})
        << "request " << i;
}

const std::vector<OMSObjectSelector>& Sample() {
  static const std::vector<OMSObjectSelector> requests = {FullSelector(0), OMSObjectSelector(),
                                                          FullSelector(1)};
  return requests;
}

} // namespace

TEST(RequestFile, BinaryFormBothWays) {
  const std::string bytes = BinaryOf(Sample());
  const char order = std::endian::native == std::endian::big ? 1 : 0;
  EXPECT_EQ(bytes.substr(0, 8), std::string("OMSR") + order + std::string(3, '\0'));
  EXPECT_EQ(bytes.substr(8, 4), Bytes(std::endian::native).I32(3).str());
  ExpectSameRequests(Sample(), FromBinary(bytes));
  EXPECT_TRUE(FromBinary(BinaryOf({})).empty());
  std::string encoded;
  for (const OMSObjectSelector& request : Sample())
    encoded += Encode(request, std::endian::native);
  ASSERT_EQ(bytes.substr(12), encoded); // the test's own encoder, used below, agrees with the writer

  // Written on a machine of the other byte order.
  const bool big = std::endian::native == std::endian::little;
  const std::endian other = big ? std::endian::big : std::endian::little;
  Bytes foreign(other);
  foreign.Raw("OMSR").U8(big ? 1 : 0).U8(0).U8(0).U8(0).I32(3);
  for (const OMSObjectSelector& request : Sample())
    foreign.Raw(Encode(request, other));
  ExpectSameRequests(Sample(), FromBinary(foreign.str()));
}

TEST(RequestFile, BadBinaryInput) {
  const std::string good = BinaryOf({OMSObjectSelector()}); // 12 + 77 bytes
  const std::string header = good.substr(0, 8);
  struct Case {
    std::string bytes;
    const char* field;
    std::uint64_t offset;
    const char* problem;
  };
  const Case cases[] = {
      {"OMSX" + good.substr(4), "request file, magic", 0, "does not start with the bytes \"OMSR\""},
      {"OM", "request file, magic", 0, "ends after 2 of its 4 bytes"},
      {good.substr(0, 4) + '\2' + good.substr(5), "request file, byte order", 4,
       "the byte order 2 is neither"},
      {good.substr(0, 6) + '\1' + good.substr(7), "request file, reserved bytes", 5, "must be zero"},
      {good.substr(0, 10), "request file, request count", 8, "ends after 2 of its 4 bytes"},
      {header + Bytes(std::endian::native).I32(1000).str() + good.substr(12), "request file, request count",
       8, "the count 1000 needs at least 74000 more bytes, but only 77 remain"},
      {good.substr(0, good.size() - 1), "request file, request 1, no warning", 88,
       "ends after 0 of its 1 bytes"},
      {good + "zz", "request file, trailing bytes", 89, "2 bytes follow the last request"},
  };
  for (const Case& c : cases) {
    try {
      FromBinary(c.bytes);
      ADD_FAILURE() << "no error: " << c.field;
    } catch (const OMSStreamError& e) {
      EXPECT_EQ(e.Field(), c.field) << e.what();
      EXPECT_EQ(e.Offset(), c.offset) << e.what();
      EXPECT_NE(e.Problem().find(c.problem), std::string::npos) << e.what();
    }
  }

  // From a pipe, where nothing tells how much is left: the reading itself runs out.
  for (const std::string& bytes : {good + "z", header + Bytes(std::endian::native).I32(0x7fffffff).str()}) {
    UnseekableBuffer pipe(bytes);
    std::istream is(&pipe);
    EXPECT_THROW(ReadBinaryRequests(is), OMSStreamError);
  }

  // Every cut of a valid file is an error, never a crash.
  const std::string file = BinaryOf(Sample());
  for (std::size_t length = 0; length < file.size(); ++length)
    EXPECT_THROW(FromBinary(file.substr(0, length)), OMSStreamError) << length;
}

TEST(RequestFile, ReadsEitherFormFromDisk) {
  const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "omf_selection_requests";
  std::filesystem::create_directories(dir);
  const auto write = [&](const char* name, const std::string& content) {
    std::ofstream(dir / name, std::ios::binary) << content;
    return dir / name;
  };
  WriteBinaryRequestFile(dir / "requests.omsr", Sample());
  ExpectSameRequests(Sample(), ReadRequestFile(dir / "requests.omsr"));
  ExpectSameRequests(Sample(), ReadRequestFile(write("requests.txt", FormatRequestText(Sample()))));
  EXPECT_TRUE(ReadRequestFile(write("empty.txt", "")).empty());

  EXPECT_THROW(ReadRequestFile(write("almost.txt", "OMS select tables end")), RequestSyntaxError);
  EXPECT_THROW(ReadRequestFile(write("cut.omsr", std::string("OMSR\0\0\0", 7))), OMSStreamError);
  try {
    ReadRequestFile(dir / "missing.omsr");
    ADD_FAILURE();
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("cannot open " + (dir / "missing.omsr").string()),
              std::string::npos);
  }
  EXPECT_THROW(ReadRequestFile(dir), std::runtime_error); // not an empty list
  EXPECT_THROW(WriteBinaryRequestFile(dir / "no" / "such" / "dir.omsr", Sample()), std::runtime_error);
  std::filesystem::remove_all(dir);
}

namespace {

// One request in this machine's byte order: the empty request with the parts given replaced.
struct Hand {
  std::string head = Bytes(std::endian::native).U8(1).NativeI32(16).str();
  std::string ifSet = std::string(17, '\0');
  std::string exceptSet = std::string(17, '\0');
  std::string columns = std::string(12, '\0');
  std::string options = Options();

  Hand& Patch(std::string Hand::*part, std::size_t at, const std::string& bytes) {
    (this->*part).replace(at, bytes.size(), bytes);
    return *this;
  }
  std::string File() const {
    Bytes b(std::endian::native);
    b.Raw("OMSR").U8(std::endian::native == std::endian::big).U8(0).U8(0).U8(0).I32(1);
    return b.Raw(head + ifSet + exceptSet + columns + options).str();
  }

  static std::string Options() {
    Bytes b(std::endian::native);
    // Viewer given, viewer, numbered column name, images exported and given, image format and given.
    b.U8(0).U8(1).Text("").U8(1).U8(0).NativeI16In4(0).U8(0);
    // Image root name, chart size, its text and given, tag, no warning.
    return b.Text("").NativeF64(100).Text("100").U8(0).Text("").U8(0).str();
  }
};

constexpr std::uint64_t kColumnsAt = 12 + 5 + 17 + 17; // where a request's columns block starts
constexpr std::uint64_t kOptionsAt = kColumnsAt + 12;

Bytes Native() {
  return Bytes(std::endian::native);
}

} // namespace

TEST(RequestFile, ReaderRefusesWhatNoWrittenFormGivesBack) {
  const auto tokens = [](std::int32_t form, std::vector<std::string> list, std::vector<std::string> names) {
    Bytes b = Native();
    b.I32(form).I32(static_cast<std::int32_t>(list.size()));
    for (const std::string& t : list) {
      const OmParsedColumn c(t);
      b.I32(c.GetAxis()).Text(t).I32(c.GetNumber()).U8(c.IsAll());
    }
    b.I32(static_cast<std::int32_t>(names.size()));
    for (const std::string& n : names)
      b.Text(n);
    return b.str();
  };
  const std::string command = Native().I32(1).Text("Caf\xC3\xA9").I32(0).I32(0).I32(0).U8(0).str();
  struct Case {
    std::string file;
    const char* field;
    std::uint64_t offset;
    const char* problem;
  };
  const Case cases[] = {
      {Hand{.columns = tokens(1, {}, {"Statistics", "STATISTICS"})}.File(),
       "request file, request 1, columns, dimension name 2", kColumnsAt + 12 + 11, "the name is given twice"},
      {Hand{.columns = tokens(1, {},
                              {"Gr\xC3\xB6\xC3\x9F"
                               "e",
                               "GR\xC3\x96SSE"})}
           .File(),
       "request file, request 1, columns, dimension name 2", kColumnsAt + 12 + 8, "given twice"},
      {Hand{.columns = tokens(2, {"R1", "r01"}, {})}.File(),
       "request file, request 1, columns, token 2, token \"r01\"", kColumnsAt + 8 + 12,
       "the column is given twice"},
      {Hand{.columns = tokens(0, {"R1"}, {})}.File(), "request file, request 1, columns, token count",
       kColumnsAt + 4, "the form 0 has no tokens, but the count is 1"},
      {Hand{.columns = tokens(2, {}, {})}.File(), "request file, request 1, columns, token count",
       kColumnsAt + 4, "the form 2 needs at least one token"},
      {Hand{.columns = tokens(1, {}, {})}.File(), "request file, request 1, columns, dimension name count",
       kColumnsAt + 8, "the form 1 needs at least one dimension name"},
      {Hand{.columns = tokens(2, {"R1"}, {"Statistics"})}.File(),
       "request file, request 1, columns, dimension name count", kColumnsAt + 8 + 12,
       "the form 2 has no dimension names, but the count is 1"},
      {Hand{.columns = Native().I32(2).I32(1).I32(1).Text("R\n\xE9").I32(1).U8(0).I32(0).str()}.File(),
       "request file, request 1, columns, token 1, token \"R\\n\\xE9\"", kColumnsAt + 8,
       "not a valid column token"}, // the field is one line of UTF-8
      {Hand{.ifSet = command}.File(), "request file, request 1, IF set, command 1", 12 + 5 + 4,
       "the text is not upper-cased"},
      {Hand{.head = Native().U8(2).NativeI32(16).str()}.File(), "request file, request 1, show notes tables",
       12, "the flag is 2; a flag is 0 or 1"},
      {Hand{}.Patch(&Hand::options, 1, std::string(1, '\0')).File(),
       "request file, request 1, destination is viewer", kOptionsAt + 1,
       "objects do not go to the viewer, yet it is marked as not given"},
      {Hand{}.Patch(&Hand::options, 3, std::string(1, '\0')).File(), "request file, request 1, export images",
       kOptionsAt + 3, "images are not exported, yet it is marked as not given"},
      {Hand{}.Patch(&Hand::options, 5, Native().NativeI16In4(7).str()).File(),
       "request file, request 1, image format", kOptionsAt + 5, "the image format is 7, yet it is marked"},
      {Hand{}.Patch(&Hand::options, 7, "\1").Patch(&Hand::options, 9, "\1").File(),
       "request file, request 1, image format", kOptionsAt + 5, "the two bytes after the 2-byte value"},
      {Hand{}.Patch(&Hand::options, 11, Native().NativeF64(150).str()).File(),
       "request file, request 1, chart size", kOptionsAt + 11, "differs from the default 100"},
      {Hand{}.Patch(&Hand::options, 19, "150").File(), "request file, request 1, chart size", kOptionsAt + 11,
       "differs from the default 100"},
      {Hand{}
           .Patch(&Hand::options, 11, Native().NativeF64(std::numeric_limits<double>::quiet_NaN()).str())
           .Patch(&Hand::options, 23, "\1")
           .File(),
       "request file, request 1, chart size", kOptionsAt + 11, "not a finite number"},
  };
  ASSERT_NO_THROW(FromBinary(Hand{}.File())); // the hand-made request itself is fine
  for (const Case& c : cases) {
    try {
      FromBinary(c.file);
      ADD_FAILURE() << "no error: " << c.field << ": " << c.problem;
    } catch (const OMSStreamError& e) {
      EXPECT_EQ(e.Field(), c.field) << e.what();
      EXPECT_EQ(e.Offset(), c.offset) << e.what();
      EXPECT_NE(e.Problem().find(c.problem), std::string::npos) << e.what();
    }
  }
}

TEST(RequestFile, EveryFileReadCompilesBackFromItsWrittenFormToTheSameBytes) {
  // Seeds that use every field, texts that are not UTF-8, both column forms; then every file that one
  // changed or removed byte makes of them and that the reader still takes.
  std::vector<OMSObjectSelector> names(1);
  names[0].SelectType(511 | 4096);
  OMSColumns columns;
  columns.AddColumn("Gr\xC3\xB6\xC3\x9F"
                    "e");
  columns.AddColumn("Caf\xE9");
  names[0].SetColumn(columns);
  OMSSelector bytes;
  bytes.AddCommands("caf\xE9*");
  bytes.AddNames("\x80\xC3\xA9\xC3 x\xF0\x9F\x98");
  names[0].AddExceptIfOption(bytes);
  names[0].SetOMSTag("\xFF\x01\"\\");
  names[0].SetChartSize(-0.0, "\xE9");
  const std::vector<std::string> seeds = {BinaryOf({FullSelector(0)}), BinaryOf(names),
                                          BinaryOf({OMSObjectSelector()})};
  std::size_t read = 0, wrong = 0;
  const auto check = [&](const std::string& file) {
    std::vector<OMSObjectSelector> requests;
    try {
      requests = FromBinary(file);
    } catch (const OMSStreamError&) {
      return;
    }
    ++read;
    const std::string text = FormatRequestText(requests);
    EXPECT_TRUE(omf::selection::detail::IsUtf8(text)) << text; // other bytes are written as \xHH
    std::vector<OMSObjectSelector> again;
    try {
      again = ParseRequestText(text);
    } catch (const RequestSyntaxError& e) {
      ADD_FAILURE() << e.what() << "\n" << text;
      return;
    }
    if (BinaryOf(again) != file && ++wrong <= 3) ADD_FAILURE() << "another file comes back from\n" << text;
  };
  for (const std::string& seed : seeds) {
    check(seed);
    for (std::size_t at = 0; at < seed.size(); ++at) {
      std::string removed = seed;
      check(removed.erase(at, 1));
      const auto original = static_cast<unsigned char>(seed[at]);
      // Zero, a flag, characters that are special in texts, bytes that start or continue UTF-8, and a
      // letter of the other case.
      for (const int value :
           {0x00, 0x01, 0x02, 0x22, 0x5C, 0x80, 0xC3, 0xE9, original ^ 0x20, original + 1}) {
        std::string changed = seed;
        changed[at] = static_cast<char>(value);
        check(changed);
      }
    }
  }
  EXPECT_EQ(wrong, 0u);
  EXPECT_GT(read, 1000u) << read; // most changes inside texts still read
}

TEST(RequestFile, AFailedWriteLeavesTheFileAsItWas) {
  const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "omf_selection_write";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::filesystem::path file = dir / "requests.omsr";
  WriteBinaryRequestFile(file, Sample());
  const std::string before = BinaryOf(Sample());
  std::vector<OMSObjectSelector> unwritable = Sample();
  unwritable[1].SetOMSTag(std::string(1024, 't')); // the second request cannot be streamed
  EXPECT_THROW(WriteBinaryRequestFile(file, unwritable), std::invalid_argument);
  EXPECT_THROW(WriteBinaryRequestFile(dir / "new.omsr", unwritable), std::invalid_argument);
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before);
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
    ++entries;
  EXPECT_EQ(entries, 1u) << "no other file is left behind";
  std::filesystem::remove_all(dir);
}
