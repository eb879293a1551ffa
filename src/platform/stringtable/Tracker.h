#pragma once
// Context that the string tables use while translating the texts of one table (its locale) and in which
// they record the keys that had no entry. Owned by the table or procedure; texts only point at it.
#include <string>
#include <vector>

namespace omf {

struct icuTracker {
  std::string locale;
  std::vector<std::string> missingKeys;
};

} // namespace omf
