// The text form of a bootstrap specification: defaults, a full text, the round trip through
// serializeSpecs, and malformed text that must raise an error naming the key and the problem.
#include <omf/platform/bootspec/SvrBootstrapSpecsSerializer.h>

#include <gtest/gtest.h>

#include <string>

using namespace omf;

namespace {

using Cases = std::vector<SvrJackknifeCase>;
using Ends = std::vector<unsigned>;

SvrBootstrapSpecs Read(std::string_view text) {
  return SvrBootstrapSpecsSerializer::deserializeSpecs(text);
}

} // namespace

TEST(BootstrapSpecs, EmptyTextGivesTheDefaults) {
  for (const char* text : {"", "\n\n", "  \r\n", "future=1\n"})
    EXPECT_EQ(Read(text), SvrBootstrapSpecs()) << text;
  EXPECT_EQ(SvrBootstrapSpecsSerializer::serializeSpecs(SvrBootstrapSpecs()),
            "level=95\nsamples=1000\nmethod=0\n");
}

TEST(BootstrapSpecs, ReadsEveryKey) {
  const SvrBootstrapSpecs specs = Read(
      "level=90.5\r\nsamples=200\r\n method = 2 \r\njackknife=1:0  2.5:1\t1:1 0.5:0\r\nsegments=1 4\r\n");
  EXPECT_EQ(specs.GetCILevelPct(), 90.5);
  EXPECT_EQ(specs.GetNSamples(), 200u);
  EXPECT_EQ(specs.GetSamplingMethod(), SvrBootstrapSpecs::kResidual);
  EXPECT_EQ(specs.GetJackknifeCases(), (Cases{{1, 0}, {2.5, 1}, {1, 1}, {0.5, 0}}));
  EXPECT_EQ(specs.GetJackknifeSegmentEnds(), (Ends{1, 4}));

  // Without segments, one segment holds every case; keys may come in any order.
  EXPECT_EQ(Read("segments=\njackknife=1:0 1:0 1:0").GetJackknifeSegmentEnds(), (Ends{3}));
  EXPECT_EQ(Read("jackknife=").GetJackknifeCases(), Cases{});
}

TEST(BootstrapSpecs, SerializedTextReadsBack) {
  SvrBootstrapSpecs specs;
  EXPECT_EQ(Read(SvrBootstrapSpecsSerializer::serializeSpecs(specs)), specs);
  specs.SetCILevelPct(99.9);
  specs.SetNSamples(4000000000u);
  specs.SetSamplingMethod(SvrBootstrapSpecs::kWild);
  specs.SetJackknifeCases({{0.1, 0}, {3, 2}, {1e-7, 1}});
  specs.SetJackknifeSegmentEnds({2, 3});
  const std::string text = SvrBootstrapSpecsSerializer::serializeSpecs(specs);
  EXPECT_EQ(text, "level=99.9\nsamples=4000000000\nmethod=3\njackknife=0.1:0 3:2 1e-07:1\nsegments=2 3\n");
  EXPECT_EQ(Read(text), specs);
}

TEST(BootstrapSpecs, MalformedTextNamesKeyAndProblem) {
  struct Case {
    const char* text;
    const char* key;
    const char* says;
  };
  const Case cases[] = {
      {"level 95", "level 95", "line 1: key 'level 95' has no '='"},
      {"samples=10\n=5", "=5", "line 2: no key before '='"},
      {"level=abc", "level", "line 1, key 'level': 'abc' is not a number"},
      {"level=95%", "level", "'95%' is not a number"},
      {"level=", "level", "'' is not a number"},
      {"level=0", "level", "strictly between 0 and 100"},
      {"level=100", "level", "strictly between 0 and 100"},
      {"level=nan", "level", "strictly between 0 and 100"},
      {"level=1e999", "level", "out of range"},
      {"samples=-5", "samples", "'-5' is not a whole number of samples"},
      {"samples=12.5", "samples", "is not a whole number"},
      {"samples=0", "samples", "at least 1"},
      {"samples=99999999999", "samples", "out of range"},
      {"method=4", "method", "must be 0, 1, 2 or 3, not 4"},
      {"method=-1", "method", "not -1"},
      {"jackknife=1:0 2", "jackknife", "case 2, '2', is not a weight:group pair"},
      {"jackknife=x:0", "jackknife", "'x' is not a weight"},
      {"jackknife=1:", "jackknife", "'' is not a group number"},
      {"jackknife=1:-1", "jackknife", "'-1' is not a group number"},
      {"jackknife=-1:0", "jackknife", "case 1 has a weight that is negative or not finite"},
      {"jackknife=inf:0", "jackknife", "negative or not finite"},
      {"jackknife=1:0 1:7", "jackknife", "case 2 has group 7, more than the number of cases (2)"},
      {"jackknife=1:0 1:4000000000", "jackknife", "has group 4000000000"},
      {"jackknife=1:0 1:0 1:0\nsegments=2 1 3", "segments",
       "segment end 2 (1) is not greater than the one before"},
      {"jackknife=1:0 1:0 1:0\nsegments=0 3", "segments", "segment end 1 (0) is not greater than 0"},
      {"jackknife=1:0 1:0 1:0\nsegments=1 1 3", "segments", "is not greater than the one before"},
      {"jackknife=1:0 1:0 1:0\nsegments=1 5", "segments", "segment end 5 lies past the 3 jackknife cases"},
      {"jackknife=1:0 1:0 1:0\nsegments=1 2", "segments", "the last segment ends at 2, not at the number of"},
      {"segments=1", "segments", "lies past the 0 jackknife cases"},
      {"jackknife=1:0\nsegments=1 x", "segments", "line 2, key 'segments': 'x' is not a segment end"},
      {"level=90\nsamples=10\nlevel=95", "level", "line 3, key 'level': given before on line 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      Read(c.text);
      ADD_FAILURE() << "no error";
    } catch (const SvrBootstrapSpecsError& e) {
      EXPECT_EQ(e.Key(), c.key);
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("bootstrap specification"), std::string::npos) << e.what();
    }
  }
}

// Long or binary garbage is reported briefly and never read past its end.
TEST(BootstrapSpecs, GarbageIsReportedBriefly) {
  const std::string longValue = "level=" + std::string(100000, '9') + "x";
  EXPECT_THROW(Read(longValue), SvrBootstrapSpecsError);
  try {
    Read(longValue);
  } catch (const std::runtime_error& e) {
    EXPECT_LT(std::string(e.what()).size(), 200u);
  }
  const std::string binary("level=9\0\xff\n", 10);
  EXPECT_THROW(Read(binary), SvrBootstrapSpecsError);
  EXPECT_THROW(Read(std::string(5000, '\n') + "samples"), SvrBootstrapSpecsError);
}

TEST(BootstrapSpecs, SettersKeepTheObjectConsistent) {
  SvrBootstrapSpecs specs;
  specs.SetJackknifeCases({{1, 0}, {1, 1}});
  EXPECT_EQ(specs.GetJackknifeSegmentEnds(), (Ends{2}));
  EXPECT_THROW(specs.SetJackknifeSegmentEnds({3}), SvrBootstrapSpecsError);
  EXPECT_EQ(specs.GetJackknifeSegmentEnds(), (Ends{2})); // unchanged by the failed call
  specs.SetJackknifeCases({});
  EXPECT_TRUE(specs.GetJackknifeSegmentEnds().empty());
  EXPECT_THROW(specs.SetNSamples(0), SvrBootstrapSpecsError);
  EXPECT_EQ(specs.GetNSamples(), 1000u);
}
