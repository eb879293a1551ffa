#pragma once
// The readable selection request syntax. A file holds requests, each from "select" to "end":
//
//   # keep the second pivot table of every Frequencies or Crosstabs procedure
//   select tables charts
//     if commands "Frequencies" "Cross*" subtypes "Statistics" instances 2 last
//     exceptif commands "Regression" instances 3
//     notes hide
//     columns R1 C2 LALL
//     tag "main"
//   end
//
// Keywords ignore case, line breaks are free, '#' starts a comment, texts are in double quotes. The
// user documentation (docs/selection-requests.md) lists every clause.
#include <omf/selection/OMSObjectSelector.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace omf {

namespace selection {

class RequestSyntaxError : public std::runtime_error {
public:
  // Lines and columns count from 1; columns count characters, not bytes.
  RequestSyntaxError(int line, int column, std::string problem);

  int Line() const { return _line; }
  int Column() const { return _column; }
  const std::string& Problem() const { return _problem; }

private:
  int _line;
  int _column;
  std::string _problem;
};

std::vector<OMSObjectSelector> ParseRequestText(std::string_view text);

// The requests in the readable syntax; parsing the result gives the same requests back for every field
// the syntax covers (streamed fields in the states the setters can produce).
std::string FormatRequestText(const std::vector<OMSObjectSelector>& requests);

} // namespace selection

} // namespace omf
