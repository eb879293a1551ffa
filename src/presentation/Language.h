#pragma once
// The output languages: a keyword, a locale code and the directory of the language's string tables.
#include <optional>
#include <string>
#include <string_view>

namespace omf {

struct OutputLanguage {
  const char* keyword;
  const char* locale;
  const char* directory;
  const char* name; // in English, as a person names the language
};

// The twelve languages, in table order.
const OutputLanguage* OutputLanguages(std::size_t& count);

// The language an "OLANG" value names: the value is upper-cased and the first row whose keyword shares
// its first three characters wins; failing that, a value equal to a row's locale code (compared on the
// code's first five characters for values longer than two, on two otherwise; ignoring case) names it.
std::optional<OutputLanguage> FindOutputLanguage(std::string_view value);

// The language a person names, strictly: the whole value, case ignored, is a keyword ("German",
// "SCHINESE"), an English name ("Portuguese", "Traditional Chinese"), or a locale code whose parts are
// joined by "-" or "_": a language ("de"), with a two-letter or three-digit region ("de-AT", "pt_BR"),
// or for Chinese a script ("zh-Hant"). Languages with one table take any region; Chinese is Traditional
// for the regions TW, HK and MO and the script Hant, Simplified for CN and SG, the script Hans and the
// bare code "zh" (and the bare name "Chinese"). Nothing else names a language: no prefixes.
std::optional<OutputLanguage> NamedOutputLanguage(std::string_view value);

// A language's locale code as a person writes it: "de", "zh-TW", "pt-BR".
std::string OutputLanguageCode(const OutputLanguage& language);

// The values NamedOutputLanguage takes, for a person to read in one line.
std::string OutputLanguageChoices();

} // namespace omf
