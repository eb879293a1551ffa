// docs/message-script.md lists every message type with its fields, and the words of code fields, for
// people who write scripts; the table in protocol/Messages.def is what the program reads. These tests
// hold the page to the table, so that a row added, renamed or changed there cannot leave the page wrong.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include <omf/protocol/MessageCatalogue.h>

using namespace omf;

namespace {

std::string ReadDoc() {
  // The tests run with OMF_DATA_DIR set to the source tree.
  const char* root = std::getenv("OMF_DATA_DIR");
  if (root == nullptr) return "";
  std::ifstream in(std::filesystem::path(root) / "docs/message-script.md");
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<const MessageSpec*> Rows() {
  std::size_t n = 0;
  const MessageSpec* rows = MessageSpecs(n);
  std::vector<const MessageSpec*> out;
  for (std::size_t i = 0; i < n; ++i)
    out.push_back(&rows[i]);
  return out;
}

bool IsLength(const MessageSpec& spec, std::size_t k) {
  for (std::size_t j = 0; j < spec.fieldCount; ++j)
    if (spec.fields[j].lengthOf == static_cast<int>(k)) return true;
  return false;
}

std::string Quoted(std::string_view word) {
  std::string out(1, '`');
  out += word;
  out += '`';
  return out;
}

} // namespace

TEST(MessagesDoc, ListsEveryMessageWithItsFields) {
  const std::string doc = ReadDoc();
  ASSERT_FALSE(doc.empty()) << "docs/message-script.md not found";
  // "| 273 | `cell` | `tcid` u8, `cell` i32, `category` i32 |"
  const std::regex row(R"(^\| (\d+) \| `([a-z-]+)` \| (.*) \|$)");
  std::map<int, std::pair<std::string, std::string>> listed;
  std::istringstream lines(doc);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_match(line, m, row)) listed[std::stoi(m[1])] = {m[2], m[3]};
  }
  for (const MessageSpec* spec : Rows()) {
    SCOPED_TRACE(spec->name);
    const auto found = listed.find(spec->type);
    ASSERT_NE(found, listed.end()) << "type " << spec->type << " is not listed";
    EXPECT_EQ(found->second.first, spec->name);
    const std::string& fields = found->second.second;
    if (spec->fieldCount == 0) {
      EXPECT_EQ(fields, "none");
    }
    for (std::size_t k = 0; k < spec->fieldCount; ++k) {
      if (!IsLength(*spec, k)) {
        EXPECT_NE(fields.find(Quoted(spec->fields[k].name)), std::string::npos) << spec->fields[k].name;
      }
    }
    listed.erase(found);
  }
  for (const auto& [type, rest] : listed)
    ADD_FAILURE() << "the page lists type " << type << " (" << rest.first
                  << "), which the table does not have";
}

TEST(MessagesDoc, ListsTheWordsOfEveryCodeField) {
  const std::string doc = ReadDoc();
  ASSERT_FALSE(doc.empty()) << "docs/message-script.md not found";
  // "| `footnote`, `footnote-marker` | `target` | `heading` 0, `title` 1, ... |"
  const std::regex row(R"(^\s*\| ((?:`[a-z-]+`(?:, )?)+) \| `([a-z-]+)` \| (`[a-z-]+` \d+.*) \|$)");
  struct Listed {
    std::string messages, field, words;
  };
  std::vector<Listed> listed;
  std::istringstream lines(doc);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_match(line, m, row)) listed.push_back({m[1], m[2], m[3]});
  }
  for (const MessageSpec* spec : Rows()) {
    for (std::size_t k = 0; k < spec->fieldCount; ++k) {
      const FieldSpec& f = spec->fields[k];
      if (f.words.empty()) continue;
      SCOPED_TRACE(std::string(spec->name) + " " + f.name);
      std::string words;
      for (const CodeWord& c : f.words) {
        if (!words.empty()) words += ", ";
        words += Quoted(c.word);
        words += ' ';
        words += std::to_string(c.value);
      }
      bool found = false;
      for (const Listed& l : listed) {
        if (l.messages.find(Quoted(spec->name)) != std::string::npos && l.field == f.name) {
          EXPECT_EQ(l.words, words);
          found = true;
        }
      }
      EXPECT_TRUE(found) << "no row of words";
    }
  }
}
