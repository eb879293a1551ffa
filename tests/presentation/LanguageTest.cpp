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
