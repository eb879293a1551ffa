// The order in which the data directory is looked for: the program's choice, the environment, then the
// first place that holds the string tables (beside the program, the source tree, the configured prefix).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include <omf/platform/path/PathFinder.h>

namespace {

namespace fs = std::filesystem;
using omf::platform::DataDirectorySources;
using omf::platform::ResolveDataDirectory;

// A scratch folder with the three places a data directory may be, each with or without its string tables.
class Places {
public:
  Places() : _root(fs::temp_directory_path() / ("omf-data-places-" + std::to_string(::getpid()))) {
    fs::create_directories(_root / "prefix" / "bin");
    std::ofstream(_root / "prefix" / "bin" / "omf") << "";
  }
  ~Places() {
    std::error_code ec;
    fs::remove_all(_root, ec);
  }
  std::string Executable() const { return (_root / "prefix" / "bin" / "omf").string(); }
  std::string Beside() const { return (_root / "prefix" / "share" / "omf").string(); }
  std::string Source() const { return (_root / "source").string(); }
  std::string Installed() const { return (_root / "installed").string(); }
  // Gives exactly the named places their string tables.
  void Tables(bool beside, bool source, bool installed) const {
    const auto set = [](const std::string& dir, bool on) {
      std::error_code ec;
      if (on)
        fs::create_directories(fs::path(dir) / "lang");
      else
        fs::remove_all(dir, ec);
    };
    set(Beside(), beside);
    set(Source(), source);
    set(Installed(), installed);
  }

private:
  fs::path _root;
};

TEST(DataDirectory, IsLookedForInItsOrder) {
  const Places places;
  struct Case {
    const char* what;
    const char* chosen;
    const char* environment;
    bool beside, source, installed;
    std::string expected; // "beside", "source", "installed" or a literal path
  };
  const Case cases[] = {
      {"the program's choice wins over everything", "/chosen", "/env", true, true, true, "/chosen"},
      {"the choice wins even where it holds nothing", "/chosen", "", false, false, false, "/chosen"},
      {"the environment comes next", "", "/env", true, true, true, "/env"},
      {"an installed program reads share/omf beside its folder", "", "", true, true, true, "beside"},
      {"a program in the build tree reads the source tree", "", "", false, true, true, "source"},
      {"a program linked with the installed library reads the prefix", "", "", false, false, true,
       "installed"},
      {"with no tables anywhere, the installed place is named", "", "", false, false, false, "installed"},
  };
  for (const Case& c : cases) {
    places.Tables(c.beside, c.source, c.installed);
    DataDirectorySources sources;
    sources.chosen = c.chosen;
    sources.environment = c.environment;
    sources.executable = places.Executable();
    sources.source = places.Source();
    sources.installed = places.Installed();
    const std::string expected = c.expected == "beside"      ? places.Beside()
                                 : c.expected == "source"    ? places.Source()
                                 : c.expected == "installed" ? places.Installed()
                                                             : c.expected;
    EXPECT_EQ(ResolveDataDirectory(sources), expected) << c.what;
  }
}

// A program whose own path is unknown still finds the other places.
TEST(DataDirectory, NoExecutablePathFallsThrough) {
  const Places places;
  places.Tables(true, true, false);
  DataDirectorySources sources;
  sources.source = places.Source();
  sources.installed = places.Installed();
  EXPECT_EQ(ResolveDataDirectory(sources), places.Source());
}

} // namespace
