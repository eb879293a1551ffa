#include <omf/selection/OMSSelector.h>

#include <omf/platform/strings/PlatformStrings.h>
#include <omf/selection/Precondition.h>
#include <omf/selection/SelectionStream.h>
#include <omf/selection/TextBytes.h>

#include <algorithm>
#include <istream>
#include <ostream>

namespace omf {

using omf::selection::detail::IsUtf8;
using omf::selection::detail::Require;
using omf::selection::detail::StreamReader;
using omf::selection::detail::StreamWriter;
using omf::selection::detail::UpperCase;

struct OMSSelector::Impl {
  std::vector<std::string> _commands;
  std::vector<std::string> _subtypes;
  std::vector<std::string> _names;
  std::vector<std::int32_t> _instances;
  bool _lastInstance = false;
  bool _swapBytes = false;
};

namespace {

enum class Spacing { kIgnoreBlanksAndHyphens, kAsWritten };

// "Cross Tabs", "CROSS-TABS" and "CROSSTABS" name one command, so blanks (space, tab) and hyphens go.
std::string WithoutBlanksAndHyphens(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '-') out.push_back(c);
  return out;
}

bool ListMatch(const std::vector<std::string>& patterns, std::string_view candidate, Spacing spacing) {
  std::string wanted = UpperCase(candidate);
  if (spacing == Spacing::kIgnoreBlanksAndHyphens) wanted = WithoutBlanksAndHyphens(wanted);
  const bool wantedIsUtf8 = IsUtf8(wanted);
  for (const std::string& stored : patterns) {
    const std::string pattern =
        spacing == Spacing::kIgnoreBlanksAndHyphens ? WithoutBlanksAndHyphens(stored) : stored;
    // Bytes that are not UTF-8 match only themselves: texts holding them compare upper-cased, byte by byte.
    const bool characters = wantedIsUtf8 && IsUtf8(pattern);
    if (characters ? VEXAMBstricmp_A(pattern, wanted) == 0 : pattern == wanted) return true;
    // Only a final '*' is a wildcard; one elsewhere is an ordinary character.
    const std::size_t star = VEXAMBstrrchr_A(pattern, '*');
    if (star == std::string::npos || star + 1 != pattern.size()) continue;
    const std::string_view prefix(pattern.data(), star);
    if (characters) {
      if (VEXAMBstrnicmp_A(wanted, prefix, omf::platform::Utf8Length(prefix)) == 0) return true;
    } else if (std::string_view(wanted).starts_with(prefix)) {
      return true;
    }
  }
  return false;
}

// Smallest stream size of one list entry: an empty text, or an instance number.
constexpr std::size_t kTextMinimumBytes = 1;
constexpr std::size_t kInstanceBytes = 4;

} // namespace

OMSSelector::OMSSelector() : _my(std::make_unique<Impl>()) {}
OMSSelector::OMSSelector(const OMSSelector& other) : _my(std::make_unique<Impl>(*other._my)) {}

OMSSelector& OMSSelector::operator=(const OMSSelector& other) {
  if (this != &other) *_my = *other._my;
  return *this;
}

OMSSelector::~OMSSelector() = default;

void OMSSelector::AddCommands(std::string_view command) {
  _my->_commands.push_back(UpperCase(command));
}
void OMSSelector::AddSubtypes(std::string_view subtype) {
  _my->_subtypes.push_back(UpperCase(subtype));
}
void OMSSelector::AddNames(std::string_view name) {
  _my->_names.push_back(UpperCase(name));
}

void OMSSelector::AddInstances(std::int32_t instance) {
  Require(instance > 0, "inst > 0");
  _my->_instances.push_back(instance);
}

void OMSSelector::AddLastInstance() {
  _my->_lastInstance = true;
}

const std::vector<std::string>& OMSSelector::GetCommands() const {
  return _my->_commands;
}
const std::vector<std::string>& OMSSelector::GetSubtypes() const {
  return _my->_subtypes;
}
const std::vector<std::string>& OMSSelector::GetNames() const {
  return _my->_names;
}
const std::vector<std::int32_t>& OMSSelector::GetInstances() const {
  return _my->_instances;
}
std::size_t OMSSelector::GetCommandsCount() const {
  return _my->_commands.size();
}
std::size_t OMSSelector::GetSubtypesCount() const {
  return _my->_subtypes.size();
}
std::size_t OMSSelector::GetNamesCount() const {
  return _my->_names.size();
}
std::size_t OMSSelector::GetInstancesCount() const {
  return _my->_instances.size();
}
bool OMSSelector::HasCommands() const {
  return !_my->_commands.empty();
}
bool OMSSelector::HasSubtypes() const {
  return !_my->_subtypes.empty();
}
bool OMSSelector::HasNames() const {
  return !_my->_names.empty();
}
bool OMSSelector::HasInstances() const {
  return !_my->_instances.empty() || _my->_lastInstance;
}
bool OMSSelector::GetHasLastInstance() const {
  return _my->_lastInstance;
}

