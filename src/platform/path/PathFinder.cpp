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

// The data directory of an installed program: <prefix>/bin/omf reads <prefix>/share/omf.
std::string BesideExecutable(const std::string& executable) {
  if (executable.empty()) return {};
  return (std::filesystem::path(executable).parent_path() / ".." / "share" / "omf")
      .lexically_normal()
      .string();
}

bool HoldsStringTables(const std::string& directory) {
  std::error_code ec;
  return !directory.empty() && std::filesystem::is_directory(std::filesystem::path(directory) / "lang", ec);
}

std::string RunningExecutable() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.string();
}
} // namespace

std::string ResolveDataDirectory(const DataDirectorySources& sources) {
  if (!sources.chosen.empty()) return sources.chosen;
  if (!sources.environment.empty()) return sources.environment;
  for (const std::string& candidate :
       {BesideExecutable(sources.executable), sources.source, sources.installed})
    if (HoldsStringTables(candidate)) return candidate;
  return sources.installed;
}

std::string DataDirectory() {
  DataDirectorySources sources;
  {
    std::lock_guard guard(Lock());
    sources.chosen = Chosen();
  }
  if (const char* env = std::getenv("OMF_DATA_DIR"); env != nullptr) sources.environment = env;
  if (sources.chosen.empty() && sources.environment.empty()) {
    // The running program does not change; its path is read once.
    static const std::string executable = RunningExecutable();
    sources.executable = executable;
  }
#ifdef OMF_SOURCE_DATA_DIR
  sources.source = OMF_SOURCE_DATA_DIR;
#endif
#ifdef OMF_SHARE_DIR
  sources.installed = OMF_SHARE_DIR;
#endif
  return ResolveDataDirectory(sources);
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
