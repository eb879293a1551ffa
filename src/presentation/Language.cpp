#include <omf/presentation/Language.h>

#include <omf/platform/strings/PlatformStrings.h>

namespace omf {

namespace {
// clang-format off
constexpr OutputLanguage kLanguages[] = {
  {"GERMAN",   "de",    "lang/de"},
  {"ENGLISH",  "en",    "lang/en"},
  {"SPANISH",  "es",    "lang/es"},
  {"FRENCH",   "fr",    "lang/fr"},
  {"ITALIAN",  "it",    "lang/it"},
  {"JAPANESE", "ja",    "lang/ja"},
  {"KOREAN",   "ko",    "lang/ko"},
  {"POLISH",   "pl",    "lang/pl"},
  {"RUSSIAN",  "ru",    "lang/ru"},
  {"TCHINESE", "zh-tw", "lang/zh_TW"},
  {"SCHINESE", "zh-cn", "lang/zh_CN"},
  {"BPORTUGU", "pt_BR", "lang/pt_BR"},
};
// clang-format on
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

} // namespace omf
