#include "factory/Factory.h"

#include <cstring>
#include <new>
#include <optional>

#include "diagnostics/FaultInjection.h"
#include "protocol/MessageCatalogue.h"
#include "builder/PivotFactory.h"
#include "protocol/ProtocolError.h"
#include "model/OutputTree.h"
#include "platform/error/ThrowError.h"
#include "platform/message/MessageHandler.h"
#include "platform/path/PathFinder.h"
#include "platform/settings/BackendSettings.h"
#include "platform/settings/Iocvset.h"
#include "platform/strings/PlatformStrings.h"
#include "platform/stringtable/FacSTDictionary.h"
#include "platform/stringtable/StringTable.h"
#include "presentation/Language.h"
#include "presentation/Translator.h"
#include "procedure/ProcedureFactory.h"
#include "selection/FactorySelector.h"

namespace {

// Slots beyond this are refused rather than grown into: no back end numbers its parameters so high.
constexpr std::int64_t kMaxSlots = 1 << 20;
// Text and log messages may ask for empty lines before their text; more than this is a broken count.
constexpr std::int32_t kMaxEmptyLines = 10000;
// Lines of one text or log block. A listing of a million cases still fits; past it a block is no longer
// something to read, and counts of empty lines alone could otherwise fill blocks without end.
constexpr std::size_t kMaxBlockLines = 1'000'000;
// Bytes of text and log lines that one factory adds over its life, each line charged its length plus
// kLineOverhead. About three million lines of 80 characters: far more than a session shows, while a
// stream of empty-line counts stops at a few hundred megabytes instead of taking gigabytes.
constexpr std::size_t kMaxLineBytes = std::size_t{256} << 20;
// What one line costs besides its bytes: the string that holds it.
constexpr std::size_t kLineOverhead = 32;

// Display-mode code of messages 308 and 309.
OmCellText::ModeType ModeFromCode(std::int32_t code) {
  if (code == 0) return OmCellText::kModeNames;
  if (code == 2) return OmCellText::kModeNotSet;
  return OmCellText::kModeLabels;
}

// Mode words of display keys, compared exactly.
std::optional<OmCellText::ModeType> ModeFromWord(std::string_view word) {
  if (word == "Values" || word == "Names") return OmCellText::kModeNames;
  if (word == "Labels") return OmCellText::kModeLabels;
  if (word == "Both") return OmCellText::kModeBoth;
  return std::nullopt;
}

// The wire format word (byte 0 decimals, byte 1 width, byte 2 type) as a cell format word; byte 3 of the
// payload is cleared in place.
std::uint32_t ConvertFormat(const DecodedMessage& m, std::size_t field, unsigned char* data) {
  std::uint32_t wire = m.U32(field) & 0x00FFFFFFu;
  const std::size_t at = m.Offset(field);
  // Byte 3 of the word in the order it now has in the buffer (swapped fields are native by now).
  std::uint32_t stored;
  std::memcpy(&stored, data + at, 4);
  stored &= 0x00FFFFFFu;
  std::memcpy(data + at, &stored, 4);
  const unsigned decimals = wire & 0xFFu, width = (wire >> 8) & 0xFFu, type = (wire >> 16) & 0xFFu;
  if (type == 1) return MakeFormat(width + 256u * decimals, type, 0);
  if (type == 2) return MakeFormat(width, type, decimals);
  return MakeFormat(std::min(width, 40u), type, decimals);
}

bool IsRequestMarker(std::string_view line) {
  return line.size() >= 8 && line[0] == '\x01' && VEXAMBstrnicmp_A(line.substr(1, 7), "REQUEST", 7) == 0;
}

OmCellTextPtr StringCell(std::string text, bool translatable) {
  return OmCellTextPtr(new OmStringCell(std::move(text), nullptr, translatable));
}

omf::detail::DispatchHook gDispatchHook = nullptr;

} // namespace

void omf::detail::SetDispatchHook(DispatchHook hook) {
  gDispatchHook = hook;
}

