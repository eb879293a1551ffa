// The readable request syntax: what it builds, its written form, round trips and error messages.
#include "SelectionTestSupport.h"
#include <omf/selection/RequestText.h>

#include <gtest/gtest.h>

using namespace omf;

using omf::selection::FormatRequestText;
using omf::selection::ParseRequestText;
using omf::selection::RequestSyntaxError;
using selection_test::Differences;
using selection_test::FullSelector;

TEST(RequestText, BuildsTheRequests) {
  const auto requests = ParseRequestText(R"(
# keep the second pivot table of every Frequencies or Crosstabs procedure
select tables charts
  if commands "Frequencies" "Cross*" subtypes "Statistics" labels "My Table" instances 2 last
  exceptif commands "Regression"
           instances 3        # clauses may run over several lines
  notes hide
  columns R1 C2 LALL
  tag "main"
end
SELECT Table Logs 1024 COLUMNS DIMNAMES "Statistics" "Variables" END
select none end
)");
  ASSERT_EQ(requests.size(), 3u);
  const OMSObjectSelector& first = requests[0];
  EXPECT_EQ(first.GetSelection(), 17u);
  const OMSSelector& ifSet = first.GetIfOption();
  EXPECT_EQ(ifSet.GetCommands(), (std::vector<std::string>{"FREQUENCIES", "CROSS*"}));
  EXPECT_EQ(ifSet.GetSubtypes(), std::vector<std::string>{"STATISTICS"});
  EXPECT_EQ(ifSet.GetNames(), std::vector<std::string>{"MY TABLE"});
  EXPECT_EQ(ifSet.GetInstances(), std::vector<std::int32_t>{2});
  EXPECT_TRUE(first.IsLastInstanceSelected());
  EXPECT_EQ(first.GetExceptIfOption().GetCommands(), std::vector<std::string>{"REGRESSION"});
  EXPECT_FALSE(first.IsInstanceSelected(3));
  EXPECT_TRUE(first.NotesTablesSpecified());
  EXPECT_FALSE(first.ShowNotesTables());
  EXPECT_TRUE(first.GetColumn().HasAxisAll(OmParsedColumn::kLAYER));
  EXPECT_EQ(first.GetColumn().GetSequences().size(), 3u);
  EXPECT_EQ(first.GetOMSTag(), "main");
  EXPECT_TRUE(first.IsObjectSelected(16, "Crosstabs", "Statistics", "My Table"));
  EXPECT_FALSE(first.IsObjectSelected(16, "Crosstabs", "Statistics", "Other"));

  EXPECT_EQ(requests[1].GetSelection(), 16u | 4u | 1024u);
  EXPECT_EQ(requests[1].GetColumn().GetDimNames(), (std::vector<std::string>{"Statistics", "Variables"}));
  EXPECT_EQ(requests[2].GetSelection(), 0u);
  EXPECT_TRUE(ParseRequestText("\xEF\xBB\xBF# only a comment\n").empty());
}

TEST(RequestText, WrittenForm) {
  std::vector<OMSObjectSelector> requests = ParseRequestText(
      "select all if labels \"A \\\"quoted\\\" \\\\ label\" instances last columns c1 chartsize 1.50 end "
      "select tables charts 4096 notes show numberedcolumn \"Row\" default end");
  EXPECT_EQ(FormatRequestText(requests), "select all\n"
                                         "  if labels \"A \\\"QUOTED\\\" \\\\ LABEL\" instances last\n"
                                         "  columns c1\n"
                                         "  chartsize 1.5 \"1.50\"\n"
                                         "end\n"
                                         "\n"
                                         "select charts tables 4096\n"
                                         "  notes show\n"
                                         "  numberedcolumn \"Row\" default\n"
                                         "end\n");
  EXPECT_EQ(FormatRequestText({}), "");
}

