#pragma once
// String tables written by a test: language directories under a directory of its own in the system's
// temporary directory, removed with everything in it.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include <omf/platform/stringtable/StringTable.h>

namespace omf {

namespace fixtures {

class LanguageDirectories {
public:
  LanguageDirectories() {
    static std::atomic<int> counter{0};
    _path = std::filesystem::temp_directory_path() /
            ("omf-strings-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(_path);
  }
  ~LanguageDirectories() {
    std::error_code ec;
    std::filesystem::remove_all(_path, ec);
  }
  LanguageDirectories(const LanguageDirectories&) = delete;
  LanguageDirectories& operator=(const LanguageDirectories&) = delete;

  // Writes a language directory holding a table file with this text; returns the directory.
  std::string Language(const std::string& name, const std::string& text) const {
    const std::filesystem::path dir = _path / name;
    std::filesystem::create_directories(dir);
    std::ofstream(dir / StringTable::kFileName, std::ios::binary) << text;
    return dir.string();
  }
  std::string Path(const std::string& name) const { return (_path / name).string(); }

private:
  std::filesystem::path _path;
};

} // namespace fixtures

} // namespace omf