struct OmFactory::Impl {
  OmOutputTree* _tree;
  OmTextBlock* _logBlock = nullptr;
  std::unique_ptr<OmProcedureFactory> _pProc;
  OmCellTextPtr _logCell;
  std::int32_t _annotationTable = -1;
  std::vector<OmPivotFactory*> _pTables;
  bool _logPending = false;
  std::vector<Observer*> _observers;
  std::string _codePage;
  std::string _stringTablePath;
  FacSTDictionary _dictionary;
  OmOutputTreeTranslator _translator;
  OmFactorySelector _selector;
  OmCellText::ModeType _outlineVarMode = OmCellText::kModeLabels;
  OmCellText::ModeType _tableVarMode = OmCellText::kModeLabels;
  OmCellText::ModeType _outlineValueMode = OmCellText::kModeLabels;
  OmCellText::ModeType _tableValueMode = OmCellText::kModeLabels;
  ModeFixer _outlineFixer{&_outlineVarMode, &_outlineValueMode};
  ModeFixer _tableFixer{&_tableVarMode, &_tableValueMode};
  bool _swapBytes = false;
  std::vector<OmCellTextPtr> parms;
  std::int32_t _currentComposite = -1;
  std::unique_ptr<MessageHandler> _messageHandler;
  short _type = 0;            // the message being handled, for errors
  std::size_t _lineBytes = 0; // charged for the text and log lines added so far (see kMaxLineBytes)

  Impl(OmOutputTree* tree, const std::string& path, const std::string& codePage,
       const std::vector<OMSObjectSelector>& selectors)
      : _tree(tree), _logCell(StringCell("Log", false)), _codePage(codePage), _stringTablePath(path),
        _dictionary(path), _translator(&_dictionary),
        _selector(selectors, &_translator.CellTextTranslator()) {}
  // An open procedure tells the selector of what it drops, so it goes while the selector is still there.
  ~Impl() { _pProc.reset(); }

  // ---- slots --------------------------------------------------------------------------------------------
  OmCellTextPtr& Slot(std::int32_t slot, const char* field) {
    if (slot < 0 || slot >= kMaxSlots)
      throw ProtocolError(_type, field, "slot " + std::to_string(slot) + " is out of range");
    if (static_cast<std::size_t>(slot) >= parms.size()) parms.resize(static_cast<std::size_t>(slot) + 1);
    return parms[static_cast<std::size_t>(slot)];
  }
  void Put(std::int32_t slot, OmCellTextPtr cell, const char* field = "slot") {
    Slot(slot, field) = std::move(cell);
  }
  // Takes the cell out of its slot; the slot must hold one.
  OmCellTextPtr Take(std::int32_t slot, const char* field) {
    OmCellTextPtr& s = Slot(slot, field);
    if (!s) throw ProtocolError(_type, field, "slot " + std::to_string(slot) + " is empty");
    return std::move(s);
  }
  OmCellText& Peek(std::int32_t slot, const char* field) {
    OmCellTextPtr& s = Slot(slot, field);
    if (!s) throw ProtocolError(_type, field, "slot " + std::to_string(slot) + " is empty");
    return *s;
  }
  OmComposite& CurrentComposite() {
    OmCellText& c = Peek(_currentComposite, "composite");
    if (c.OrderCode() != OmCellText::kOrderComposite)
      throw ProtocolError(_type, "composite",
                          "slot " + std::to_string(_currentComposite) + " holds no composite");
    return static_cast<OmComposite&>(c);
  }

