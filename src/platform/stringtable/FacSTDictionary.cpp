#include <omf/platform/stringtable/FacSTDictionary.h>

#include <algorithm>

#include <omf/platform/stringtable/StringTable.h>

namespace omf {

struct FacSTDictionary::Impl {
  std::string _path;
  std::string _procedure;
  std::shared_ptr<const StringTable> _table;
  // The current procedure's entries in _table, or null; found once per SetProcedure, not per lookup.
  const StringTable::Section* _section = nullptr;
  icuTracker* _tracker = nullptr;

  void FindSection() { _section = _table && !_procedure.empty() ? _table->Procedure(_procedure) : nullptr; }

  const StringTableEntry* Find(const std::string& key) const {
    if (!_table) return nullptr;
    if (_section != nullptr)
      if (const auto found = _section->find(key); found != _section->end()) return &found->second;
    const auto found = _table->Global().find(key);
    if (found != _table->Global().end()) return &found->second;
    if (_tracker != nullptr && !key.empty()) {
      std::vector<std::string>& missing = _tracker->missingKeys;
      if (std::find(missing.begin(), missing.end(), key) == missing.end()) missing.push_back(key);
    }
    return nullptr;
  }
};

FacSTDictionary::FacSTDictionary(std::string globalTablePath) : _my(std::make_unique<Impl>()) {
  SetGlobalStringTable(globalTablePath);
}

FacSTDictionary::~FacSTDictionary() = default;

void FacSTDictionary::SetGlobalStringTable(const std::string& path) {
  std::shared_ptr<const StringTable> table = path.empty() ? nullptr : StringTable::Shared(path);
  _my->_table = std::move(table);
  _my->_path = path;
  _my->FindSection();
}

const std::string& FacSTDictionary::GlobalStringTable() const {
  return _my->_path;
}

void FacSTDictionary::SetProcedure(const std::string& procedure) {
  _my->_procedure = procedure;
  _my->FindSection();
}

const std::string& FacSTDictionary::Procedure() const {
  return _my->_procedure;
}

void FacSTDictionary::setICUTracker(icuTracker* tracker) {
  _my->_tracker = tracker;
}

std::string FacSTDictionary::LookUp(const std::string& key, std::string& first, std::string& second) {
  if (const StringTableEntry* entry = _my->Find(key)) {
    first = entry->first;
    second = entry->second;
    return entry->text;
  }
  first.clear();
  second.clear();
  return key;
}

std::string FacSTDictionary::LookUp(const std::string& key) {
  const StringTableEntry* entry = _my->Find(key);
  return entry != nullptr ? entry->text : key;
}

} // namespace omf
