#include <omf/platform/settings/Iocvset.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>

namespace omf {

namespace {
std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}
std::map<std::string, int>& Table() {
  static std::map<std::string, int> table;
  return table;
}
} // namespace

void IOCVSET(const int* code, const void* record) {
  if (code == nullptr || record == nullptr) return;
  const auto* bytes = static_cast<const unsigned char*>(record);
  std::int32_t first = 0;
  std::memcpy(&first, bytes, 4);
  std::lock_guard guard(Lock());
  if (*code == 2) {
    Table()[reinterpret_cast<const char*>(bytes + 4)] = first;
  } else if (*code == 3) {
    std::int32_t second = 0;
    std::memcpy(&second, bytes + 4, 4);
    std::string key = std::to_string(first);
    key.insert(0, 1, '#');
    Table()[key] = second;
  }
}

namespace platform {
std::optional<int> SettingValue(const std::string& name) {
  std::lock_guard guard(Lock());
  const auto it = Table().find(name);
  if (it == Table().end()) return std::nullopt;
  return it->second;
}
void ClearSettings() {
  std::lock_guard guard(Lock());
  Table().clear();
}
} // namespace platform

} // namespace omf