  // ---- observers and the caller's tree -----------------------------------------------------------------
  // Where grafted procedures, new log blocks and page titles go. A caller's tree that starts with a
  // heading of its own (a document node) takes them at the end of that heading's subtree, one level below
  // it. A tree without one (only its root, or only what the factory put there) takes them at level 1
  // after everything else, so that they stand side by side in the order they came.
  std::pair<std::size_t, int> GraftPlace() const {
    if (_tree->Count() > 1) {
      const OmOutputPart* first = _tree->Part(1);
      if (dynamic_cast<const OmHeading*>(first) != nullptr &&
          dynamic_cast<const OmProcedure*>(first) == nullptr)
        return {_tree->SubtreeEnd(1), _tree->Level(1) + 1};
    }
    return {_tree->Count(), 1};
  }
  void EndLog() {
    if (_logPending)
      for (Observer* o : _observers)
        o->LogEnded();
    _logPending = false;
  }
  // True when the line went into the log block.
  bool LogLine(std::string_view line) {
    if (IsRequestMarker(line)) return false;
    {
      OmTextBlock probe(*_logCell, _codePage, true);
      if (!_pProc) _selector.ResetCounters();
      if (!_selector.Probe(probe)) return false;
    }
    if (_logBlock == nullptr) {
      const auto [pos, level] = GraftPlace();
      auto block = std::make_unique<OmTextBlock>(*_logCell, _codePage, true);
      OmTextBlock* made = block.get();
      // The block becomes the current one only once the tree holds it: a failed insertion destroys it.
      _tree->InsertAt(pos, std::move(block), level);
      _logBlock = made;
    }
    _logBlock->Lines().emplace_back(line);
    const std::string copy(line);
    for (Observer* o : _observers)
      o->LogLine(copy);
    _logPending = true;
    return true;
  }
  void PageTitle(std::string_view title, std::string_view subtitle) {
    EndLog();
    _logBlock = nullptr;
    auto page = std::make_unique<OmPageTitle>(_codePage);
    if (!title.empty()) page->AddLine(std::string(title));
    if (!subtitle.empty()) page->AddLine(std::string(subtitle));
    if (!_pProc) _selector.ResetCounters();
    if (!_selector.Probe(*page)) return;
    const std::string t(title), s(subtitle);
    for (Observer* o : _observers)
      o->PageTitle(t, s);
    const auto [pos, level] = GraftPlace();
    _tree->InsertAt(pos, std::move(page), level);
  }
  // Lines of messages 292 and 293: k - 1 empty lines first, or one form-feed line when k is -1. `block`
  // is the block they go to, null when the first line makes a new one; the sink tells whether it kept
  // the line (hidden blocks drop theirs). The message is refused whole, before any line, when it would
  // break a limit.
  template <class Sink>
  void Lines(std::int32_t k, std::string_view text, const OmTextBlock* block, Sink sink) {
    if (k > kMaxEmptyLines)
      throw ProtocolError(_type, "lines", "a line count of " + std::to_string(k) + " is not plausible");
    const std::size_t empty = k > 1 ? static_cast<std::size_t>(k - 1) : 0;
    const std::size_t count = empty + (k == -1 ? 1 : 0) + 1;
    if (block != nullptr && block->Lines().size() + count > kMaxBlockLines)
      throw ProtocolError(_type, "lines",
                          std::string("the ") + (block->IsLog() ? "log" : "text") +
                              " block would hold more than " + std::to_string(kMaxBlockLines) + " lines");
    const std::size_t bytes = count * kLineOverhead + text.size() + (k == -1 ? 1 : 0);
    if (bytes > kMaxLineBytes - _lineBytes)
      throw ProtocolError(_type, "text",
                          "text and log lines would take more than " + std::to_string(kMaxLineBytes) +
                              " bytes");
    const auto add = [&](std::string_view line) {
      if (sink(line)) _lineBytes += kLineOverhead + line.size();
    };
    for (std::size_t i = 0; i < empty; ++i)
      add(std::string_view());
    if (k == -1) add(std::string_view("\f", 1));
    add(text);
  }

  // ---- procedures ---------------------------------------------------------------------------------------
  void BeginProcedure(const DecodedMessage& m) {
    if (_pProc) throw ProtocolError(_type, "", "a procedure began while another was open");
    auto settings = std::make_shared<BackendSettings>(m.Text(2));
    const std::string codePage = settings->getCodePage();
    if (!codePage.empty() && codePage != _codePage) {
      _codePage = codePage;
      _logBlock = nullptr;
    }
    _dictionary.SetProcedure(settings->getProcedureName());
    _pProc = std::make_unique<OmProcedureFactory>(
        settings->getProcedureName(), settings->getTranslatedProcedureName(), settings->getLanguage(),
        _codePage, settings->getLocale(), &_selector, &_translator);
    _pProc->SetProcedureNumber(m.I64(0));
    _pProc->SetBootstrapped(settings->getBootstrapped());
    _pProc->SetSettings(std::move(settings));
  }

  void EndProcedure(const void* data, std::size_t length) {
    if (!_messageHandler) _messageHandler = std::make_unique<MessageHandler>();
    std::string specification;
    try {
      if (!_messageHandler->receiveMessage(data, length)) return;
      std::int32_t kind = 0, number = 0;
      std::uint8_t flag = 0;
      if (!_messageHandler->getNextPart(kind, flag, number, specification)) {
        _messageHandler.reset();
        return;
      }
    } catch (const MessageProtocolError& e) {
      // The broken fragment can only have carried the bootstrap specification: the output collected so
      // far is finished and delivered without one before the error is raised.
      if (_pProc)
        FinishProcedure("");
      else
        CloseProcedure();
      throw ProtocolError(291, "fragment", e.what());
    }
    if (_pProc)
      FinishProcedure(specification);
    else
      CloseProcedure();
  }

