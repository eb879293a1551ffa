#pragma once
// One criterion set of a selection request: command names, table subtypes, labels and instance numbers.
// Texts are stored upper-cased. Exported and streamed between processes.
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace omf {

namespace selection::detail {
class StreamReader;
class StreamWriter;
} // namespace selection::detail

class OMSSelector {
public:
  OMSSelector();
  OMSSelector(const OMSSelector& other);
  OMSSelector& operator=(const OMSSelector& other);
  ~OMSSelector();

  void AddCommands(std::string_view command);
  void AddSubtypes(std::string_view subtype);
  void AddNames(std::string_view name);
  // Instance numbers count from 1 (std::logic_error otherwise).
  void AddInstances(std::int32_t instance);
  void AddLastInstance();

  const std::vector<std::string>& GetCommands() const;
  const std::vector<std::string>& GetSubtypes() const;
  const std::vector<std::string>& GetNames() const;
  const std::vector<std::int32_t>& GetInstances() const;
  std::size_t GetCommandsCount() const;
  std::size_t GetSubtypesCount() const;
  std::size_t GetNamesCount() const;
  std::size_t GetInstancesCount() const;
  bool HasCommands() const;
  bool HasSubtypes() const;
  bool HasNames() const;
  // An instance number or the last-instance flag.
  bool HasInstances() const;
  bool GetHasLastInstance() const;

  // Pattern matches, ignoring case. A pattern ending in '*' matches every text that starts with the rest
  // of it. Commands and subtypes ignore blanks and hyphens on both sides; names are compared as they stand.
  bool GetHasCommand(std::string_view command) const;
  bool GetHasSubtype(std::string_view subtype) const;
  bool GetHasName(std::string_view name) const;
  // False for an empty list of instance numbers (the last-instance flag is not a number).
  bool GetHasInstance(std::int32_t instance) const;

  // No criterion at all: the four lists empty and no last-instance flag.
  bool EmptySubcommand() const;

  // Byte-reverse the counts and instance numbers of the next read (data written with the other byte order).
  void SwapBytes(bool swap);
  // Reverses `length` bytes in place.
  static void DoSwapBytes(char* buffer, int length);

  // Stream block: for commands, subtypes and names a count (4) and the texts (text + NUL each), then the
  // instance count (4), the instances (4 each) and the last-instance flag (1). A read that fails raises
  // OMSStreamError and leaves the set unchanged.
  friend std::ostream& operator<<(std::ostream& os, const OMSSelector& selector);
  friend std::istream& operator>>(std::istream& is, OMSSelector& selector);

private:
  friend class OMSObjectSelector;
  void WriteTo(omf::selection::detail::StreamWriter& out) const;
  void ReadFrom(omf::selection::detail::StreamReader& in);

  struct Impl;
  std::unique_ptr<Impl> _my;
};

} // namespace omf