TEST(RequestText, BytesThatAreNotUtf8StayTheBytesTheyWere) {
  // Given as escapes or as raw bytes; upper-casing changes the letters around them only.
  const auto requests =
      ParseRequestText("select tables if commands \"Caf\\xe9\" labels \"d\xE9j\xC3\xA0 \\xC3\" end\n"
                       "select tables tag \"\\xFF\\x80\" columns dimnames \"caf\\xe9\" \"CAF\\xC9\" end");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].GetIfOption().GetCommands(), std::vector<std::string>{"CAF\xE9"});
  EXPECT_EQ(requests[0].GetIfOption().GetNames(), std::vector<std::string>{"D\xE9J\xC3\x80 \xC3"});
  EXPECT_EQ(requests[1].GetOMSTag(), "\xFF\x80");
  EXPECT_EQ(requests[1].GetColumn().GetDimNames(), (std::vector<std::string>{"caf\xE9", "CAF\xC9"}));
  // The written form is UTF-8 and names those bytes.
  const std::string text = FormatRequestText(requests);
  EXPECT_EQ(text, "select tables\n"
                  "  if commands \"CAF\\xE9\" labels \"D\\xE9J\xC3\x80 \\xC3\"\n"
                  "end\n"
                  "\n"
                  "select tables\n"
                  "  columns dimnames \"caf\\xE9\" \"CAF\\xC9\"\n"
                  "  tag \"\\xFF\\x80\"\n"
                  "end\n");
  EXPECT_EQ(FormatRequestText(ParseRequestText(text)), text);

  // Such a byte matches only itself, and the letters around it ignore case.
  const OMSObjectSelector& request = requests[0];
  EXPECT_TRUE(request.IsObjectSelected(16, "caf\xE9", "", "d\xE9j\xC3\xA0 \xC3"));
  EXPECT_FALSE(request.IsObjectSelected(16, "caf\xE8", "", "d\xE9j\xC3\xA0 \xC3"));
  EXPECT_FALSE(request.IsObjectSelected(16, "Caf\xC3\xA9", "", "d\xE9j\xC3\xA0 \xC3"));
  EXPECT_FALSE(request.IsObjectSelected(16, "Caf\xEF\xBF\xBD", "", "d\xE9j\xC3\xA0 \xC3"));
}

TEST(RequestText, RoundTripsEveryField) {
  // FullSelector sets every field, and texts with quotes, backslashes, a line break and non-ASCII letters.
  std::vector<OMSObjectSelector> requests = {FullSelector(0), FullSelector(1), OMSObjectSelector()};
  OMSObjectSelector control;
  control.SetOMSTag(std::string("tab\there, bell\x07, delete\x7f", 23));
  control.SetDestinationIsViewer(true);
  OMSColumns names;
  names.AddColumn("Statistics");
  names.AddColumn("Größe");
  control.SetColumn(names);
  requests.push_back(control);
  const std::string text = FormatRequestText(requests);
  const std::vector<OMSObjectSelector> back = ParseRequestText(text);
  ASSERT_EQ(back.size(), requests.size()) << text;
  for (std::size_t i = 0; i < requests.size(); ++i)
    EXPECT_EQ(Differences(requests[i], back[i]), std::vector<std::string>{}) << text;
  EXPECT_EQ(FormatRequestText(back), text);
}