  // Finishes the open procedure, delivers it and closes it. Running out of memory leaves the procedure
  // open for the frame to close with its note; any other failure closes it before passing on.
  void FinishProcedure(const std::string& specification) {
    try {
      _pProc->Finish(specification);
      Deliver(_pProc->Tree());
    } catch (const std::bad_alloc&) {
      throw;
    } catch (...) {
      CloseProcedure();
      throw;
    }
    CloseProcedure();
  }

  // Hands a finished procedure to the observers and grafts it when one of them keeps it.
  void Deliver(ProcedureTree& tree) {
    if (tree.Count() <= 1) return;
    if (auto* procedure = dynamic_cast<OmProcedure*>(tree.Part(1)))
      procedure->SetDisplayModes(_outlineVarMode, _outlineValueMode, _tableVarMode, _tableValueMode);
    bool keep = false;
    for (Observer* o : _observers) {
      o->ProcedureFinished(tree);
      keep = o->KeepProcedure() || keep;
    }
    if (!keep) return;
    const auto [pos, level] = GraftPlace();
    // The move allocates before it changes either tree, so a failure leaves the procedure whole.
    omf::detail::RunFaultHook(omf::detail::FaultPoint::kGraft);
    _tree->MoveRangeFrom(tree, 1, tree.SubtreeEnd(1), pos, level - tree.Level(1));
    for (Observer* o : _observers)
      o->OutputTreeChanged(*_tree);
  }

  void CloseProcedure() {
    _pProc.reset();
    _pTables.clear();
    parms.clear();
    _selector.ClearCommand();
    _logBlock = nullptr;
    _messageHandler.reset();
  }

  // Out of memory inside a procedure, while it is open or while it is finished and grafted: close it with
  // a note in place of its output. Running out again on the way closes it without a trace and passes
  // the failure on.
  void RecoverFromExhaustion() {
    try {
      _messageHandler.reset();
      _pProc->FinishWithNote(OmStringCell("Output Missing", nullptr, true),
                             _dictionary.LookUp("Out of memory collecting output."));
      Deliver(_pProc->Tree());
    } catch (...) {
      CloseProcedure();
      throw;
    }
    CloseProcedure();
  }

  // ---- tables -------------------------------------------------------------------------------------------
  OmPivotFactory& Builder(unsigned tcid) {
    OmPivotFactory* b = tcid < _pTables.size() ? _pTables[tcid] : nullptr;
    if (b == nullptr)
      throw ProtocolError(_type, "tcid", "table id " + std::to_string(tcid) + " has no open table");
    return *b;
  }
  OmPivotFactory* AnnotationBuilder() {
    if (_annotationTable < 0) return nullptr;
    return static_cast<std::size_t>(_annotationTable) < _pTables.size()
               ? _pTables[static_cast<std::size_t>(_annotationTable)]
               : nullptr;
  }
  // The builder that a table message addresses, when it is open and its table visible; the message's
  // table then becomes the one that annotation messages address.
  OmPivotFactory* VisibleBuilder(unsigned tcid) {
    if (!_pProc) return nullptr;
    OmPivotFactory& b = Builder(tcid);
    _annotationTable = static_cast<std::int32_t>(tcid);
    return b.Table().IsVisible() ? &b : nullptr;
  }
  OmPivotFactory& AnnotationTarget() {
    OmPivotFactory* b = AnnotationBuilder();
    if (b == nullptr) throw ProtocolError(_type, "", "no table is open for annotations");
    return *b;
  }
  void Fix(OmCellText& cell) { cell.Accept(_tableFixer); }

  void Dispatch(short type, unsigned char* data, std::size_t length);
  void Settings(short type, unsigned char* data, std::size_t length);
  void Footnote(const DecodedMessage& m, bool withMarker);
};

