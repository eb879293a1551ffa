// The output language table: which "OLANG" values name which language, and where its tables are.
#include <gtest/gtest.h>

#include <cstdlib>

#include <omf/platform/path/PathFinder.h>
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
// nothing by prefix.
TEST(OutputLanguage, PeopleNameLanguagesStrictly) {
  const std::pair<const char*, const char*> cases[] = {
      {"German", "lang/de"},
      {"gErMaN", "lang/de"},
      {"de", "lang/de"},
      {"DE", "lang/de"},
      {"de_DE", "lang/de"},
      {"de-AT", "lang/de"},
      {"en-US", "lang/en"},
      {"es-419", "lang/es"},
      {"ja_JP", "lang/ja"},
      {"zh_CN", "lang/zh_CN"},
      {"zh-cn", "lang/zh_CN"},
      {"zh-SG", "lang/zh_CN"},
      {"zh", "lang/zh_CN"},
      {"zh-Hans", "lang/zh_CN"},
      {"Chinese", "lang/zh_CN"},
      {"Simplified Chinese", "lang/zh_CN"},
      {"SCHINESE", "lang/zh_CN"},
      {"zh_TW", "lang/zh_TW"},
      {"zh-hk", "lang/zh_TW"},
      {"zh-Hant-HK", "lang/zh_TW"},
      {"Traditional Chinese", "lang/zh_TW"},
      {"tchinese", "lang/zh_TW"},
      {"pt", "lang/pt_BR"},
      {"pt-BR", "lang/pt_BR"},
      {"pt_PT", "lang/pt_BR"},
      {"Portuguese", "lang/pt_BR"},
      {"Brazilian Portuguese", "lang/pt_BR"},
      {"BPORTUGU", "lang/pt_BR"},
  };
  for (const auto& [value, directory] : cases) {
    const auto language = NamedOutputLanguage(value);
    ASSERT_TRUE(language.has_value()) << value;
    EXPECT_STREQ(language->directory, directory) << value;
  }
  for (const char* none : {"",         "DEFAULT",  "Polynesian", "Koala",    "ger",
                           "Germ",     "Germans",  "eng",        "zh-US",    "zh-Hanx",
                           "de-",      "-de",      "de_DEU",     "de-12",    "deu",
                           "xx",       "de DE",    " de",        "de.UTF-8", "Chinese Traditional",
                           "zh-Hant-", "zh-Hant-1"})
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

TEST(OutputLanguage, PathsResolveAgainstTheDataDirectory) {
  const char* env = std::getenv("OMF_DATA_DIR");
  const std::string saved = env ? env : "";
  setenv("OMF_DATA_DIR", "/opt/omf-data", 1);
  auto finder = PathFactory::getPathInstance(3);
  finder->SetRelativePath("lang/de");
  EXPECT_EQ(finder->Path(), "/opt/omf-data/lang/de");
  // The program's choice wins over the environment; without it the environment holds.
  omf::platform::SetDataDirectory("/srv/omf");
  EXPECT_EQ(finder->Path(), "/srv/omf/lang/de");
  omf::platform::SetDataDirectory("");
  EXPECT_EQ(finder->Path(), "/opt/omf-data/lang/de");
  unsetenv("OMF_DATA_DIR");
  if (!saved.empty()) setenv("OMF_DATA_DIR", saved.c_str(), 1);
}

} // namespace
