#include <omf/export/Session.h>

#include <algorithm>
#include <stdexcept>

#include <omf/factory/Factory.h>
#include <omf/factory/FactorySink.h>
#include <omf/platform/path/PathFinder.h>
#include <omf/platform/stringtable/FacSTDictionary.h>
#include <omf/platform/stringtable/StringTable.h>
#include <omf/presentation/Language.h>
#include <omf/protocol/MessageType.h>
#include <omf/stream/MessageWriter.h>
#include <omf/stream/StreamFile.h>
#include <omf/stream/StreamPlayer.h>

#include <iostream>

namespace omf::data {

namespace {

struct KeepEverything : OmFactory::Observer {
  std::vector<std::string> warnings;
  std::uint64_t finished = 0;
  void ProcedureFinished(OmOutputTree&) override { ++finished; }
  bool KeepProcedure() override { return true; }
  void Warning(const std::string& text) override {
    if (std::find(warnings.begin(), warnings.end(), text) == warnings.end()) warnings.push_back(text);
  }
};

// Hands messages on to the factory and counts the procedures it began.
class CountingSink : public stream::MessageSink {
public:
  explicit CountingSink(OmFactory& factory) : _factory(factory) {}
  void Send(short type, std::vector<unsigned char>& payload) override {
    _factory.Send(type, payload);
    if (type == TypeNumber(MessageType::ProcedureBegin)) ++begun;
  }
  void SendBytes(short type, unsigned char* payload, std::size_t length) override {
    _factory.SendBytes(type, payload, length);
    if (type == TypeNumber(MessageType::ProcedureBegin)) ++begun;
  }
  std::uint64_t begun = 0;

private:
  stream::FactorySink _factory;
};

} // namespace

struct Session::Impl {
  Impl(OmOutputTree& tree, const std::vector<OMSObjectSelector>& requests)
      : factory(&tree, "", "UTF-8", requests), sink(factory), writer(sink) {
    factory.Register(&keep);
  }
  OmFactory factory;
  KeepEverything keep;
  CountingSink sink;
  stream::MessageWriter writer;
  std::optional<OutputLanguage> language;
  FacSTDictionary dictionary; // the document's words; English until Finish
};

Session::Session(SessionOptions options) : _options(std::move(options)) {
  std::optional<OutputLanguage> language;
  if (_options.language) {
    language = NamedOutputLanguage(*_options.language);
    if (!language)
      throw std::invalid_argument("unknown output language \"" + *_options.language +
                                  "\"; give one of: " + OutputLanguageChoices());
  }
  _tree.Append(0, std::make_unique<OmHeading>(OmStringCell("Output", nullptr, true)));
  _my = std::make_unique<Impl>(_tree, _options.requests);
  _my->language = language;
  // As the back end sends the output language; the keyword names the row whatever the person typed.
  if (language) _my->writer.Display("OLANG", language->keyword);
  if (_options.variables != 0) _my->factory.TableVarDisplay(_options.variables);
  if (_options.values != 0) _my->factory.TableValueDisplay(_options.values);
}

Session::~Session() = default;

void Session::PlayFile(const std::string& path) {
  stream::StreamReader reader =
      path == "-" ? stream::StreamReader(std::cin) : stream::StreamReader::OpenFile(path);
  stream::PlayStream(reader, _my->sink);
}

stream::MessageWriter& Session::Writer() {
  return _my->writer;
}

stream::MessageSink& Session::Sink() {
  return _my->sink;
}

void Session::Finish() {
  if (_my->language) {
    auto finder = PathFactory::getPathInstance(3);
    finder->SetRelativePath(_my->language->directory);
    try {
      _my->dictionary.SetGlobalStringTable(finder->Path());
    } catch (const StringTableError&) {
      // The factory has warned that the table is missing; the words stay English.
    }
  }
  // The document node and the log blocks were made before any language was chosen and outside every
  // procedure.
  for (std::size_t node = 1; node < _tree.Count(); ++node) {
    OmOutputPart* part = _tree.Part(node);
    const auto* title = part != nullptr ? dynamic_cast<const OmStringCell*>(&part->Title()) : nullptr;
    if (title == nullptr) continue;
    const bool document = node == 1;
    const bool log = _tree.Level(node) == 2 && !title->IsTranslatable() && title->Text() == "Log" &&
                     dynamic_cast<OmTextBlock*>(part) != nullptr;
    if (document || log)
      part->SetTitle(OmStringCell(_my->dictionary.LookUp(title->Text()), nullptr, title->IsTranslatable()));
  }
}

std::string Session::Word(const std::string& english) const {
  return _my->dictionary.LookUp(english);
}

const std::vector<std::string>& Session::Warnings() const {
  return _my->keep.warnings;
}

std::uint64_t Session::ProceduresBegun() const {
  return _my->sink.begun;
}

std::uint64_t Session::ProceduresFinished() const {
  return _my->keep.finished;
}

} // namespace omf::data