bool OMSSelector::GetHasCommand(std::string_view command) const {
  return ListMatch(_my->_commands, command, Spacing::kIgnoreBlanksAndHyphens);
}

bool OMSSelector::GetHasSubtype(std::string_view subtype) const {
  return ListMatch(_my->_subtypes, subtype, Spacing::kIgnoreBlanksAndHyphens);
}

bool OMSSelector::GetHasName(std::string_view name) const {
  return ListMatch(_my->_names, name, Spacing::kAsWritten);
}

bool OMSSelector::GetHasInstance(std::int32_t instance) const {
  return std::find(_my->_instances.begin(), _my->_instances.end(), instance) != _my->_instances.end();
}

bool OMSSelector::EmptySubcommand() const {
  return _my->_commands.empty() && _my->_subtypes.empty() && _my->_names.empty() && _my->_instances.empty() &&
         !_my->_lastInstance;
}

void OMSSelector::SwapBytes(bool swap) {
  _my->_swapBytes = swap;
}

void OMSSelector::DoSwapBytes(char* buffer, int length) {
  if (buffer != nullptr && length > 1) std::reverse(buffer, buffer + length);
}

void OMSSelector::WriteTo(StreamWriter& out) const {
  const auto texts = [&](const std::vector<std::string>& list, std::string_view field) {
    out.Int32(static_cast<std::int32_t>(list.size()));
    for (const std::string& text : list)
      out.Text(text, field);
  };
  texts(_my->_commands, "a command");
  texts(_my->_subtypes, "a subtype");
  texts(_my->_names, "a label");
  out.Int32(static_cast<std::int32_t>(_my->_instances.size()));
  for (std::int32_t instance : _my->_instances)
    out.Int32(instance);
  out.Flag(_my->_lastInstance);
}

void OMSSelector::ReadFrom(StreamReader& in) {
  const bool swap = _my->_swapBytes;
  // Entries are appended as they are read, so a count the input cannot back never allocates ahead.
  const auto texts = [&](std::string_view what) {
    std::vector<std::string> list;
    const std::int32_t count = in.Count(std::string(what) + " count", swap, kTextMinimumBytes);
    for (std::int32_t i = 0; i < count; ++i) {
      const std::uint64_t at = in.Offset();
      const std::string field = std::string(what) + " " + std::to_string(i + 1);
      std::string text = in.Text(field);
      // Criteria are kept upper-cased; another text would read as a request that no written form makes.
      if (UpperCase(text) != text)
        in.Fail(field, at, "the text is not upper-cased, as commands, subtypes and labels are stored");
      list.push_back(std::move(text));
    }
    return list;
  };
  std::vector<std::string> commands = texts("command");
  std::vector<std::string> subtypes = texts("subtype");
  std::vector<std::string> names = texts("label");
  std::vector<std::int32_t> instances;
  const std::int32_t count = in.Count("instance count", swap, kInstanceBytes);
  for (std::int32_t i = 0; i < count; ++i) {
    const std::uint64_t at = in.Offset();
    const std::string field = "instance " + std::to_string(i + 1);
    const std::int32_t instance = in.Int32(field, swap);
    if (instance < 1) in.Fail(field, at, "the instance number " + std::to_string(instance) + " is below 1");
    instances.push_back(instance);
  }
  const bool last = in.Flag("last-instance flag");

  _my->_commands = std::move(commands);
  _my->_subtypes = std::move(subtypes);
  _my->_names = std::move(names);
  _my->_instances = std::move(instances);
  _my->_lastInstance = last;
}

std::ostream& operator<<(std::ostream& os, const OMSSelector& selector) {
  StreamWriter out(os);
  selector.WriteTo(out);
  return os;
}

std::istream& operator>>(std::istream& is, OMSSelector& selector) {
  StreamReader in(is);
  StreamReader::Scope scope(in, "criterion set");
  OMSSelector read(selector);
  read.ReadFrom(in);
  selector = read;
  return is;
}

} // namespace omf
