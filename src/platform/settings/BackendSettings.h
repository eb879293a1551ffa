#pragma once
// The settings of one procedure, read from the text the back end sends with the procedure's begin
// message: one key=value per line (LF or CRLF), keys case-sensitive, unknown keys ignored, a missing
// key read as the empty string or 0.
#include <map>
#include <string>
#include <string_view>

namespace omf {

class BackendSettings {
public:
  BackendSettings() = default;
  explicit BackendSettings(std::string_view text) { setSettings(text); }
  void setSettings(std::string_view text);

  std::string getProcedureName() const { return Get("procedure"); }
  std::string getTranslatedProcedureName() const { return Get("procedure.translated"); }
  std::string getLanguage() const { return Get("language"); }
  std::string getCodePage() const { return Get("codepage"); }
  std::string getLocale() const { return Get("locale"); }
  bool getBootstrapped() const { return GetInt("bootstrap") != 0; }
  bool getFastTables() const { return GetInt("fasttables") != 0; }

  // Any key; empty when missing.
  std::string Get(std::string_view key) const;
  // Any key as an integer; 0 when missing or not a number.
  long GetInt(std::string_view key) const;
  const std::map<std::string, std::string, std::less<>>& All() const { return _values; }

private:
  std::map<std::string, std::string, std::less<>> _values;
};

} // namespace omf