void OmFactory::Impl::Settings(short type, unsigned char* data, std::size_t length) {
  const MessageSpec& spec = *FindMessageSpec(type);
  const DecodedMessage m = DecodeMessage(spec, data, length, type == 56 && _swapBytes);
  switch (type) {
  case 27: {
    // Record: the value as an i32, then the name, NUL-terminated, at offset 4.
    std::string record(4 + m.Text(2).size() + 1, '\0');
    const std::int32_t value = static_cast<std::int32_t>(m.I32(0));
    std::memcpy(record.data(), &value, 4);
    std::memcpy(record.data() + 4, m.Text(2).data(), m.Text(2).size());
    const int code = 2;
    IOCVSET(&code, record.data());
    break;
  }
  case 34: {
    const std::string_view key = m.Text(0), value = m.Text(1);
    OmCellText::ModeType* target = key == "OVARS"      ? &_outlineVarMode
                                   : key == "TVARS"    ? &_tableVarMode
                                   : key == "ONUMBERS" ? &_outlineValueMode
                                   : key == "TNUMBERS" ? &_tableValueMode
                                                       : nullptr;
    if (target != nullptr) {
      if (const auto mode = ModeFromWord(value)) *target = *mode;
    } else if (key == "OLANG") {
      if (const auto language = FindOutputLanguage(value)) {
        auto finder = PathFactory::getPathInstance(3);
        finder->SetRelativePath(language->directory);
        const std::string path = finder->Path();
        try {
          _dictionary.SetGlobalStringTable(path);
          _stringTablePath = path;
        } catch (const StringTableError&) {
          // A language whose table is missing or unreadable is a fault of the installation, not of the
          // stream: the table in use stays and the stream goes on.
        }
      }
    }
    break;
  }
  case 56: {
    const std::int32_t record[2] = {m.I32(0), m.I32(1)};
    const int code = 3;
    IOCVSET(&code, record);
    break;
  }
  case 59:
    _swapBytes = m.I32(0) != 1;
    break;
  default:
    break;
  }
}

void OmFactory::Impl::Footnote(const DecodedMessage& m, bool withMarker) {
  const std::int32_t target = m.I32(0);
  OmCellTextPtr text = Take(m.I32(1), "text");
  OmCellTextPtr marker;
  if (withMarker && m.I32(2) != 0) marker = Take(m.I32(2), "marker");
  if (!_pProc) return;
  Fix(*text);
  if (marker) Fix(*marker);
  const OmFootnote record(nullptr, *text, marker.get(), 0);
  if (target == 0) {
    _pProc->AddHeadingFootnote(record);
  } else if (target >= 1 && target <= 7) {
    OmPivotFactory& b = AnnotationTarget();
    if (b.Table().IsVisible()) b.Annotate(target, record);
  }
}

