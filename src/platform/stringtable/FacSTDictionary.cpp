#include "platform/stringtable/FacSTDictionary.h"

// No string tables are read yet: every key stands for itself.
FacSTDictionary::FacSTDictionary(std::string globalTablePath) : _path(std::move(globalTablePath)) {}

void FacSTDictionary::SetGlobalStringTable(const std::string& path) {
  _path = path;
}

void FacSTDictionary::SetProcedure(const std::string& procedure) {
  _procedure = procedure;
}

std::string FacSTDictionary::LookUp(const std::string& key, std::string& first, std::string& second) {
  first.clear();
  second.clear();
  return key;
}

std::string FacSTDictionary::LookUp(const std::string& key) {
  std::string first, second;
  return LookUp(key, first, second);
}
