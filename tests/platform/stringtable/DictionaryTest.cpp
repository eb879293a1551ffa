// The string table format and the dictionary over it: entries, escapes, procedure sections and their
// fallbacks, further strings, missing keys noted in the tracker, and the errors that name the file
// and line of every problem.
#include <omf/platform/stringtable/FacSTDictionary.h>
#include <omf/platform/stringtable/StringTable.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/LanguageDirectories.h"

using namespace omf;

namespace {

using omf::fixtures::LanguageDirectories;

struct Entry {
  std::string text, first, second;
  bool operator==(const Entry&) const = default;
};

// The text and further strings of a key; further strings left over from an earlier look-up are cleared.
Entry Look(FacSTDictionary& dictionary, const std::string& key) {
  Entry e{"", "stale", "stale"};
  e.text = dictionary.LookUp(key, e.first, e.second);
  return e;
}

const StringTableEntry* Global(const StringTable& table, const std::string& key) {
  const auto found = table.Global().find(key);
  return found == table.Global().end() ? nullptr : &found->second;
}

} // namespace

TEST(StringTable, ReadsKeysTextsAndEscapes) {
  const StringTable table = StringTable::Parse("\xEF\xBB\xBF# comment\r\n"
                                               "\n"
                                               "   # indented comment\n"
                                               "Mean = Mittelwert\r\n"
                                               "\tStd. Deviation\t=\tStandardabweichung  \n"
                                               "a\\=b = x = y\n"
                                               "\\[:^1\\=^2,:]1\\:Listwise N\\=^2 = [:^1=^2,:]1\\:N=^2\n"
                                               "\\#hash = tag\n"
                                               "^1\\% Interval = ^1\\%-Intervall\n"
                                               "\\sblank\\s = \\stwo lines\\nsecond\\tend\\s\n"
                                               "bar = a \\| b\n"
                                               "back = one\\\\two\n"
                                               "Hypothesis Test#Sig. = Test#Sig.\n"
                                               "last = no newline",
                                               "t.txt");
  const std::pair<const char*, const char*> expected[] = {
      {"Mean", "Mittelwert"},
      {"Std. Deviation", "Standardabweichung"},
      {"a=b", "x = y"},
      {"[:^1=^2,:]1\\:Listwise N=^2", "[:^1=^2,:]1\\:N=^2"},
      {"#hash", "tag"},
      {"^1\\% Interval", "^1\\%-Intervall"},
      {" blank ", " two lines\nsecond\tend "},
      {"bar", "a | b"},
      {"back", "one\\two"},
      {"Hypothesis Test#Sig.", "Test#Sig."},
      {"last", "no newline"},
  };
  EXPECT_EQ(table.Global().size(), std::size(expected));
  for (const auto& [key, text] : expected) {
    const StringTableEntry* entry = Global(table, key);
    ASSERT_NE(entry, nullptr) << key;
    EXPECT_EQ(entry->text, text) << key;
    EXPECT_EQ(entry->first, "") << key;
    EXPECT_EQ(entry->second, "") << key;
  }
  EXPECT_EQ(table.File(), "t.txt");
  EXPECT_TRUE(StringTable::Parse("", "empty.txt").Global().empty());
}

TEST(StringTable, ReadsFurtherStringsAndSections) {
  const StringTable table = StringTable::Parse("Title = Titel | from the style guide | Untertitel\n"
                                               "Note = Notiz | a note\n"
                                               "Sub = Unter || zweite Zeile\n"
                                               "[procedure \"Regression\"]\n"
                                               "Part = Semipartiell\n"
                                               "[ procedure   \"Two \\\"words\\\"\" ]\n"
                                               "Part = Teil\n"
                                               "[global]\n"
                                               "Part = Teil\n"
                                               "[procedure \"Regression\"]\n"
                                               "Partial = Partiell\n",
                                               "t.txt");
  const StringTableEntry* title = Global(table, "Title");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ((Entry{title->text, title->first, title->second}),
            (Entry{"Titel", "from the style guide", "Untertitel"}));
  EXPECT_EQ(Global(table, "Note")->first, "a note");
  EXPECT_EQ(Global(table, "Note")->second, "");
  EXPECT_EQ(Global(table, "Sub")->first, "");
  EXPECT_EQ(Global(table, "Sub")->second, "zweite Zeile");

  const StringTable::Section* regression = table.Procedure("Regression");
  ASSERT_NE(regression, nullptr);
  EXPECT_EQ(regression->size(), 2u); // a section given twice is one section
  EXPECT_EQ(regression->at("Part").text, "Semipartiell");
  ASSERT_NE(table.Procedure("Two \"words\""), nullptr);
  EXPECT_EQ(table.Procedure("regression"), nullptr); // procedure names are compared exactly
  EXPECT_EQ(Global(table, "Part")->text, "Teil");
}