void OmFactory::Impl::Dispatch(short type, unsigned char* data, std::size_t length) {
  const MessageSpec* spec = FindMessageSpec(type);
  if (spec == nullptr) return; // a type the protocol does not have, or one it ignores
  const DecodedMessage m = DecodeMessage(*spec, data, length, _swapBytes);
  if (gDispatchHook) gDispatchHook(type);
  switch (type) {
  // ---- parameters
  case 256:
    Put(m.I32(2), OmCellTextPtr(new OmNumber(m.F64(0), ConvertFormat(m, 1, data))));
    break;
  case 257:
    Put(m.I32(2), OmCellTextPtr(new OmNumber(static_cast<double>(m.I32(0)), ConvertFormat(m, 1, data))));
    break;
  case 258:
    Put(m.I32(1), StringCell(std::string(m.Text(3)), m.I32(2) == 0));
    break;
  case 308:
    Put(m.I32(0), OmCellTextPtr(new OmVariable(std::string(m.Text(4)), std::string(m.Text(5)),
                                               ModeFromCode(m.I32(1)))));
    break;
  case 309: {
    const std::uint32_t format = ConvertFormat(m, 2, data);
    const DecodedField& value = m.Field(7);
    const OmCellText::ModeType mode = ModeFromCode(m.I32(1));
    if (value.isNumber)
      Put(m.I32(0), OmCellTextPtr(new OmNumDataValue(std::string(m.Text(6)), value.f, format,
                                                     std::string(m.Text(8)), mode)));
    else
      Put(m.I32(0), OmCellTextPtr(new OmStringDataValue(std::string(m.Text(6)), std::string(value.text),
                                                        format, std::string(m.Text(8)), mode)));
    break;
  }
  case 259: {
    const std::int32_t c = m.I32(0), t = m.I32(1);
    OmCellTextPtr templ = Take(t, "template");
    _currentComposite = c;
    if (templ->OrderCode() == OmCellText::kOrderComposite)
      Put(c, std::move(templ));
    else
      Put(c, OmCellTextPtr(new OmComposite(*templ)));
    break;
  }
  case 261:
    CurrentComposite().BeginRepeatList();
    break;
  case 262:
    CurrentComposite().EndRepeatList();
    break;
  case 263: {
    OmCellTextPtr child = Take(m.I32(0), "slot");
    CurrentComposite().Add(*child);
    break;
  }
  case 286: {
    const std::int32_t slot = m.I32(0);
    if (slot < 0) throw ProtocolError(type, "slot", "slot " + std::to_string(slot) + " is out of range");
    if (static_cast<std::size_t>(slot) < parms.size()) parms[static_cast<std::size_t>(slot)].reset();
    break;
  }
  case 287: {
    OmCellTextPtr copy = CloneText(Peek(m.I32(0), "source"));
    Put(m.I32(1), std::move(copy), "target");
    break;
  }
  case 304:
    _swapBytes = m.I32(0) != 0;
    break;
  // ---- tables
  case 268: {
    OmCellTextPtr label = Take(m.I32(1), "label");
    OmCellTextPtr subtype = Take(m.I32(2), "subtype");
    OmCellTextPtr title = CloneText(*label);
    if (!_pProc) break;
    label->Accept(_outlineFixer);
    title->Accept(_tableFixer);
    OmPivotFactory* b = _pProc->AddTable(*label, *subtype, *title, m.I32(3) != 0);
    const unsigned tcid = static_cast<unsigned>(m.I32(0));
    if (tcid >= _pTables.size()) _pTables.resize(tcid + 1, nullptr);
    _pTables[tcid] = b;
    b->Table().setBackendSettings(_pProc->Settings());
    b->Table().setFastTable(_pProc->Settings() && _pProc->Settings()->getFastTables());
    _annotationTable = static_cast<std::int32_t>(tcid);
    break;
  }
  case 269:
  case 270: {
    OmCellTextPtr label = Take(m.I32(1), type == 269 ? "category" : "group");
    OmCellTextPtr dim = Take(m.I32(2), "dimension");
    if (OmPivotFactory* b = VisibleBuilder(static_cast<unsigned>(m.I32(0)))) {
      Fix(*label);
      Fix(*dim);
      label->setICUTracker(b->Table().getICUTracker());
      if (type == 269)
        b->AddCategory(b->FindOrAddDimension(*dim), *label);
      else
        b->AddGroup(b->FindOrAddDimension(*dim), *label);
    }
    break;
  }
  case 271:
  case 272:
  case 282: {
    OmCellTextPtr dim = Take(m.I32(1), "dimension");
    if (OmPivotFactory* b = VisibleBuilder(static_cast<unsigned>(m.I32(0)))) {
      Fix(*dim);
      const int d = b->FindOrAddDimension(*dim);
      if (type == 271) b->EndGroup(d);
      if (type == 272) b->SetCellDimension(d);
    }
    break;
  }
  case 273: {
    OmCellTextPtr cell = Take(m.I32(1), "cell");
    OmCellTextPtr label = Take(m.I32(2), "category");
    if (OmPivotFactory* b = VisibleBuilder(static_cast<unsigned>(m.I32(0)))) {
      Fix(*cell);
      Fix(*label);
      const int d = b->CellDimension();
      if (d < 0) throw ProtocolError(type, "", "no cell dimension was set for the table");
      b->SelectCellDimension();
      label->setICUTracker(b->Table().getICUTracker());
      b->AddCategory(d, *label);
      b->SetCell(*cell);
    }
    break;
  }
  case 274: {
    OmCellTextPtr label = Take(m.I32(1), "category");
    if (OmPivotFactory* b = VisibleBuilder(static_cast<unsigned>(m.I32(0)))) {
      Fix(*label);
      const int d = b->CellDimension();
      if (d < 0) throw ProtocolError(type, "", "no cell dimension was set for the table");
      b->AddCategory(d, *label);
      b->SelectCellDimension();
    }
    break;
  }
  case 275: {
    if (!_pProc) break;
    const unsigned tcid = static_cast<unsigned>(m.I32(0));
    OmPivotFactory* b = tcid < _pTables.size() ? _pTables[tcid] : nullptr;
    if (b == nullptr) ThrowError::Simple("omerrors.err", 101);
    if (!b->Validate()) ThrowError::Simple("omerrors.err", 102);
    b->EndTable();
    _pTables[tcid] = nullptr;
    break;
  }
  case 284: {
    OmCellTextPtr dim = Take(m.I32(1), "dimension");
    if (OmPivotFactory* b = VisibleBuilder(static_cast<unsigned>(m.I32(0)))) {
      Fix(*dim);
      b->PlaceDimension(*dim, m.I32(2), m.I32(3), m.I32(4) != 0, m.I32(5) != 0);
    }
    break;
  }
  case 288:
  case 289:
  case 290:
  case 297:
    if (OmPivotFactory* b = VisibleBuilder(static_cast<unsigned>(m.I32(0)))) {
      if (type == 288 || type == 290) b->SetGroupSortMode(m.U32(1));
      if (type == 289) b->SetDimensionSortMode(m.U32(1));
      if (type == 290 || type == 297) b->MarkGroup();
    }
    break;
  case 298: {
    OmCellTextPtr corner = Take(m.I32(1), "slot");
    if (!_pProc) break;
    Fix(*corner);
    OmPivotFactory& b = Builder(static_cast<unsigned>(m.I32(0)));
    if (b.Table().IsVisible()) b.Table().CornerText(corner.get());
    break;
  }
  case 299:
    if (_pProc) Builder(static_cast<unsigned>(m.I32(0))).Table().SetAuxiliaryFlag(false);
    break;
  case 302: {
    OmCellTextPtr cell = Take(m.I32(2), "slot");
    if (!_pProc) break;
    OmPivotTable& table = Builder(static_cast<unsigned>(m.I32(0))).Table();
    const std::int32_t option = m.I32(1);
    if (option >= 0 && option <= 2) {
      if (cell->OrderCode() != OmCellText::kOrderNumber)
        throw ProtocolError(type, "slot", "table option " + std::to_string(option) + " needs a number");
      const double v = static_cast<const OmNumber&>(*cell).Value();
      if (option == 0) table.RotateRowLabels(v != 0);
      if (option == 1) table.RotateColumnLabels(v != 0);
      if (option == 2) table.OptionNumber(v >= -2147483648.0 && v <= 2147483647.0 ? static_cast<int>(v) : 0);
    } else if (option == 3 && table.IsVisible()) {
      Fix(*cell);
      const int d = table.FindDimension(*cell);
      if (d < 0)
        throw ProtocolError(type, "slot", "table option 3 names a dimension the table does not have");
      table.Dimension(d).SetOption(true);
    }
    break;
  }
  case 310:
    if (_pProc) {
      OmPivotTable& table = Builder(static_cast<unsigned>(m.I32(0))).Table();
      const std::int32_t which = m.I32(1);
      if (which == 1 || which == 3) table.MinColumnWidth(m.I32(2));
      if (which == 2 || which == 3) table.MaxColumnWidth(m.I32(3));
    }
    break;
  case 280:
    Footnote(m, false);
    break;
  case 285:
    Footnote(m, true);
    break;
  case 313:
  case 314:
  case 315:
    if (_pProc) {
      OmPivotFactory& b = AnnotationTarget();
      if (!b.Table().IsVisible()) break;
      if (type == 313) b.SetCategoryBold();
      if (type == 314) b.SetCategoryBackgroundColor(std::string(m.Text(2)));
      if (type == 315) b.SetCategoryTextColor(std::string(m.Text(2)));
    }
    break;
  case 316: {
    OmCellTextPtr marker = Take(m.I32(0), "slot");
    if (!_pProc) break;
    Fix(*marker);
    OmPivotFactory& b = AnnotationTarget();
    if (b.Table().IsVisible()) b.AddMarker(*marker);
    break;
  }
  case 267: {
    OmCellTextPtr label = Take(m.I32(0), "slot");
    if (!_pProc) break;
    if (OmPivotTable* table = _pProc->FindTable(*label)) {
      table->Scratch();
      if (auto* b = dynamic_cast<OmPivotFactory*>(table->Hint())) b->Restart();
    }
    break;
  }
  // ---- procedures, text, pages
  case 276:
    BeginProcedure(m);
    break;
  case 291:
    EndProcedure(data, length);
    break;
  case 278: {
    OmCellTextPtr label = Take(m.I32(0), "slot");
    if (!_pProc) break;
    label->Accept(_outlineFixer);
    _pProc->AddHeading(*label);
    break;
  }
  case 279:
    if (_pProc) _pProc->EndHeading();
    break;
  case 296: {
    OmCellTextPtr label = Take(m.I32(0), "slot");
    if (!_pProc) break;
    label->Accept(_outlineFixer);
    _pProc->AddTextBlock(*label);
    break;
  }
  case 281: {
    OmCellTextPtr variable = Take(m.I32(0), "variable");
    OmCellTextPtr value = Take(m.I32(1), "value");
    if (!_pProc) break;
    Fix(*variable);
    Fix(*value);
    _pProc->SetSplit(*variable, *value);
    break;
  }
  case 292:
    if (_pProc)
      Lines(m.I32(0), m.Text(2), _pProc->TextBlock(), [this](std::string_view line) {
        _pProc->AddText(line.data(), line.size());
        return _pProc->TextBlock()->IsVisible();
      });
    break;
  case 293:
    Lines(m.I32(0), m.Text(2), _logBlock, [this](std::string_view line) { return LogLine(line); });
    break;
  case 295:
    EndLog();
    break;
  case 300:
    for (Observer* o : _observers)
      o->Signal();
    break;
  case 305:
    PageTitle(m.Text(2), m.Text(4));
    break;
  case 317:
    if (_pProc)
      _pProc->SetOutlineText(OmStringCell(_dictionary.LookUp(std::string(m.Text(1))), nullptr, false));
    break;
  case 307:
  case 312: {
    // Field a counts the data bytes that the operation takes; b goes along with them.
    const std::string_view bytes = m.Text(4);
    const std::int32_t a = m.I32(2);
    if (a < 0) throw ProtocolError(type, "a", "length " + std::to_string(a) + " is negative");
    if (static_cast<std::size_t>(a) > bytes.size())
      throw ProtocolError(type, "a",
                          "length " + std::to_string(a) + " runs past the " + std::to_string(bytes.size()) +
                              " bytes of data");
    if (!_pProc) break;
    if (type == 307)
      _pProc->Chart(m.I32(0), m.I32(1), bytes.data(), static_cast<std::size_t>(a), m.I32(3));
    else
      _pProc->AnswerTree(m.I32(0), m.I32(1), bytes.data(), static_cast<std::size_t>(a), m.I32(3));
    break;
  }
  case 311:
    if (_pProc) _pProc->Model(data, length);
    break;
  default:
    break;
  }
}

