// Request files: the binary form both ways and in both byte orders, its bad input, and telling the two
// forms apart.
#include "selection/RequestFile.h"
#include "SelectionTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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
