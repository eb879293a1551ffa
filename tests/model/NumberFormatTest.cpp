#include <omf/model/CellText.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <string_view>

using namespace omf;

namespace {

constexpr std::uint32_t F(unsigned width, unsigned type, unsigned decimals) {
  return MakeFormat(width, type, decimals);
}

struct FormatCase {
  double value;
  std::uint32_t format;
  const char* expected;
};

TEST(NumberFormat, EveryTypeRoundsAndSigns) {
  const FormatCase cases[] = {
      // fixed (5)
      {1234.5, F(8, 5, 2), "1234.50"},
      {-1234.5, F(8, 5, 2), "-1234.50"},
      {0, F(8, 5, 0), "0"},
      {2.675, F(8, 5, 2), "2.68"}, // rounds as written, not as the binary value just below
      {1.005, F(8, 5, 2), "1.01"},
      {0.125, F(8, 5, 2), "0.13"}, // half away from zero, not to even
      {2.5, F(8, 5, 0), "3"},
      {-2.5, F(8, 5, 0), "-3"},
      {0.5, F(8, 5, 0), "1"},
      {0.05, F(8, 5, 1), "0.1"},
      {0.005, F(8, 5, 2), "0.01"},
      {0.004999, F(8, 5, 2), "0.00"},
      {9.995, F(8, 5, 2), "10.00"}, // carry into a new digit
      {999.9996, F(8, 5, 3), "1000.000"},
      {-0.001, F(8, 5, 2), "0.00"}, // no negative zero
      {-0.0, F(8, 5, 2), "0.00"},
      {0.1 + 0.2, F(8, 5, 2), "0.30"},
      {1e-7, F(8, 5, 3), "0.000"},
      {5e-7, F(8, 5, 6), "0.000001"},
      {1.5, F(8, 5, 20), "1.50000000000000000000"},
      {1e20, F(8, 5, 1), "100000000000000000000.0"},
      {123456789012345678.0, F(8, 5, 0), "123456789012345680"}, // digits a double holds
      // thousands separators (3)
      {1234.5, F(8, 3, 2), "1,234.50"},
      {-1234567.891, F(8, 3, 2), "-1,234,567.89"},
      {999.995, F(8, 3, 2), "1,000.00"},
      {100, F(8, 3, 0), "100"},
      {1000, F(8, 3, 0), "1,000"},
      {123456, F(8, 3, 0), "123,456"},
      {1e15, F(8, 3, 2), "1,000,000,000,000,000.00"},
      {0.5, F(8, 3, 2), "0.50"},
      // dollar (4)
      {1234.5, F(9, 4, 2), "$1,234.50"},
      {-1234.5, F(9, 4, 2), "-$1,234.50"},
      {0, F(9, 4, 2), "$0.00"},
      {-0.001, F(9, 4, 2), "$0.00"},
      // zero-padded integer (16): the integer part takes width digits
      {42, F(5, 16, 0), "00042"},
      {-42, F(5, 16, 0), "-00042"},
      {42.25, F(5, 16, 1), "00042.3"},
      {123456, F(3, 16, 0), "123456"},
      {0, F(3, 16, 0), "000"},
      {7, F(0, 16, 0), "7"},
      // scientific (17)
      {1234.5, F(8, 17, 2), "1.23E+03"},
      {-0.000123456, F(8, 17, 3), "-1.235E-04"},
      {0, F(8, 17, 2), "0.00E+00"},
      {9.999, F(8, 17, 2), "1.00E+01"},
      {1e100, F(8, 17, 1), "1.0E+100"},
      {1.5e-300, F(8, 17, 0), "2E-300"},
      {123, F(8, 17, 0), "1E+02"},
      {-0.0, F(8, 17, 1), "0.0E+00"},
      // percent (31): the value already is a percentage
      {12.5, F(8, 31, 2), "12.50%"},
      {-3, F(8, 31, 0), "-3%"},
      {99.996, F(8, 31, 2), "100.00%"},
      // comma as decimal point (32)
      {1234.5, F(8, 32, 2), "1.234,50"},
      {-1234567.5, F(8, 32, 1), "-1.234.567,5"},
      {0.25, F(8, 32, 2), "0,25"},
      // string format (1): shortest form, decimals byte ignored, no separators
      {1234.5, F(8, 1, 0), "1234.5"},
      {0.1, F(8, 1, 5), "0.1"},
      {1e21, F(8, 1, 0), "1000000000000000000000"},
      {-2.5e-5, F(8, 1, 0), "-0.000025"},
      {0.1 + 0.2, F(8, 1, 0), "0.30000000000000004"},
      {-0.0, F(8, 1, 0), "0"},
      // types without a row show as fixed
      {1234.5, F(8, 0, 2), "1234.50"},
      {1234.5, F(8, 2, 1), "1234.5"},
      {-1234.5, F(8, 99, 0), "-1235"},
      {1234.5, F(8, 255, 3), "1234.500"},
      {0.5, 0x05000000u, "0.50000"}, // decimals 5, type 0, width 0
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "value " << c.value << " type " << FormatType(c.format) << " decimals "
                                    << FormatDecimals(c.format));
    EXPECT_EQ(FormatNumber(c.value, c.format), c.expected);
  }
}

