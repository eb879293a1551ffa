// Terms of the string tables as the omf command shows them in each output language: a stream whose
// row labels are the keys, rendered with --lang, shows each key's text.
#include <map>
#include <string>

#include "RunOmf.h"

using namespace omf_test;

namespace {

// Key (the literal cell beside a row) to the row label shown, for one output language.
std::map<std::string, std::string> ShownTerms(const std::string& language) {
  const auto tables = PartsOfType(ScriptExport("translated-terms.omfscript", "--lang " + language), "table");
  std::map<std::string, std::string> shown;
  if (tables.size() != 1) {
    ADD_FAILURE() << "one table expected, found " << tables.size();
    return shown;
  }
  const auto& table = tables[0];
  // The terms are the categories of the larger dimension; each row holds one cell, the key.
  const auto& dims = table["dimensions"];
  const std::size_t terms = dims[0]["categories"].size() >= dims[1]["categories"].size() ? 0 : 1;
  std::map<int, std::string> labels;
  for (const auto& category : dims[terms]["categories"])
    labels[category["index"]] = category["label"];
  for (const auto& cell : table["cells"])
    shown[cell["text"]] = labels[cell["at"][terms]];
  return shown;
}

TEST(Translation, TermsReadAsTheLanguageSaysThem) {
  const struct {
    const char* language;
    const char* key;
    const char* text;
  } cases[] = {
      {"zh-cn", "Risk Estimate", "风险估计值"},
      {"zh-cn", "Asymptotic Significance (2-sided)", "渐近显著性（双侧）"},
      {"zh-cn", "Estimates", "估计值"},
      {"zh-cn", "Directional Measures", "方向性度量"},
      {"zh-cn", "Symmetric Measures", "对称性度量"},
      {"zh-cn", "t Statistic", "t 统计量"},
      {"zh-cn", "(Constant)", "（常量）"},
      {"zh-cn", "Mean Difference (I-J)", "平均值差值（I-J）"},
      {"zh-cn", "Partial", "偏"},
      {"zh-cn", "Bootstrap for ^1", "x的自助法"},
      {"zh-tw", "Partial", "偏"},
      {"zh-tw", "Bootstrap for ^1", "x的拔靴法"},
      {"ja", "Partial", "偏"},
      {"ja", "Bootstrap for ^1", "xのブートストラップ"},
      {"ko", "Partial", "편"},
      {"ru", "SE", "Ст. ош."},
      {"ru", "Descriptives", "Описательные статистики"},
      {"ru", "Partial", "Частная"},
      {"pl", "SE", "Błąd std."},
      {"pl", "Partial", "Cząstkowa"},
      {"de", "Descriptive Statistics", "Deskriptive Statistik"},
      {"de", "Part", "Semipartiell"},
      {"es", "Valid", "Válidos"},
      {"fr", "Hypothesized Value", "Valeur hypothétique"},
      {"it", "Range", "Campo di variazione"},
      {"en", "Somer D", "Somers' d"},
      {"en", "^1 C.I.for EXP(B)", "95 C.I. for EXP(B)"},
  };
  std::map<std::string, std::map<std::string, std::string>> byLanguage;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.language) + ": " + c.key);
    auto [it, added] = byLanguage.try_emplace(c.language);
    if (added) it->second = ShownTerms(c.language);
    const auto shown = it->second.find(c.key);
    ASSERT_NE(shown, it->second.end()) << "the stream has no row for the key";
    EXPECT_EQ(shown->second, c.text);
  }
}

} // namespace