// ---- OmFactory ------------------------------------------------------------------------------------------

OmFactory::OmFactory(OmOutputTree* tree, const std::string& stringTablePath, const std::string& codePage,
                     const std::vector<OMSObjectSelector>& selectors)
    : _my(std::make_unique<Impl>(tree, stringTablePath, codePage, selectors)) {}

OmFactory::~OmFactory() = default;

void OmFactory::Message(short type, unsigned int length, const void* data) {
  Impl& m = *_my;
  m._type = type;
  // The payload is read in place, and swapped fields are reversed in the caller's buffer.
  auto* bytes = static_cast<unsigned char*>(const_cast<void*>(data));
  if (bytes == nullptr && length != 0) throw ProtocolError(type, "", "no payload");
  static unsigned char none = 0;
  if (bytes == nullptr) bytes = &none;
  try {
    if (type == 27 || type == 34 || type == 56 || type == 59) m.Settings(type, bytes, length);
    if (type >= 256 && type <= 317) m.Dispatch(type, bytes, length);
  } catch (const std::bad_alloc&) {
    if (!m._pProc) throw;
    m.RecoverFromExhaustion();
  } catch (const TableStateError& e) {
    // A table operation that the stream asked for in a state that does not allow it. Logic errors,
    // InternalError above all, are the factory's own faults and pass on unchanged.
    throw ProtocolError(type, "", e.what());
  } catch (const OmLimitError& e) {
    throw ProtocolError(type, "", e.what());
  }
}

