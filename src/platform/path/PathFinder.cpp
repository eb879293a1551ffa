#include <omf/platform/path/PathFinder.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace omf {

namespace platform {
namespace {
std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}
std::string& Chosen() {
  static std::string chosen;
  return chosen;
}
} // namespace

std::string DataDirectory() {
  {
    std::lock_guard guard(Lock());
    if (!Chosen().empty()) return Chosen();
  }
  if (const char* env = std::getenv("OMF_DATA_DIR"); env != nullptr && *env != '\0') return env;
  std::error_code ec;
#ifdef OMF_SHARE_DIR
  if (std::filesystem::is_directory(std::filesystem::path(OMF_SHARE_DIR) / "lang", ec)) return OMF_SHARE_DIR;
#endif
#ifdef OMF_SOURCE_DATA_DIR
  return OMF_SOURCE_DATA_DIR;
#else
  return ".";
#endif
}

void SetDataDirectory(std::string directory) {
  std::lock_guard guard(Lock());
  Chosen() = std::move(directory);
}

} // namespace platform

std::string PathFinder::Path() const {
  return (std::filesystem::path(omf::platform::DataDirectory()) / _relative).lexically_normal().string();
}

std::unique_ptr<PathFinder> PathFactory::getPathInstance(int kind) {
  return std::make_unique<PathFinder>(kind);
}

} // namespace omf
