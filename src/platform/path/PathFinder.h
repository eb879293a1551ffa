#pragma once
// Resolves the project's data files (string tables, message files) against its data directory: the one
// the program chose (e.g. the omf command's --data-dir option), else the directory named by the
// OMF_DATA_DIR environment variable, else the first of these that holds the string tables: share/omf
// beside the running program's own folder (an installed program: <prefix>/bin/omf reads
// <prefix>/share/omf wherever the prefix was moved), the source tree the library was built from (a
// program in the build tree), the share directory of the prefix the build was configured for (a program
// linked with the installed library).
#include <memory>
#include <string>

namespace omf {

namespace platform {
// The data directory in force.
std::string DataDirectory();
// Makes the program's choice of data directory (empty: back to the environment and the defaults).
void SetDataDirectory(std::string directory);

// Where a data directory may come from; an empty entry is not there.
struct DataDirectorySources {
  std::string chosen;      // the program's choice
  std::string environment; // OMF_DATA_DIR
  std::string executable;  // the running program's file
  std::string source;      // the source tree the library was built from
  std::string installed;   // the share directory of the configured prefix
};
// The first of `chosen` and `environment` that is set, else the first of the other three that holds a
// `lang` folder, else `installed` (so that the string tables are reported missing where an installation
// puts them).
std::string ResolveDataDirectory(const DataDirectorySources& sources);
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
