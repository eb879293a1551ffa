// Fuzz target: a recorded stream played through OmFactory into an output tree, which is then rendered as
// text, JSON and HTML. The input is a stream file (.omfs), so that a finding replays with `omf render`;
// two kinds of records outside the protocol steer the run (see Records.h): selection requests to
// apply, and a caller's tree that holds only its root.
//
// The errors the factory documents (ProtocolError for a malformed message, OmError for the protocol's
// own errors) are caught as the command catches them, and playing goes on with the next record, so that
// the factory is also checked to stay usable after each of them. Anything else escaping the factory is a
// finding, as are the sanitizers' reports, an out-of-memory or a timeout, and a JSON document that does
// not parse.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz/FuzzSupport.h"
#include "fuzz/Records.h"
#include "fuzz/StreamMutator.h"
#include <omf/factory/Factory.h>
#include <omf/model/OutputTree.h>
#include <omf/platform/error/ThrowError.h>
#include <omf/protocol/ProtocolError.h>
#include <omf/render/HtmlRenderer.h>
#include <omf/render/JsonRenderer.h>
#include <omf/render/TextRenderer.h>
#include <omf/selection/OMSObjectSelector.h>
#include <omf/selection/RequestFile.h>
#include <omf/selection/RequestText.h>
#include <omf/stream/StreamFile.h>

using namespace omf;

namespace {

using omf::fuzz::Finding;
using omf::fuzz::Record;

// JSON documents up to this size are parsed back; larger ones are only rendered.
constexpr std::size_t kJsonCheckBytes = 1 << 20;

struct KeepEverything : OmFactory::Observer {
  bool KeepProcedure() override { return true; }
};

std::vector<OMSObjectSelector> RequestsOf(const std::vector<Record>& records, bool& bareTree) {
  std::vector<OMSObjectSelector> requests;
  for (const Record& r : records) {
    if (r.type == omf::fuzz::kBareTreeRecord) bareTree = true;
    if (r.type != omf::fuzz::kRequestsRecord) continue;
    const std::string text(r.payload.begin(), r.payload.end());
    try {
      std::vector<OMSObjectSelector> more;
      if (omf::selection::IsBinaryRequestData(text)) {
        std::istringstream in(text);
        more = omf::selection::ReadBinaryRequests(in);
      } else {
        more = omf::selection::ParseRequestText(text);
      }
      requests.insert(requests.end(), more.begin(), more.end());
    } catch (const omf::selection::RequestSyntaxError&) {
    } catch (const OMSStreamError&) {
    }
  }
  return requests;
}

void Play(const std::uint8_t* data, std::size_t size, OmFactory& factory) {
  std::unique_ptr<omf::stream::StreamReader> reader;
  try {
    reader = std::make_unique<omf::stream::StreamReader>(std::span<const unsigned char>(data, size));
  } catch (const omf::stream::StreamFormatError&) {
    return;
  }
  omf::stream::StreamRecord record;
  for (;;) {
    try {
      if (!reader->Next(record)) return;
    } catch (const omf::stream::StreamFormatError&) {
      return;
    }
    if (record.type == omf::fuzz::kRequestsRecord || record.type == omf::fuzz::kBareTreeRecord) continue;
    try {
      factory.Message(record.type, static_cast<unsigned>(record.payload.size()), record.payload.data());
    } catch (const ProtocolError&) {
    } catch (const OmError&) {
    } catch (const std::exception& e) {
      Finding("record " + std::to_string(record.index) + " (type " + std::to_string(record.type) +
              "): OmFactory::Message let through " + omf::fuzz::Describe(e));
    }
  }
}

void Render(const OmOutputTree& tree) {
  {
    omf::fuzz::CappedBuffer buffer(0);
    std::ostream out(&buffer);
    omf::render::TextRenderer().Render(tree, out);
  }
  {
    omf::fuzz::CappedBuffer buffer(0);
    std::ostream out(&buffer);
    omf::render::HtmlRenderer().Render(tree, out);
  }
  omf::fuzz::CappedBuffer buffer(kJsonCheckBytes);
  std::ostream out(&buffer);
  omf::render::JsonRenderer().Render(tree, out);
  // Checked without building the document, which would cost more than rendering it.
  if (!buffer.Overflowed() && !nlohmann::json::accept(buffer.Text()))
    Finding("the JSON renderer wrote a document that does not parse");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<Record> records;
  if (!omf::fuzz::ParseRecords(data, size, records)) return 0;
  bool bareTree = false;
  const std::vector<OMSObjectSelector> requests = RequestsOf(records, bareTree);
  OmOutputTree tree;
  if (!bareTree) tree.Append(0, std::make_unique<OmHeading>(OmStringCell("Output", nullptr, true)));
  {
    OmFactory factory(&tree, "", "UTF-8", requests);
    KeepEverything keep;
    factory.Register(&keep);
    Play(data, size, factory);
  }
  Render(tree);
  return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
  return omf::fuzz::MutateStream(data, size, maxSize, seed);
}

extern "C" std::size_t LLVMFuzzerCustomCrossOver(const std::uint8_t* a, std::size_t aSize,
                                                 const std::uint8_t* b, std::size_t bSize, std::uint8_t* out,
                                                 std::size_t maxSize, unsigned int seed) {
  return omf::fuzz::CrossOverStreams(a, aSize, b, bSize, out, maxSize, seed);
}