TEST(NumberFormat, MissingInfiniteAndNaNLookTheSameInEveryType) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (unsigned type : {0u, 1u, 3u, 4u, 5u, 16u, 17u, 31u, 32u, 77u}) {
    SCOPED_TRACE(testing::Message() << "type " << type);
    EXPECT_EQ(FormatNumber(kSysmis, F(8, type, 2)), ".");
    EXPECT_EQ(FormatNumber(nan, F(8, type, 2)), "NaN");
    EXPECT_EQ(FormatNumber(-nan, F(8, type, 2)), "NaN");
    EXPECT_EQ(FormatNumber(inf, F(8, type, 2)), "Inf");
    EXPECT_EQ(FormatNumber(-inf, F(8, type, 2)), "-Inf");
  }
  // The value just above the system-missing value is an ordinary number.
  EXPECT_NE(FormatNumber(std::nextafter(kSysmis, 0.0), F(8, 5, 0)), ".");
}

TEST(NumberFormat, ExtremeMagnitudes) {
  const std::string largest = FormatNumber(std::numeric_limits<double>::max(), F(40, 3, 2));
  // 309 integer digits in 103 groups, then ".00"; digits past the 17 that a double holds show as zeros
  EXPECT_EQ(largest.size(), 309u + 102u + 3u);
  EXPECT_EQ(largest.substr(0, 31), "179,769,313,486,231,570,000,000");
  EXPECT_EQ(largest.substr(largest.size() - 7), ",000.00");

  const double tiny = std::numeric_limits<double>::denorm_min();
  EXPECT_EQ(FormatNumber(tiny, F(8, 5, 2)), "0.00");
  EXPECT_EQ(FormatNumber(-tiny, F(8, 5, 2)), "0.00");
  EXPECT_EQ(FormatNumber(tiny, F(8, 17, 1)), "5.0E-324");
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::max(), F(8, 17, 3)), "1.798E+308");
  // 255 decimals of a value near the top of the range: bounded, exact length
  EXPECT_EQ(FormatNumber(1e300, F(8, 5, 255)).size(), 301u + 1u + 255u);
}

// Renderers format into a fixed buffer; a number that does not fit says so, and FormatNumber still gives
// it whole. Whole numbers take a shortcut to their digits, which must round as the general path does.
TEST(NumberFormat, FixedBufferAgreesWithTheStringAndReportsWhatDoesNotFit) {
  NumberText buffer;
  const auto into = [&](double v, std::uint32_t f) -> std::string {
    const std::size_t n = FormatNumberInto(v, f, buffer);
    return n == std::string_view::npos ? "(no fit)" : std::string(buffer.data(), n);
  };
  for (const double v : {0.0, -0.0, 7.0, -7.0, 1234567.0, 99999.5, 0.005, 1e15, 9007199254740991.0,
                         9007199254740993.0, 1e22, -2.675, std::numeric_limits<double>::max(), kSysmis})
    for (const std::uint32_t f : {F(8, 5, 0), F(8, 5, 2), F(12, 3, 1), F(12, 4, 3), F(8, 17, 2), F(6, 16, 0),
                                  F(8, 31, 1), F(8, 32, 2), F(8, 1, 0)}) {
      SCOPED_TRACE(std::to_string(v) + " in " + std::to_string(f));
      EXPECT_EQ(into(v, f), FormatNumber(v, f));
    }
  EXPECT_EQ(FormatNumber(999.5, F(8, 5, 0)), "1000");
  EXPECT_EQ(FormatNumber(1230000.0, F(8, 17, 1)), "1.2E+06");
  EXPECT_EQ(FormatNumber(-1230000.0, F(8, 3, 0)), "-1,230,000");

  // Zero-padded to a width past the buffer: the text is the width long.
  const std::uint32_t wide = F(5000, 16, 0);
  EXPECT_EQ(into(-42, wide), "(no fit)");
  const std::string padded = FormatNumber(-42, wide);
  EXPECT_EQ(padded.size(), 5001u);
  EXPECT_EQ(padded.substr(0, 3), "-00");
  EXPECT_EQ(padded.substr(padded.size() - 3), "042");
}

TEST(NumberFormat, NumberCellPadsToTheWidthOnlyWhenFormatted) {
  const struct {
    double value;
    std::uint32_t format;
    const char* plain;
    const char* formatted;
  } cases[] = {
      {1234.5, F(10, 5, 2), "1234.50", "   1234.50"},
      {1234.5, F(10, 4, 2), "$1,234.50", " $1,234.50"},
      {1234.5, F(3, 5, 2), "1234.50", "1234.50"}, // never truncated
      {kSysmis, F(4, 5, 2), ".", "   ."},
      {42, F(5, 16, 0), "00042", "00042"},
      {-42, F(5, 16, 0), "-00042", "-00042"},
      {1, F(0, 5, 0), "1", "1"},
  };
  for (const auto& c : cases) {
    const OmNumber n(c.value, c.format);
    EXPECT_EQ(n.AsString(), c.plain);
    EXPECT_EQ(n.AsFormattedString(), c.formatted);
  }
}

} // namespace
