#pragma once
// The string tables through which output is translated into the output language. A dictionary looks
// keys (the untranslated texts) up in one language's table: first among the entries of the current
// procedure, then among the global entries; a key without an entry stands for itself.
#include <memory>
#include <string>

#include <omf/platform/stringtable/Tracker.h>

namespace omf {

class FacSTDictionary {
public:
  // Takes the global string table at once (see SetGlobalStringTable).
  explicit FacSTDictionary(std::string globalTablePath = "");
  ~FacSTDictionary();
  FacSTDictionary(const FacSTDictionary&) = delete;
  FacSTDictionary& operator=(const FacSTDictionary&) = delete;

  // Chooses the global string table: a language directory such as ".../lang/de" (or a table file).
  // An empty path means no table: every key stands for itself. A directory or file that is missing or
  // malformed raises StringTableError naming the file, and the table in use stays as it was. Each
  // table is read once per process, so switching languages is cheap.
  void SetGlobalStringTable(const std::string& path);
  const std::string& GlobalStringTable() const;
  // Lookups from now on are made in the context of this procedure.
  void SetProcedure(const std::string& procedure);
  const std::string& Procedure() const;
  // The tracker of the text being translated next; keys without an entry are noted in its missing keys
  // (once each) while a table is in use. Null: nothing is noted.
  void setICUTracker(icuTracker* tracker);
  // The text to show for a key; first and second receive the entry's note and second line (both empty
  // when the entry has none or there is no entry).
  std::string LookUp(const std::string& key, std::string& first, std::string& second);
  // The text to show for a key.
  std::string LookUp(const std::string& key);

private:
  struct Impl;
  std::unique_ptr<Impl> _my;
};

} // namespace omf
