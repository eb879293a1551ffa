// The string tables shipped under lang/: every file reads, every language has every key of the English
// table in the same section, templates keep their placeholders, short-name keys get full texts, and the
// texts that the factory and its poolers write all have entries. The tables are found through the data
// directory (OMF_DATA_DIR when set, as the test runner does).
#include <omf/platform/path/PathFinder.h>
#include <omf/platform/stringtable/StringTable.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

using namespace omf;

namespace {

// The directories of the twelve output languages.
const char* const kLanguages[] = {"lang/de", "lang/en", "lang/es", "lang/fr",    "lang/it",    "lang/ja",
                                  "lang/ko", "lang/pl", "lang/ru", "lang/zh_TW", "lang/zh_CN", "lang/pt_BR"};

std::string Resolve(const std::string& relative) {
  auto finder = PathFactory::getPathInstance(3);
  finder->SetRelativePath(relative);
  return finder->Path();
}

std::shared_ptr<const StringTable> Table(const std::string& directory) {
  return StringTable::Shared(Resolve(directory));
}

// What a translation must keep of its key: placeholders, the escaped percent sign and the brackets of
// repeats, as a sorted list.
std::vector<std::string> TemplateTokens(const std::string& text) {
  static const std::regex token(R"(\^[0-9]+|\\%|\[:|:\][0-9]+)");
  std::vector<std::string> tokens;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), token); it != std::sregex_iterator(); ++it)
    tokens.push_back(it->str());
  std::sort(tokens.begin(), tokens.end());
  return tokens;
}

// Every section of a table with its name ("" for the global entries).
std::vector<std::pair<std::string, const StringTable::Section*>> Sections(const StringTable& table) {
  std::vector<std::pair<std::string, const StringTable::Section*>> sections{{"", &table.Global()}};
  for (const auto& [name, section] : table.Procedures())
    sections.emplace_back(name, &section);
  return sections;
}

} // namespace

TEST(LanguageTables, EveryLanguageHasExactlyTheKeysOfTheEnglishTable) {
  const auto english = Table("lang/en");
  for (const char* language : kLanguages) {
    const auto table = Table(language);
    for (const auto& [procedure, section] : Sections(*english)) {
      const StringTable::Section* translated =
          procedure.empty() ? &table->Global() : table->Procedure(procedure);
      ASSERT_NE(translated, nullptr) << language << " has no section for " << procedure;
      for (const auto& [key, entry] : *section)
        EXPECT_TRUE(translated->contains(key))
            << language << " [" << procedure << "] lacks \"" << key << "\"";
    }
    // Nor any key that the English table does not have (a leftover of a renamed text).
    for (const auto& [procedure, section] : Sections(*table)) {
      const StringTable::Section* source =
          procedure.empty() ? &english->Global() : english->Procedure(procedure);
      ASSERT_NE(source, nullptr) << language << " has a section the English table lacks: " << procedure;
      for (const auto& [key, entry] : *section)
        EXPECT_TRUE(source->contains(key))
            << language << " [" << procedure << "] has an extra key \"" << key << "\"";
    }
  }
}

TEST(LanguageTables, TranslationsKeepPlaceholdersAndEscapes) {
  for (const char* language : kLanguages) {
    for (const auto& [procedure, section] : Sections(*Table(language)))
      for (const auto& [key, entry] : *section)
        EXPECT_EQ(TemplateTokens(entry.text), TemplateTokens(key))
            << language << ": \"" << key << "\" -> \"" << entry.text << "\"";
  }
  // The check itself sees what it must.
  EXPECT_EQ(TemplateTokens("[:^1=^2,:]1\\:Listwise N=^2"),
            (std::vector<std::string>{":]1", "[:", "^1", "^2", "^2"}));
  EXPECT_EQ(TemplateTokens("^1\\% Confidence Interval of the Difference"),
            (std::vector<std::string>{"\\%", "^1"}));
  EXPECT_NE(TemplateTokens("^1% Konfidenzintervall"), TemplateTokens("^1\\% Confidence Interval"));
}

TEST(LanguageTables, ShortNameKeysGetFullTexts) {
  // No key ending in "..." shows its short name in any language.
  for (const char* language : kLanguages)
    for (const auto& [key, entry] : Table(language)->Global())
      if (key.ends_with("...")) {
        EXPECT_FALSE(entry.text.ends_with("...")) << language << ": " << key;
      }
}

TEST(LanguageTables, TheSystemsOwnTextsHaveEntries) {
  // Texts that the factory, the poolers and the bootstrap calculator put into output.
  const char* const texts[] = {"Log",
                               "Text Output",
                               "Output Missing",
                               "Out of memory collecting output.",
                               "Active Dataset",
                               "Notes",
                               "Warnings",
                               "Splits",
                               "Pooled",
                               "Fraction Missing Info.",
                               "Relative Increase Variance",
                               "Relative Efficiency",
                               "No variance among imputations.",
                               "Models not pooled - terms vary...",
                               "Corr siq requires N...",
                               "Significance computed using F distribution, not Chi-square.",
                               "Redundant parameter ...",
                               "Redundant parameter is zero ...",
                               "Parameter is redundant",
                               "[:^1=^2,:]1\\:Listwise N=^2",
                               "^1, ^2",
                               "Bootstrap",
                               "Bootstrap for ^1",
                               "Bootstrap Statistics",
                               "Statistic",
                               "Bias",
                               "Std. Error",
                               "Sig. (2-tailed)",
                               "Lower",
                               "Upper",
                               "^1% Confidence Interval",
                               "BCa ^1% Confidence Interval",
                               "Unless otherwise noted, bootstrap results are based on ^1 ^2",
                               "bootstrap samples",
                               "stratified bootstrap samples",
                               "residual bootstrap samples",
                               "wild bootstrap samples",
                               "Based on ^1 samples",
                               "^1% coverage needs ^2 samples...",
                               "Not all jackknife results available, so...",
                               "Not all bootstrap results available..."};
  const auto english = Table("lang/en");
  for (const char* text : texts)
    EXPECT_TRUE(english->Global().contains(text)) << text;

  // Every message of the error file, by its English text.
  std::ifstream errors(Resolve("data/omerrors.err"));
  ASSERT_TRUE(errors) << Resolve("data/omerrors.err");
  int messages = 0;
  for (std::string line; std::getline(errors, line);) {
    if (line.empty() || line.front() == '#') continue;
    const std::string text = line.substr(line.find(' ') + 1);
    EXPECT_TRUE(english->Global().contains(text)) << text;
    ++messages;
  }
  EXPECT_GE(messages, 3);
}