TEST(RequestText, ErrorsNameTheLineColumnAndWhatWasExpected) {
  struct Case {
    const char* text;
    int line;
    int column;
    const char* problem;
  };
  const Case cases[] = {
      {"tables end", 1, 1, "expected \"select\" to begin a request, found the word tables"},
      {"select", 1, 7,
       "expected an object type (charts, texts, logs, warnings, tables, headings, pagetitles, "
       "trees, models, all or none) after \"select\", found the end of the input"},
      {"select tabels end", 1, 8, "after \"select\", found the word tabels"},
      {"select charts tabels end", 1, 15,
       "expected an object type, a clause (if, exceptif, notes, columns, tag, ...) or "
       "\"end\", found the word tabels"},
      {"select tables tag \"a\" bogus end", 1, 23,
       "expected a clause (if, exceptif, notes, columns, tag, ...) or "
       "\"end\", found the word bogus"},
      {"select tables\n  if end", 2, 6,
       "expected commands, subtypes, labels or instances after \"if\", found the "
       "word end"},
      {"select tables if commands Frequencies end", 1, 27,
       "expected a text in double quotes after \"commands\", "
       "found the word Frequencies"},
      {"select tables if instances end", 1, 28, "expected instance numbers or last after \"instances\""},
      {"select tables if instances 0 end", 1, 28, "instance numbers start at 1"},
      {"select tables if instances 3000000000 end", 1, 28, "the instance number 3000000000 is too large"},
      {"select tables if commands \"a\" if commands \"b\" end", 1, 31,
       "\"if\" is given twice in this request (first at line 1)"},
      {"select tables columns end", 1, 23, "expected column tokens (such as R1, C2 or LALL) or dimnames"},
      {"select tables columns R1 R0 end", 1, 26, "\"R0\" is not a column token"},
      {"select tables columns R1 r1 end", 1, 26, "the column token r1 is given twice"},
      {"select tables columns dimnames \"A\" \"a\" end", 1, 36, "the dimension name \"a\" is given twice"},
      {"select tables columns dimnames R1 end", 1, 32, "expected a text in double quotes after \"dimnames\""},
      {"select tables tag \"\" end", 1, 19, "the tag must not be empty"},
      {"select tables notes maybe end", 1, 21, "expected show or hide after \"notes\", found the word maybe"},
      {"select tables viewer \"yes\" end", 1, 22,
       "expected yes or no after \"viewer\", found the text \"yes\""},
      {"select tables imageformat 40000 end", 1, 27, "40000 is outside the range -32768 to 32767"},
      {"select tables chartformat x end", 1, 27, "expected a whole number after \"chartformat\""},
      {"select tables chartsize big end", 1, 25, "expected a number after \"chartsize\""},
      {"select tables chartsize nan end", 1, 25, "the chart size must be a finite number"},
      {"select tables chartsize -inf end", 1, 25, "the chart size must be a finite number"},
      {"select tables\n  tag \"main\"\n", 3, 1, "the request that begins at line 1 has no \"end\""},
      {"select tables\nselect charts end", 2, 1,
       "expected \"end\" before the next request: the request that "
       "begins at line 1 is not closed"},
      {"select tables tag \"abc\nend", 1, 19, "the text has no closing \" on its line"},
      {"select tables tag \"a\\qb\" end", 1, 21, "unknown escape in a text"},
      {"select tables tag \"a\\x0\" end", 1, 21, "\\x must be followed by two hexadecimal digits"},
      {"select tables tag \"a\\x00\" end", 1, 21, "a text cannot hold a NUL byte"},
      {"select tables tag \"é\" bogus end", 1, 23, "found the word bogus"}, // columns count characters
      {"select tables\n tag \"é\\q\" end", 2, 8, "unknown escape in a text"},
      {"select tables tag \"ab\\", 1, 22, "unknown escape in a text"}, // a backslash ends the input
      {"select tables tag \"ab\rc\" end", 1, 19, "the text has no closing \" on its line"},
  };
  for (const Case& c : cases) {
    try {
      ParseRequestText(c.text);
      ADD_FAILURE() << "no error for: " << c.text;
    } catch (const RequestSyntaxError& e) {
      EXPECT_EQ(e.Line(), c.line) << e.what();
      EXPECT_EQ(e.Column(), c.column) << e.what();
      EXPECT_NE(e.Problem().find(c.problem), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("line " + std::to_string(c.line) + ", column ", 0), 0u);
    }
  }
  // Texts are limited to what a stream can carry.
  EXPECT_NO_THROW(ParseRequestText("select tables tag \"" + std::string(1023, 'x') + "\" end"));
  EXPECT_THROW(ParseRequestText("select tables tag \"" + std::string(1024, 'x') + "\" end"),
               RequestSyntaxError);
  // So are words, some of which are kept as texts.
  for (const std::string& words :
       {"columns R" + std::string(1022, '0') + "1", "chartsize 1." + std::string(1022, '0')}) {
    try {
      ParseRequestText("select tables " + words + " end");
      ADD_FAILURE() << "no error for a word of " << words.size() << " bytes";
    } catch (const RequestSyntaxError& e) {
      EXPECT_EQ(e.Column(), static_cast<int>(words.find(' ')) + 16);
      EXPECT_EQ(e.Problem(), "the word has 1024 bytes; at most 1023 are allowed");
    }
  }
}
