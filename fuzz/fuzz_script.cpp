// Fuzz target: the message script and recorded streams, with round trips byte for byte.
//
// - A stream file (input starting with "OMFS"): the records the reader accepts (those before any damage)
//   disassemble into a script that assembles back to the same records.
// - A script (any other input) that assembles: disassembling its records and assembling the text again
//   gives the same stream bytes, and disassembling those gives the same text.
//
// The documented refusals are ScriptError from the assembler and StreamFormatError from the reader; any
// other exception and any round trip that changes the bytes is a finding. Stream inputs go through the
// record mutator of the stream target.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "fuzz/StreamMutator.h"
#include <omf/stream/MessageScript.h>
#include <omf/stream/StreamFile.h>

using namespace omf;

namespace {

using omf::fuzz::Finding;
using omf::stream::StreamRecord;

std::vector<StreamRecord> Reassemble(const std::string& script, const char* what) {
  try {
    return omf::stream::AssembleScript(script);
  } catch (const std::exception& e) {
    Finding(std::string("the disassembly of ") + what + " does not assemble: " + omf::fuzz::Describe(e));
  }
}

void StreamRoundTrip(const std::uint8_t* data, std::size_t size) {
  std::vector<StreamRecord> records;
  try {
    omf::stream::StreamReader reader(std::span<const unsigned char>(data, size));
    StreamRecord record;
    while (reader.Next(record))
      records.push_back(record);
  } catch (const omf::stream::StreamFormatError&) {
  } catch (const std::exception& e) {
    Finding("the stream reader let through " + omf::fuzz::Describe(e));
  }
  std::string script;
  try {
    script = omf::stream::DisassembleRecords(records);
  } catch (const std::exception& e) {
    Finding("disassembling a stream let through " + omf::fuzz::Describe(e));
  }
  const std::vector<StreamRecord> again = Reassemble(script, "a stream");
  if (omf::stream::StreamBytes(again) != omf::stream::StreamBytes(records))
    Finding("a stream disassembles into a script that assembles to other bytes");
}

void ScriptRoundTrip(const std::uint8_t* data, std::size_t size) {
  std::vector<StreamRecord> records;
  try {
    records = omf::stream::AssembleScript(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const omf::stream::ScriptError&) {
    return;
  } catch (const std::exception& e) {
    Finding("the assembler let through " + omf::fuzz::Describe(e));
  }
  const std::string script = omf::stream::DisassembleRecords(records);
  const std::vector<StreamRecord> again = Reassemble(script, "an assembled script");
  if (omf::stream::StreamBytes(again) != omf::stream::StreamBytes(records))
    Finding("an assembled script disassembles into a script that assembles to other bytes");
  if (omf::stream::DisassembleRecords(again) != script)
    Finding("an assembled script disassembles differently after a round trip");
}

bool IsStream(const std::uint8_t* data, std::size_t size) {
  return size >= 4 && std::memcmp(data, "OMFS", 4) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (IsStream(data, size))
    StreamRoundTrip(data, size);
  else
    ScriptRoundTrip(data, size);
  return 0;
}

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
  if (IsStream(data, size)) return omf::fuzz::MutateStream(data, size, maxSize, seed);
  return LLVMFuzzerMutate(data, size, maxSize);
}
