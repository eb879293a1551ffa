// An installed omf finds its data in share/omf beside its own folder, wherever the prefix lies, before
// the source tree it was built from; OMF_DATA_DIR and --data-dir still override.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A copy of the command in <prefix>/bin, with <prefix>/share/omf holding the source tree's message file
// and only the German string table.
class InstalledCopy {
public:
  InstalledCopy() : _prefix(fs::temp_directory_path() / ("omf-installed-" + std::to_string(::getpid()))) {
    const fs::path source(OMF_TEST_SOURCE_DIR);
    fs::create_directories(_prefix / "bin");
    fs::create_directories(_prefix / "share" / "omf" / "lang");
    // A copy, not a link: the program knows itself by its own file.
    fs::copy_file(OMF_BINARY, Binary(), fs::copy_options::overwrite_existing);
    fs::create_directory_symlink(source / "lang" / "de", _prefix / "share" / "omf" / "lang" / "de");
    fs::create_directory_symlink(source / "data", _prefix / "share" / "omf" / "data");
  }
  ~InstalledCopy() {
    std::error_code ec;
    fs::remove_all(_prefix, ec);
  }
  fs::path Binary() const { return _prefix / "bin" / "omf"; }

  // Runs the copy with the arguments, OMF_DATA_DIR set to `dataDir` or unset; returns standard output.
  std::string Run(const std::string& args, const std::string& dataDir) const {
    const fs::path out = _prefix / "out.txt";
    const std::string env = dataDir.empty() ? "env -u OMF_DATA_DIR " : "env OMF_DATA_DIR=" + dataDir + " ";
    const int raw =
        std::system((env + Binary().string() + " " + args + " >" + out.string() + " 2>/dev/null").c_str());
    EXPECT_TRUE(WIFEXITED(raw)) << args;
    std::ifstream in(out, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

private:
  fs::path _prefix;
};

TEST(InstalledCommand, ReadsTheDataBesideItsOwnFolder) {
  const InstalledCopy installed;
  const std::string source = OMF_TEST_SOURCE_DIR;
  struct Case {
    const char* what;
    std::string args;
    std::string dataDir;
    const char* shown;    // a word the output must hold
    const char* notShown; // and one it must not (empty: none)
  };
  const Case cases[] = {
      {"German, from the installed tables", "render --lang de", "", "Häufigkeiten", ""},
      // The source tree has French, the installation does not: French shows only if the source is read.
      {"not the source tree's tables", "render --lang fr", "", "Frequencies", "Fréquences"},
      {"the environment overrides", "render --lang fr", source, "Fréquences", ""},
      {"and so does --data-dir", "--data-dir " + source + " render --lang fr", "", "Fréquences", ""},
  };
  for (const Case& c : cases) {
    const std::string out = installed.Run(c.args, c.dataDir);
    EXPECT_NE(out.find(c.shown), std::string::npos) << c.what;
    if (*c.notShown != '\0') {
      EXPECT_EQ(out.find(c.notShown), std::string::npos) << c.what;
    }
  }
}

} // namespace