void OmFactory::Register(Observer* observer) {
  _my->_observers.push_back(observer);
}
OmOutputTree* OmFactory::Tree() {
  return _my->_tree;
}

void OmFactory::SetStringTablePath(const std::string& path) {
  _my->_stringTablePath = path;
  _my->_dictionary.SetGlobalStringTable(path);
}

void OmFactory::OutlineVarDisplay(unsigned int mode) {
  _my->_outlineVarMode = static_cast<OmCellText::ModeType>(mode);
}
void OmFactory::TableVarDisplay(unsigned int mode) {
  _my->_tableVarMode = static_cast<OmCellText::ModeType>(mode);
}
void OmFactory::OutlineValueDisplay(unsigned int mode) {
  _my->_outlineValueMode = static_cast<OmCellText::ModeType>(mode);
}
void OmFactory::TableValueDisplay(unsigned int mode) {
  _my->_tableValueMode = static_cast<OmCellText::ModeType>(mode);
}
OmCellText::ModeType OmFactory::OutlineVarDisplayMode() const {
  return _my->_outlineVarMode;
}
OmCellText::ModeType OmFactory::TableVarDisplayMode() const {
  return _my->_tableVarMode;
}
OmCellText::ModeType OmFactory::OutlineValueDisplayMode() const {
  return _my->_outlineValueMode;
}
OmCellText::ModeType OmFactory::TableValueDisplayMode() const {
  return _my->_tableValueMode;
}
void OmFactory::SwapBytes(bool swap) {
  _my->_swapBytes = swap;
}
bool OmFactory::SwapBytes() const {
  return _my->_swapBytes;
}
