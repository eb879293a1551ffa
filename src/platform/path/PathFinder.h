#pragma once
// Resolves the project's data files (string tables, message files) against its data directory: the one
// the program chose (e.g. the omf command's --data-dir option), else the directory named by the
// OMF_DATA_DIR environment variable, else the installed share directory, else the source tree it was
// built from.
#include <memory>
#include <string>

namespace omf {

namespace platform {
// The data directory in force.
std::string DataDirectory();
// Makes the program's choice of data directory (empty: back to the environment and the defaults).
void SetDataDirectory(std::string directory);
} // namespace platform

class PathFinder {
public:
  explicit PathFinder(int kind) : _kind(kind) {}
  // A directory or file relative to the data directory, such as "lang/de".
  void SetRelativePath(std::string relative) { _relative = std::move(relative); }
  // The resolved path.
  std::string Path() const;
  int Kind() const { return _kind; }

private:
  int _kind;
  std::string _relative;
};

class PathFactory {
public:
  // A finder for one kind of path; kind 3 is the data directory (the only kind there is).
  static std::unique_ptr<PathFinder> getPathInstance(int kind);
};

} // namespace omf