TEST(StringTable, MalformedLinesNameFileAndLine) {
  struct Case {
    const char* text;
    std::size_t line;
    const char* problem;
  };
  const Case cases[] = {
      {"Mean = Mittelwert\nno separator here\n", 2, "needs \"=\""},
      {"= text\n", 1, "no key"},
      {"  \\s = x\nkey =   \n", 2, "has no text"},
      {"key = a | b | c | d\n", 1, "more than three parts"},
      {"a = 1\n# comment\na = 2\n", 3, "given twice in one section (first on line 1)"},
      {"[procedure Frequencies]\n", 1, "unknown section header"},
      {"[procedure \"\"]\n", 1, "procedure name of a section header is empty"},
      {"[:^1=^2,:]1 = x\n", 1, "must be a section header"},
      {"[local]\n", 1, "unknown section header [local]"},
      {"a = b\nkey = text\\\n", 2, "backslash ends"},
      {"a = b\n\nkey = caf\xE9\n", 3, "byte 10 of the line is not valid UTF-8"},
      {"key = \xC0\xAF\n", 1, "not valid UTF-8"},     // overlong "/"
      {"key = \xED\xA0\x80\n", 1, "not valid UTF-8"}, // a surrogate
      {"key = \xF0\x9F\x98\n", 1, "not valid UTF-8"}, // cut short at the end of the line
  };
  for (const Case& c : cases) {
    try {
      StringTable::Parse(c.text, "lang/xx/strings.txt");
      ADD_FAILURE() << "no error for: " << c.text;
    } catch (const StringTableError& e) {
      EXPECT_EQ(e.File(), "lang/xx/strings.txt") << c.text;
      EXPECT_EQ(e.Line(), c.line) << c.text;
      const std::string prefix = "lang/xx/strings.txt:" + std::to_string(c.line) + ": ";
      EXPECT_EQ(std::string(e.what()).substr(0, prefix.size()), prefix) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.problem), std::string::npos) << e.what();
    }
  }
  // The same key in two sections is no duplicate.
  EXPECT_NO_THROW(StringTable::Parse("a = 1\n[procedure \"P\"]\na = 2\n", "t.txt"));
}

TEST(FacSTDictionary, ProcedureEntriesThenGlobalThenTheKey) {
  LanguageDirectories dir;
  const std::string path =
      dir.Language("de", "Mean = Mittelwert\n"
                         "Part = Teil\n"
                         "[procedure \"Regression\"]\n"
                         "Part = Semipartiell | partial correlation of the rest | of the coefficients\n");
  FacSTDictionary dictionary(path);
  EXPECT_EQ(dictionary.GlobalStringTable(), path);

  struct Case {
    const char* procedure;
    const char* key;
    Entry expected;
  };
  const Case cases[] = {
      {"", "Mean", {"Mittelwert", "", ""}},
      {"", "Part", {"Teil", "", ""}},
      {"Regression", "Part", {"Semipartiell", "partial correlation of the rest", "of the coefficients"}},
      {"Regression", "Mean", {"Mittelwert", "", ""}},           // falls back to the global entry
      {"Regression", "Unknown text", {"Unknown text", "", ""}}, // and then to the key
      {"Frequencies", "Part", {"Teil", "", ""}},                // a procedure without a section
      {"regression", "Part", {"Teil", "", ""}},
      {"", "mean", {"mean", "", ""}}, // keys are compared exactly
      {"", "", {"", "", ""}},
  };
  for (const Case& c : cases) {
    dictionary.SetProcedure(c.procedure);
    EXPECT_EQ(dictionary.Procedure(), c.procedure);
    EXPECT_EQ(Look(dictionary, c.key), c.expected) << c.procedure << " / " << c.key;
    EXPECT_EQ(dictionary.LookUp(c.key), c.expected.text);
  }
}

TEST(FacSTDictionary, EmptyPathMeansEveryKeyStandsForItself) {
  FacSTDictionary dictionary;
  icuTracker tracker;
  dictionary.setICUTracker(&tracker);
  dictionary.SetProcedure("Frequencies");
  EXPECT_EQ(dictionary.GlobalStringTable(), "");
  EXPECT_EQ(Look(dictionary, "Mean"), (Entry{"Mean", "", ""}));
  EXPECT_TRUE(tracker.missingKeys.empty()); // without a table nothing is missing
}

TEST(FacSTDictionary, TrackerNotesMissingKeysOnce) {
  LanguageDirectories dir;
  FacSTDictionary dictionary(
      dir.Language("xx", "Mean = Mittelwert\n[procedure \"P\"]\nOnly here = Nur hier\n"));
  icuTracker table, other;
  dictionary.setICUTracker(&table);
  dictionary.LookUp("Mean");
  dictionary.LookUp("Gender");
  dictionary.LookUp("Only here");
  dictionary.LookUp("Gender");
  dictionary.LookUp("");
  dictionary.SetProcedure("P");
  dictionary.LookUp("Only here");
  dictionary.setICUTracker(&other);
  dictionary.LookUp("Age");
  dictionary.setICUTracker(nullptr);
  dictionary.LookUp("Income");
  EXPECT_EQ(table.missingKeys, (std::vector<std::string>{"Gender", "Only here"}));
  EXPECT_EQ(other.missingKeys, (std::vector<std::string>{"Age"}));
}

