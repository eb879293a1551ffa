#include <omf/presentation/Language.h>

#include <algorithm>
#include <cctype>
#include <iterator>

#include <omf/platform/strings/PlatformStrings.h>

namespace omf {

namespace {
// clang-format off
constexpr OutputLanguage kLanguages[] = {
  {"GERMAN",   "de",    "lang/de",    "German"},
  {"ENGLISH",  "en",    "lang/en",    "English"},
  {"SPANISH",  "es",    "lang/es",    "Spanish"},
  {"FRENCH",   "fr",    "lang/fr",    "French"},
  {"ITALIAN",  "it",    "lang/it",    "Italian"},
  {"JAPANESE", "ja",    "lang/ja",    "Japanese"},
  {"KOREAN",   "ko",    "lang/ko",    "Korean"},
  {"POLISH",   "pl",    "lang/pl",    "Polish"},
  {"RUSSIAN",  "ru",    "lang/ru",    "Russian"},
  {"TCHINESE", "zh-tw", "lang/zh_TW", "Traditional Chinese"},
  {"SCHINESE", "zh-cn", "lang/zh_CN", "Simplified Chinese"},
  {"BPORTUGU", "pt_BR", "lang/pt_BR", "Brazilian Portuguese"},
};

constexpr std::size_t kTraditionalChinese = 9, kSimplifiedChinese = 10, kPortuguese = 11;

// Further names a person may use: the bare names of the languages that have one table only in a variant.
constexpr std::pair<const char*, std::size_t> kMoreNames[] = {
  {"chinese",    kSimplifiedChinese},
  {"portuguese", kPortuguese},
};

// How the region or script of a Chinese locale code picks one of the two tables.
constexpr std::pair<const char*, std::size_t> kChineseVariants[] = {
  {"cn", kSimplifiedChinese},  {"sg", kSimplifiedChinese}, {"hans", kSimplifiedChinese},
  {"tw", kTraditionalChinese}, {"hk", kTraditionalChinese}, {"mo", kTraditionalChinese},
  {"hant", kTraditionalChinese},
};
// clang-format on

std::string Lower(std::string_view s) {
  std::string lower(s);
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool Letters(std::string_view s, std::size_t n) {
  return s.size() == n && std::all_of(s.begin(), s.end(), [](char c) {
           return std::isalpha(static_cast<unsigned char>(c)) != 0;
         });
}

bool Digits(std::string_view s, std::size_t n) {
  return s.size() == n && std::all_of(s.begin(), s.end(), [](char c) {
           return std::isdigit(static_cast<unsigned char>(c)) != 0;
         });
}

// The row of a locale code, lower-cased: language, then an optional region or (Chinese) script.
std::optional<std::size_t> FromLocaleCode(const std::string& code) {
  const std::size_t separator = code.find_first_of("-_");
  const std::string language = code.substr(0, separator);
  const std::string rest = separator == std::string::npos ? "" : code.substr(separator + 1);
  if (separator != std::string::npos && rest.empty()) return std::nullopt;
  if (!Letters(language, 2)) return std::nullopt;
  if (language == "zh") {
    if (rest.empty()) return kSimplifiedChinese;
    // A script may come before a region ("zh-Hant-HK"); the script decides.
    const std::string first = rest.substr(0, rest.find_first_of("-_"));
    const bool script = first.size() == 4;
    if (!script && first.size() != rest.size()) return std::nullopt;
    if (script && first.size() != rest.size()) {
      if (!Letters(rest.substr(5), 2)) return std::nullopt;
    }
    for (const auto& [variant, row] : kChineseVariants)
      if (first == variant) return row;
    return std::nullopt;
  }
  // A region: two letters (AT, BR) or three digits (419).
  if (!rest.empty() && !Letters(rest, 2) && !Digits(rest, 3)) return std::nullopt;
  for (std::size_t row = 0; row < std::size(kLanguages); ++row)
    if (std::string_view(kLanguages[row].locale).substr(0, 2) == language) return row;
  return std::nullopt;
}
} // namespace

const OutputLanguage* OutputLanguages(std::size_t& count) {
  count = std::size(kLanguages);
  return kLanguages;
}

std::optional<OutputLanguage> FindOutputLanguage(std::string_view value) {
  const std::string upper = VEXAMBstrupr_A(value);
  if (upper.size() >= 3)
    for (const OutputLanguage& row : kLanguages)
      if (std::string_view(row.keyword).substr(0, 3) == std::string_view(upper).substr(0, 3)) return row;
  // A locale code: its first five characters for values longer than two, its first two otherwise.
  for (const OutputLanguage& row : kLanguages) {
    const std::string_view code(row.locale);
    const std::size_t n = value.size() > 2 ? std::min<std::size_t>(5, code.size()) : 2;
    if (value.size() >= n && VEXAMBstrnicmp_A(value, code, n) == 0) return row;
  }
  return std::nullopt;
}

std::optional<OutputLanguage> NamedOutputLanguage(std::string_view value) {
  const std::string lower = Lower(value);
  for (const OutputLanguage& row : kLanguages)
    if (lower == Lower(row.keyword) || lower == Lower(row.name)) return row;
  for (const auto& [name, row] : kMoreNames)
    if (lower == name) return kLanguages[row];
  if (const auto row = FromLocaleCode(lower)) return kLanguages[*row];
  return std::nullopt;
}

std::string OutputLanguageCode(const OutputLanguage& language) {
  std::string code = language.locale;
  for (std::size_t k = 0; k < code.size(); ++k)
    code[k] = code[k] == '_'
                  ? '-'
                  : static_cast<char>(k > 2 ? std::toupper(static_cast<unsigned char>(code[k])) : code[k]);
  return code;
}

std::string OutputLanguageChoices() {
  std::string choices;
  for (const OutputLanguage& row : kLanguages) {
    if (!choices.empty()) choices += ", ";
    choices += row.name;
    choices += " (";
    choices += row.keyword;
    choices += ", ";
    choices += OutputLanguageCode(row);
    choices += ')';
  }
  return choices +
         "; a locale code may add a region after \"-\" or \"_\" (de-AT, pt_BR, zh-TW); \"zh\" and "
         "\"Chinese\" alone mean Simplified Chinese, \"Portuguese\" Brazilian Portuguese; case is ignored";
}

} // namespace omf
