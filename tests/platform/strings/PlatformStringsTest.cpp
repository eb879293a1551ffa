#include <omf/platform/strings/PlatformStrings.h>

#include <gtest/gtest.h>

using namespace omf;

using omf::platform::Collate;
using omf::platform::ToUtf8;

TEST(PlatformStrings, CaseInsensitiveComparisonCoversNonAsciiLetters) {
  EXPECT_EQ(VEXAMBstricmp_A("Imputation_", "IMPUTATION_"), 0);
  EXPECT_EQ(VEXAMBstricmp_A("Größe", "GRÖSSE"), 0); // full case folding: ß folds to ss
  EXPECT_EQ(VEXAMBstricmp_A("Ärger", "ärger"), 0);
  EXPECT_LT(VEXAMBstricmp_A("abc", "abd"), 0);
  EXPECT_GT(VEXAMBstricmp_A("abcd", "ABC"), 0);
  EXPECT_EQ(VEXAMBstrnicmp_A("Regression", "REGXYZ", 3), 0);
  EXPECT_NE(VEXAMBstrnicmp_A("Regression", "REGXYZ", 4), 0);
  EXPECT_EQ(VEXAMBstrnicmp_A("Écart", "ÉCARTS", 5), 0); // counts characters, not bytes
  EXPECT_EQ(VEXAMBstrnicmp_A("ab", "AB", 10), 0);
}

TEST(PlatformStrings, UpperCasingAndSearch) {
  EXPECT_EQ(VEXAMBstrupr_A("Cross tabs"), "CROSS TABS");
  EXPECT_EQ(VEXAMBstrupr_A("résumé"), "RÉSUMÉ");
  EXPECT_EQ(VEXAMBstrrchr_A("REG*", '*'), 3u);
  EXPECT_EQ(VEXAMBstrrchr_A("REG", '*'), std::string::npos);
}

TEST(PlatformStrings, CodePageConversionBothWays) {
  const std::string cafe = "caf\xc3\xa9"; // UTF-8
  const std::string single = VEXAMBU8ToGeneric(cafe, "windows-1252");
  ASSERT_EQ(single.size(), 4u);
  EXPECT_EQ(static_cast<unsigned char>(single[3]), 0xE9);
  EXPECT_EQ(ToUtf8(single, "windows-1252"), cafe);
  EXPECT_EQ(ToUtf8(cafe, "UTF-8"), cafe);
  EXPECT_EQ(ToUtf8("\xff", "UTF-8"), "\xef\xbf\xbd"); // invalid byte becomes U+FFFD
}

TEST(PlatformStrings, CollationFollowsTheLocale) {
  EXPECT_LT(Collate("en_US", "apple", "Banana"), 0); // not byte order
  EXPECT_LT(Collate("de", "Äpfel", "Birnen"), 0);
  EXPECT_GT(Collate("sv", "Äpple", "Zebra"), 0); // in Swedish Ä sorts after Z
  EXPECT_EQ(Collate("", "same", "same"), 0);
}

TEST(PlatformStrings, DisplayWidthCountsTerminalColumns) {
  EXPECT_EQ(omf::platform::DisplayWidth("Mean"), 4u);
  EXPECT_EQ(omf::platform::DisplayWidth("平均値"), 6u);    // wide characters take two columns
  EXPECT_EQ(omf::platform::DisplayWidth("Ｎ"), 2u);        // full-width letter
  EXPECT_EQ(omf::platform::DisplayWidth("e\xcc\x81"), 1u); // e and a combining accent
  EXPECT_EQ(omf::platform::DisplayWidth("Gültig"), 6u);
  EXPECT_EQ(omf::platform::DisplayWidth("\xff"
                                        "a"),
            2u); // a broken byte counts as one
}