TEST(FacSTDictionary, MissingOrBrokenTablesAreClearErrors) {
  LanguageDirectories dir;
  const std::string good = dir.Language("de", "Mean = Mittelwert\n");
  const std::string empty = dir.Language("empty", "");
  std::filesystem::remove(std::filesystem::path(empty) / StringTable::kFileName);
  const std::string broken = dir.Language("broken", "Mean = Mittelwert\nMedian\n");

  struct Case {
    std::string path;
    std::string file; // the file the message must start with
    std::string problem;
  };
  const Case cases[] = {
      {dir.Path("nowhere"), dir.Path("nowhere") + ": ", "directory does not exist"},
      {empty, (std::filesystem::path(empty) / "strings.txt").string() + ": ", "file does not exist"},
      {broken, (std::filesystem::path(broken) / "strings.txt").string() + ":2: ", "needs \"=\""},
  };
  FacSTDictionary dictionary(good);
  for (const Case& c : cases) {
    try {
      dictionary.SetGlobalStringTable(c.path);
      ADD_FAILURE() << "no error for " << c.path;
    } catch (const StringTableError& e) {
      const std::string message = e.what();
      EXPECT_EQ(message.substr(0, c.file.size()), c.file) << message;
      EXPECT_NE(message.find(c.problem), std::string::npos) << message;
    }
    // A table that cannot be read leaves the one in use.
    EXPECT_EQ(dictionary.GlobalStringTable(), good);
    EXPECT_EQ(dictionary.LookUp("Mean"), "Mittelwert");
  }
  // A failed read is not remembered: once the file is fixed, the table reads.
  dir.Language("broken", "Median = Median\n");
  dictionary.SetGlobalStringTable(broken);
  EXPECT_EQ(dictionary.LookUp("Mean"), "Mean");
  // The constructor reads its table at once.
  EXPECT_THROW(FacSTDictionary{dir.Path("nowhere")}, StringTableError);
}

TEST(FacSTDictionary, TablesAreReadOncePerProcessAndSwitchedCheaply) {
  LanguageDirectories dir;
  const std::string de = dir.Language("de", "Mean = Mittelwert\n[procedure \"P\"]\nMean = Mittel\n");
  const std::string fr = dir.Language("fr", "Mean = Moyenne\n");
  EXPECT_EQ(StringTable::Shared(de), StringTable::Shared(de));
  EXPECT_EQ(StringTable::Shared(de), StringTable::Shared(de + "/./"));

  FacSTDictionary dictionary(de);
  dictionary.SetProcedure("P");
  EXPECT_EQ(dictionary.LookUp("Mean"), "Mittel");
  // Switching the table keeps the procedure; its section is looked up in the new table.
  dictionary.SetGlobalStringTable(fr);
  EXPECT_EQ(dictionary.LookUp("Mean"), "Moyenne");
  dictionary.SetGlobalStringTable(de);
  EXPECT_EQ(dictionary.LookUp("Mean"), "Mittel");
  // The file is not read again: a change on disk shows only in a new process.
  dir.Language("de", "Mean = Durchschnitt\n");
  dictionary.SetGlobalStringTable(de);
  EXPECT_EQ(dictionary.LookUp("Mean"), "Mittel");
  dictionary.SetGlobalStringTable("");
  EXPECT_EQ(dictionary.LookUp("Mean"), "Mean");
}

TEST(FacSTDictionary, ReadsATableFileNamedDirectly) {
  LanguageDirectories dir;
  const std::string file =
      (std::filesystem::path(dir.Language("custom", "Mean = Media\n")) / "strings.txt").string();
  FacSTDictionary dictionary(file);
  EXPECT_EQ(dictionary.LookUp("Mean"), "Media");
}

TEST(FacSTDictionary, RefusesAHugeFile) {
  LanguageDirectories dir;
  const std::string path = dir.Language("huge", "");
  {
    std::ofstream out(std::filesystem::path(path) / "strings.txt", std::ios::binary);
    const std::string line(1023, 'x');
    for (std::size_t written = 0; written <= StringTable::kMaxFileBytes; written += 1024)
      out << line << '\n';
  }
  try {
    FacSTDictionary dictionary(path);
    ADD_FAILURE() << "a huge table was read";
  } catch (const StringTableError& e) {
    EXPECT_EQ(e.Line(), 0u);
    EXPECT_NE(std::string(e.what()).find("more than the 16777216"), std::string::npos) << e.what();
  }
}
