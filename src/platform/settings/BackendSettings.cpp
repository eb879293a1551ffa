#include <omf/platform/settings/BackendSettings.h>

#include <charconv>

namespace omf {

void BackendSettings::setSettings(std::string_view text) {
  _values.clear();
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    _values[std::string(line.substr(0, eq))] = std::string(line.substr(eq + 1));
  }
}

std::string BackendSettings::Get(std::string_view key) const {
  const auto it = _values.find(key);
  return it == _values.end() ? std::string() : it->second;
}

long BackendSettings::GetInt(std::string_view key) const {
  const auto it = _values.find(key);
  if (it == _values.end()) return 0;
  long value = 0;
  const char* first = it->second.data();
  const char* last = first + it->second.size();
  while (first != last && *first == ' ')
    ++first;
  const auto [end, ec] = std::from_chars(first, last, value);
  return ec == std::errc() ? value : 0;
}

} // namespace omf
