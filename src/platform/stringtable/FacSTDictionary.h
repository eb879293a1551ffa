#pragma once
// The string tables through which output is translated into the output language.
#include <string>

#include "model/CellText.h"

class FacSTDictionary {
public:
  explicit FacSTDictionary(std::string globalTablePath = "");
  // Chooses the global string table (a language directory such as ".../lang/de").
  void SetGlobalStringTable(const std::string& path);
  const std::string& GlobalStringTable() const { return _path; }
  // Lookups from now on are made in the context of this procedure.
  void SetProcedure(const std::string& procedure);
  const std::string& Procedure() const { return _procedure; }
  // The tracker of the text being translated next.
  void setICUTracker(icuTracker* tracker) { _tracker = tracker; }
  // The text to show for a key; first and second receive the entry's further texts.
  std::string LookUp(const std::string& key, std::string& first, std::string& second);
  // The text to show for a key.
  std::string LookUp(const std::string& key);

private:
  std::string _path;
  std::string _procedure;
  icuTracker* _tracker = nullptr;
};
