#pragma once
// Recorded streams played into one output tree, as the command plays them: a document node "Output"
// above the procedures, the output language and display settings given up front, selection requests
// applied, and the document's own words (the document node, the log blocks) in the output language.
// What the exports and the Python module work on.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <omf/model/OutputTree.h>
#include <omf/selection/OMSObjectSelector.h>

namespace omf {

class FacSTDictionary;

namespace stream {
class MessageSink;
class MessageWriter;
} // namespace stream

namespace data {

struct SessionOptions {
  // The output language as a person names it (keyword, English name or locale code); none: as sent.
  std::optional<std::string> language;
  std::vector<OMSObjectSelector> requests;
  // Display modes of variables and values in tables (OmCellText::ModeType); 0 leaves the factory's.
  unsigned variables = 0;
  unsigned values = 0;
};

class Session {
public:
  // Throws std::invalid_argument for a language that names none (the message lists the valid ones).
  explicit Session(SessionOptions options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Plays a recorded stream file ("-" is standard input). A broken stream raises its error (naming
  // the record); what was played before it stays in the tree.
  void PlayFile(const std::string& path);
  // A writer that sends straight into the factory (for sessions written in code), and the sink under it.
  stream::MessageWriter& Writer();
  stream::MessageSink& Sink();
  // Ends playing: the document's own parts take the output language. Call once, after the last play.
  void Finish();

  const OmOutputTree& Tree() const { return _tree; }
  const std::vector<OMSObjectSelector>& Requests() const { return _options.requests; }
  // The document's own words in the output language (English when its string table is missing).
  std::string Word(const std::string& english) const;
  // Warnings the factory gave (each once), such as a missing string table.
  const std::vector<std::string>& Warnings() const;
  // Procedures that began, and those the factory finished into the tree: a procedure whose only part is
  // its title is dropped silently, so a difference tells a stream writer that output went missing.
  std::uint64_t ProceduresBegun() const;
  std::uint64_t ProceduresFinished() const;

private:
  struct Impl;
  SessionOptions _options;
  OmOutputTree _tree;
  std::unique_ptr<Impl> _my;
};

} // namespace data

} // namespace omf
