#include <omf/platform/bootspec/SvrBootstrapSpecsSerializer.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <system_error>
#include <vector>

namespace omf {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view s) {
  const std::size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

// Long values are shortened in messages.
std::string Quote(std::string_view s) {
  constexpr std::size_t kShown = 40;
  std::string quoted(1, '\'');
  quoted.append(s.substr(0, kShown)).append(s.size() > kShown ? "...'" : "'");
  return quoted;
}

// One key=value line of the text.
struct Entry {
  std::size_t line = 0;
  std::string_view value;
};

class Reader {
public:
  Reader(std::string_view key, const Entry& entry) : _key(key), _line(entry.line) {}

  [[noreturn]] void Fail(const std::string& problem) const {
    throw SvrBootstrapSpecsError(std::string(_key), "bootstrap specification, line " + std::to_string(_line) +
                                                        ", key '" + std::string(_key) + "': " + problem);
  }

  template <class Number> Number Parse(std::string_view token, const char* what) const {
    Number n{};
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), n);
    if (ec == std::errc::result_out_of_range) Fail(Quote(token) + " is out of range for " + what);
    if (ec != std::errc() || end != token.data() + token.size() || token.empty())
      Fail(Quote(token) + " is not " + what);
    return n;
  }

  // Runs a setter of SvrBootstrapSpecs, giving its complaint this line's place.
  template <class Set> void Apply(Set set) const {
    try {
      set();
    } catch (const SvrBootstrapSpecsError& e) {
      Fail(e.what());
    }
  }

private:
  std::string_view _key;
  std::size_t _line;
};

// The blank-separated tokens of a value.
std::vector<std::string_view> Tokens(std::string_view value) {
  std::vector<std::string_view> tokens;
  while (!(value = Trim(value)).empty()) {
    const std::size_t end = std::min(value.find_first_of(kBlanks), value.size());
    tokens.push_back(value.substr(0, end));
    value.remove_prefix(end);
  }
  return tokens;
}

enum Key { kLevel, kSamples, kMethod, kJackknife, kSegments, kKeyCount };
constexpr std::array<std::string_view, kKeyCount> kKeyNames = {"level", "samples", "method", "jackknife",
                                                               "segments"};

} // namespace

SvrBootstrapSpecs SvrBootstrapSpecsSerializer::deserializeSpecs(std::string_view text) {
  std::array<std::optional<Entry>, kKeyCount> entries;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty()) continue;
    const std::size_t equals = line.find('=');
    const std::string_view key = Trim(line.substr(0, equals));
    if (equals == std::string_view::npos || key.empty()) {
      const std::string shown(key.empty() ? line.substr(0, 40) : key.substr(0, 40));
      throw SvrBootstrapSpecsError(
          shown, "bootstrap specification, line " + std::to_string(lineNumber) + ": " +
                     (key.empty() ? "no key before '='" : "key " + Quote(key) + " has no '=' and value"));
    }
    for (std::size_t k = 0; k < kKeyCount; ++k) {
      if (kKeyNames[k] != key) continue;
      if (entries[k])
        throw SvrBootstrapSpecsError(std::string(key), "bootstrap specification, line " +
                                                           std::to_string(lineNumber) + ", key '" +
                                                           std::string(key) + "': given before on line " +
                                                           std::to_string(entries[k]->line));
      entries[k] = Entry{lineNumber, Trim(line.substr(equals + 1))};
    }
  }

  SvrBootstrapSpecs specs;
  if (const auto& e = entries[kLevel]) {
    const Reader r("level", *e);
    const double level = r.Parse<double>(e->value, "a number");
    r.Apply([&] { specs.SetCILevelPct(level); });
  }
  if (const auto& e = entries[kSamples]) {
    const Reader r("samples", *e);
    const unsigned samples = r.Parse<unsigned>(e->value, "a whole number of samples");
    r.Apply([&] { specs.SetNSamples(samples); });
  }
  if (const auto& e = entries[kMethod]) {
    const Reader r("method", *e);
    const int method = r.Parse<int>(e->value, "a sampling method number");
    r.Apply([&] { specs.SetSamplingMethod(method); });
  }
  if (const auto& e = entries[kJackknife]) {
    const Reader r("jackknife", *e);
    std::vector<SvrJackknifeCase> cases;
    for (std::string_view pair : Tokens(e->value)) {
      const std::size_t colon = pair.find(':');
      if (colon == std::string_view::npos)
        r.Fail("case " + std::to_string(cases.size() + 1) + ", " + Quote(pair) +
               ", is not a weight:group pair");
      cases.push_back({r.Parse<double>(pair.substr(0, colon), "a weight"),
                       r.Parse<unsigned>(pair.substr(colon + 1), "a group number")});
    }
    r.Apply([&] { specs.SetJackknifeCases(std::move(cases)); });
  }
  if (const auto& e = entries[kSegments]; e && !Tokens(e->value).empty()) {
    const Reader r("segments", *e);
    std::vector<unsigned> ends;
    for (std::string_view token : Tokens(e->value))
      ends.push_back(r.Parse<unsigned>(token, "a segment end"));
    r.Apply([&] { specs.SetJackknifeSegmentEnds(std::move(ends)); });
  }
  return specs;
}

namespace {

void AppendNumber(std::string& out, double value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

} // namespace

std::string SvrBootstrapSpecsSerializer::serializeSpecs(const SvrBootstrapSpecs& specs) {
  std::string out = "level=";
  AppendNumber(out, specs.GetCILevelPct());
  out += "\nsamples=" + std::to_string(specs.GetNSamples());
  out += "\nmethod=" + std::to_string(specs.GetSamplingMethod()) + "\n";
  if (specs.GetJackknifeCases().empty()) return out;
  out += "jackknife=";
  const char* separator = "";
  for (const SvrJackknifeCase& c : specs.GetJackknifeCases()) {
    out += separator;
    AppendNumber(out, c.weight);
    out += ':';
    out += std::to_string(c.group);
    separator = " ";
  }
  out += "\nsegments=";
  separator = "";
  for (unsigned end : specs.GetJackknifeSegmentEnds()) {
    out += separator;
    out += std::to_string(end);
    separator = " ";
  }
  out += "\n";
  return out;
}

} // namespace omf
