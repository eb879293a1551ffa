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
};

// The twelve languages, in table order.
const OutputLanguage* OutputLanguages(std::size_t& count);

// The language an "OLANG" value names: the value is upper-cased and the first row whose keyword shares
// its first three characters wins; failing that, a value equal to a row's locale code (compared on the
// code's first five characters for values longer than two, on two otherwise; ignoring case) names it.
std::optional<OutputLanguage> FindOutputLanguage(std::string_view value);

} // namespace omf
