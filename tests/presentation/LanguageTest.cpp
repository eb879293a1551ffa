// The output language table: which "OLANG" values name which language, and where its tables are.
#include <gtest/gtest.h>

#include <omf/presentation/Language.h>

using namespace omf;

namespace {

TEST(OutputLanguage, ValuesNameLanguagesByKeywordOrLocale) {
  const std::pair<const char*, const char*> cases[] = {
      {"German", "lang/de"},      {"GERMAN", "lang/de"},      {"ger", "lang/de"}, // three letters, any case
      {"english", "lang/en"},     {"Engl", "lang/en"},        {"TCHINESE", "lang/zh_TW"},
      {"tch", "lang/zh_TW"},      {"SCHINESE", "lang/zh_CN"}, {"sch", "lang/zh_CN"},   // the two Chinese rows
      {"bportugu", "lang/pt_BR"}, {"fr", "lang/fr"},          {"pt_BR", "lang/pt_BR"}, // locale codes
      {"zh-cn", "lang/zh_CN"},    {"de_DE", "lang/de"},
  };
  for (const auto& [value, directory] : cases) {
    const auto language = FindOutputLanguage(value);
    ASSERT_TRUE(language.has_value()) << value;
    EXPECT_STREQ(language->directory, directory) << value;
  }
  for (const char* none : {"", "xx", "Klingon", "ge"})
    EXPECT_FALSE(FindOutputLanguage(none).has_value()) << none;
  std::size_t count = 0;
  OutputLanguages(count);
  EXPECT_EQ(count, 12u);
}

// What a person may type for a language: whole keywords, English names and locale codes, case ignored;
// nothing by prefix. The command's own test names a language each way it may be named; these are
// the rest.
TEST(OutputLanguage, PeopleNameLanguagesStrictly) {
  const std::pair<const char*, const char*> cases[] = {
      {"gErMaN", "lang/de"},
      {"de", "lang/de"},
      {"DE", "lang/de"},
      {"de-AT", "lang/de"},
      {"en-US", "lang/en"},
      {"es-419", "lang/es"},
      {"ja_JP", "lang/ja"},
      {"zh-SG", "lang/zh_CN"},
      {"zh-Hans", "lang/zh_CN"},
      {"Simplified Chinese", "lang/zh_CN"},
      {"SCHINESE", "lang/zh_CN"},
      {"zh-hk", "lang/zh_TW"},
      {"zh-Hant-HK", "lang/zh_TW"},
      {"tchinese", "lang/zh_TW"},
      {"pt_PT", "lang/pt_BR"},
      {"Brazilian Portuguese", "lang/pt_BR"},
      {"BPORTUGU", "lang/pt_BR"},
  };
  for (const auto& [value, directory] : cases) {
    const auto language = NamedOutputLanguage(value);
    ASSERT_TRUE(language.has_value()) << value;
    EXPECT_STREQ(language->directory, directory) << value;
  }
  for (const char* none : {"", "ger", "Germ", "Germans", "eng", "zh-Hanx", "-de", "de_DEU", "de-12", "deu",
                           "xx", "de DE", " de", "de.UTF-8", "Chinese Traditional", "zh-Hant-", "zh-Hant-1"})
    EXPECT_FALSE(NamedOutputLanguage(none).has_value()) << '"' << none << '"';
  // Every row can be named by its keyword, its name and its code as shown.
  std::size_t count = 0;
  const OutputLanguage* languages = OutputLanguages(count);
  for (std::size_t k = 0; k < count; ++k)
    for (const std::string& value : {std::string(languages[k].keyword), std::string(languages[k].name),
                                     OutputLanguageCode(languages[k])}) {
      const auto language = NamedOutputLanguage(value);
      ASSERT_TRUE(language.has_value()) << value;
      EXPECT_STREQ(language->directory, languages[k].directory) << value;
      EXPECT_NE(OutputLanguageChoices().find(value), std::string::npos) << value;
    }
}

} // namespace
