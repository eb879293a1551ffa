#include <omf/factory/Factory.h>

#include <cstring>
#include <new>
#include <optional>

#include <omf/builder/PivotFactory.h>
#include <omf/diagnostics/FaultInjection.h>
#include <omf/model/OutputTree.h>
#include <omf/platform/bootspec/SvrBootstrapSpecsSerializer.h>
#include <omf/platform/error/ThrowError.h>
#include <omf/platform/message/MessageHandler.h>
#include <omf/platform/path/PathFinder.h>
#include <omf/platform/settings/BackendSettings.h>
#include <omf/platform/settings/Iocvset.h>
#include <omf/platform/strings/PlatformStrings.h>
#include <omf/platform/stringtable/FacSTDictionary.h>
#include <omf/platform/stringtable/StringTable.h>
#include <omf/presentation/Language.h>
#include <omf/presentation/Translator.h>
#include <omf/procedure/ProcedureFactory.h>
#include <omf/protocol/MessageCatalogue.h>
#include <omf/protocol/MessageVisitor.h>
#include <omf/protocol/ProtocolError.h>
#include <omf/selection/FactorySelector.h>

namespace omf {

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

using VariableMode = msg::code::VariableMode;
using FootnoteTarget = msg::code::FootnoteTarget;
using TableOption = msg::code::TableOption;
using WidthLimits = msg::code::WidthLimits;

template <class Codes> constexpr std::int32_t Code(Codes code) {
  return static_cast<std::int32_t>(code);
}

// Display-mode code of variable and value messages (both have the codes of variables).
OmCellText::ModeType ModeFromCode(std::int32_t code) {
  if (code == Code(VariableMode::Names)) return OmCellText::kModeNames;
  if (code == Code(VariableMode::Unset)) return OmCellText::kModeNotSet;
  return OmCellText::kModeLabels;
}

// Mode words of display keys, compared exactly.
std::optional<OmCellText::ModeType> ModeFromWord(std::string_view word) {
  if (word == "Values" || word == "Names") return OmCellText::kModeNames;
  if (word == "Labels") return OmCellText::kModeLabels;
  if (word == "Both") return OmCellText::kModeBoth;
  return std::nullopt;
}

// Settings messages, which act whether or not a procedure is open; the fault-injection hook of tests runs
// only before the others, which make up the message switch.
constexpr bool IsSetting(MessageType type) {
  return type == MessageType::Setting || type == MessageType::Display || type == MessageType::SettingPair ||
         type == MessageType::ByteOrder;
}

// The wire format word (byte 0 decimals, byte 1 width, byte 2 type) of a number, integer or value message
// as a cell format word; byte 3 of the payload is cleared in place.
template <class M> std::uint32_t ConvertFormat(const Decoded<M>& m) {
  std::uint32_t wire = m.template Get<M::kFormat>() & 0x00FFFFFFu;
  unsigned char* at = m.Message().Payload() + m.Offset(M::kFormat);
  // Byte 3 of the word in the order it now has in the buffer (swapped fields are native by now).
  std::uint32_t stored;
  std::memcpy(&stored, at, 4);
  // Written only when it changes: the payload may lie in a mapped file, whose pages are copied when
  // written.
  if ((stored & 0xFF000000u) != 0) {
    stored &= 0x00FFFFFFu;
    std::memcpy(at, &stored, 4);
  }
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

// The factory's state, and one handler for each message type it acts on.
struct OmFactory::Impl : MessageVisitor<OmFactory::Impl> {
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
  // A number waiting in a slot, kept as its value and format: the cell message that takes it stores it
  // in the table without a text ever being made for it. `parms` holds nothing at a slot holding one.
  struct SlotNumber {
    double value = 0;
    std::uint32_t format = 0;
    bool full = false;
  };
  std::vector<SlotNumber> _numbers;
  // String texts whose message is done with them, filled again by the next string messages rather than
  // made anew (a big table sends a string for every cell).
  std::vector<OmCellTextPtr> _spareStrings;
  static constexpr std::size_t kSpareStrings = 8;
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
  // The index of a slot, the slot lists grown to hold it.
  std::size_t SlotIndex(std::int32_t slot, const char* field) {
    if (slot < 0 || slot >= kMaxSlots) SlotOutOfRange(slot, field);
    const auto i = static_cast<std::size_t>(slot);
    if (i >= parms.size()) {
      _numbers.resize(i + 1);
      parms.resize(i + 1);
    }
    return i;
  }
  // Kept out of line, so that SlotIndex, called for every slot a message names, stays small.
  [[noreturn]] [[gnu::cold]] [[gnu::noinline]] void SlotOutOfRange(std::int32_t slot, const char* field) const {
    throw ProtocolError(_type, field, "slot " + std::to_string(slot) + " is out of range");
  }
  // The slot's text; a number waiting in it becomes one.
  OmCellTextPtr& Slot(std::int32_t slot, const char* field) {
    const std::size_t i = SlotIndex(slot, field);
    if (_numbers[i].full) {
      parms[i].reset(new OmNumber(_numbers[i].value, _numbers[i].format));
      _numbers[i].full = false;
    }
    return parms[i];
  }
  void Put(std::int32_t slot, OmCellTextPtr cell, const char* field = "slot") {
    const std::size_t i = SlotIndex(slot, field);
    _numbers[i].full = false;
    parms[i] = std::move(cell);
  }
  void PutNumber(std::int32_t slot, double value, std::uint32_t format, const char* field) {
    const std::size_t i = SlotIndex(slot, field);
    parms[i].reset();
    _numbers[i] = {value, format, true};
  }
  void PutString(std::int32_t slot, std::string_view text, bool translatable, const char* field) {
    const std::size_t i = SlotIndex(slot, field);
    OmCellTextPtr cell;
    if (!_spareStrings.empty()) {
      cell = std::move(_spareStrings.back());
      _spareStrings.pop_back();
      static_cast<OmStringCell&>(*cell).Reset(text, translatable);
    } else {
      cell = StringCell(std::string(text), translatable);
    }
    _numbers[i].full = false;
    parms[i] = std::move(cell);
  }
  // Keeps a string text that a message is done with for the next string message.
  void Recycle(OmCellTextPtr text) {
    if (text && text->OrderCode() == OmCellText::kOrderString && !text->HasMetaData() &&
        _spareStrings.size() < kSpareStrings)
      _spareStrings.push_back(std::move(text));
  }
  // Takes the number out of the slot that field `f` names: false (the slot left as it is) when it holds
  // a text or nothing.
  template <class M>
  bool TakeNumber(const Decoded<M>& m, typename M::Field f, double& value, std::uint32_t& format) {
    const std::size_t i = SlotIndex(m.Message().I32(f), m.Name(f));
    if (!_numbers[i].full) return false;
    _numbers[i].full = false;
    value = _numbers[i].value;
    format = _numbers[i].format;
    return true;
  }
  // Takes the cell out of its slot; the slot must hold one.
  OmCellTextPtr Take(std::int32_t slot, const char* field) {
    OmCellTextPtr& s = Slot(slot, field);
    if (!s) throw ProtocolError(_type, field, "slot " + std::to_string(slot) + " is empty");
    return std::move(s);
  }
  // Takes the cell out of the slot that field `f` of the message names.
  template <class M> OmCellTextPtr Take(const Decoded<M>& m, typename M::Field f) {
    return Take(m.Message().I32(f), m.Name(f));
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
  // Lines of text and log messages: k - 1 empty lines first, or one form-feed line when k is -1. `block`
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
  void BeginProcedure(const Decoded<msg::ProcedureBegin>& m) {
    if (_pProc) throw ProtocolError(_type, "", "a procedure began while another was open");
    auto settings = std::make_shared<BackendSettings>(m.Get<msg::ProcedureBegin::kSettings>());
    const std::string codePage = settings->getCodePage();
    if (!codePage.empty() && codePage != _codePage) {
      _codePage = codePage;
      _logBlock = nullptr;
    }
    _dictionary.SetProcedure(settings->getProcedureName());
    _pProc = std::make_unique<OmProcedureFactory>(
        settings->getProcedureName(), settings->getTranslatedProcedureName(), settings->getLanguage(),
        _codePage, settings->getLocale(), &_selector, &_translator);
    _pProc->SetProcedureNumber(m.Get<msg::ProcedureBegin::kNumber>());
    _pProc->SetBootstrapped(settings->getBootstrapped());
    _pProc->SetSettings(std::move(settings));
  }

  void EndProcedure(std::string_view fragment) {
    if (!_messageHandler) _messageHandler = std::make_unique<MessageHandler>();
    std::string specification;
    try {
      if (!_messageHandler->receiveMessage(fragment.data(), fragment.size())) return;
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
        FinishProcedure(nullptr);
      else
        CloseProcedure();
      throw ProtocolError(MessageType::ProcedureEnd,
                          FieldName<msg::ProcedureEnd>(msg::ProcedureEnd::kFragment), e.what());
    }
    if (!_pProc) {
      CloseProcedure();
      return;
    }
    // The procedure's settings decide whether it was bootstrapped; its bootstrap specification only says how.
    // A specification that cannot be used, or that comes with a procedure not bootstrapped, is an error
    // raised once the procedure's output is delivered unpooled.
    std::optional<SvrBootstrapSpecs> specs;
    std::string problem;
    if (_pProc->Bootstrapped()) {
      try {
        specs = SvrBootstrapSpecsSerializer::deserializeSpecs(specification);
      } catch (const SvrBootstrapSpecsError& e) {
        problem = e.what();
      }
    } else if (!specification.empty()) {
      problem = "a bootstrap specification came with a procedure whose settings do not mark it as "
                "bootstrapped";
    }
    FinishProcedure(specs ? &*specs : nullptr);
    if (!problem.empty()) throw ProtocolError(MessageType::ProcedureEnd, "specification", problem);
  }

  // Finishes the open procedure, delivers it and closes it. Running out of memory leaves the procedure
  // open for the frame to close with its note; any other failure closes it before passing on.
  void FinishProcedure(const SvrBootstrapSpecs* specification) {
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
    _numbers.clear();
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

  // The table message's builder and the dimension that its dimension slot names, found or added, when
  // the table is open and visible; the slot is emptied either way.
  template <class M> std::pair<OmPivotFactory*, int> NamedDimension(const Decoded<M>& m) {
    OmCellTextPtr dim = Take(m, M::kDimension);
    OmPivotFactory* b = VisibleBuilder(m.template Get<M::kTcid>());
    if (b == nullptr) return {nullptr, -1};
    Fix(*dim);
    return {b, b->FindOrAddDimension(*dim)};
  }
  // The builder that a category or group label goes to, the label readied for it.
  OmPivotFactory* LabelBuilder(unsigned tcid, OmCellText& label, OmCellText& dim) {
    OmPivotFactory* b = VisibleBuilder(tcid);
    if (b == nullptr) return nullptr;
    Fix(label);
    Fix(dim);
    label.setICUTracker(b->Table().getICUTracker());
    return b;
  }
  // The builder whose current category bold, background and text colour messages address, when its
  // table is visible.
  OmPivotFactory* AnnotatedCategory() {
    if (!_pProc) return nullptr;
    OmPivotFactory& b = AnnotationTarget();
    return b.Table().IsVisible() ? &b : nullptr;
  }
  void Footnote(std::int32_t target, OmCellTextPtr text, OmCellTextPtr marker);
  // Field a of a chart or answer-tree message counts the data bytes that the operation takes.
  template <class M> std::string_view OperationData(const Decoded<M>& m) const;

  // Reads the message through its row and hands it to its handler.
  void Play(short type, unsigned char* data, std::size_t length);

  // ---- the handlers: settings
  void HandleSetting(const Decoded<msg::Setting>& m);
  void HandleDisplay(const Decoded<msg::Display>& m);
  void HandleSettingPair(const Decoded<msg::SettingPair>& m);
  void HandleByteOrder(const Decoded<msg::ByteOrder>& m) {
    _swapBytes = m.Get<msg::ByteOrder::kProbe>() != 1;
  }
  void HandleSwap(const Decoded<msg::Swap>& m) { _swapBytes = m.Get<msg::Swap::kSwap>() != 0; }
  // ---- parameters
  void HandleNumber(const Decoded<msg::Number>& m);
  void HandleInteger(const Decoded<msg::Integer>& m);
  void HandleString(const Decoded<msg::String>& m);
  void HandleVariable(const Decoded<msg::Variable>& m);
  void HandleValue(const Decoded<msg::Value>& m);
  void HandleComposite(const Decoded<msg::Composite>& m);
  void HandleRepeatBegin(const Decoded<msg::RepeatBegin>&) { CurrentComposite().BeginRepeatList(); }
  void HandleRepeatEnd(const Decoded<msg::RepeatEnd>&) { CurrentComposite().EndRepeatList(); }
  void HandleCompositeAdd(const Decoded<msg::CompositeAdd>& m);
  void HandleFree(const Decoded<msg::Free>& m);
  void HandleCopy(const Decoded<msg::Copy>& m);
  // ---- tables
  void HandleTableBegin(const Decoded<msg::TableBegin>& m);
  void HandleCategory(const Decoded<msg::Category>& m);
  void HandleGroup(const Decoded<msg::Group>& m);
  void HandleGroupEnd(const Decoded<msg::GroupEnd>& m) {
    if (const auto [b, d] = NamedDimension(m); b != nullptr) b->EndGroup(d);
  }
  void HandleCellDimension(const Decoded<msg::CellDimension>& m) {
    if (const auto [b, d] = NamedDimension(m); b != nullptr) b->SetCellDimension(d);
  }
  void HandleDimension(const Decoded<msg::Dimension>& m) { NamedDimension(m); }
  void HandleCell(const Decoded<msg::Cell>& m);
  void HandleCellCategory(const Decoded<msg::CellCategory>& m);
  void HandleTableEnd(const Decoded<msg::TableEnd>& m);
  void HandlePlace(const Decoded<msg::Place>& m);
  void HandleGroupSort(const Decoded<msg::GroupSort>& m);
  void HandleDimensionSort(const Decoded<msg::DimensionSort>& m);
  void HandleGroupSortMark(const Decoded<msg::GroupSortMark>& m);
  void HandleGroupMark(const Decoded<msg::GroupMark>& m);
  void HandleCorner(const Decoded<msg::Corner>& m);
  void HandleAuxClear(const Decoded<msg::AuxClear>& m);
  void HandleTableOption(const Decoded<msg::TableOption>& m);
  void HandleColumnWidths(const Decoded<msg::ColumnWidths>& m);
  void HandleScratch(const Decoded<msg::Scratch>& m);
  void HandleFootnote(const Decoded<msg::Footnote>& m);
  void HandleFootnoteMarker(const Decoded<msg::FootnoteMarker>& m);
  void HandleBold(const Decoded<msg::Bold>&);
  void HandleBackground(const Decoded<msg::Background>& m);
  void HandleColor(const Decoded<msg::Color>& m);
  void HandleMarker(const Decoded<msg::Marker>& m);
  // ---- procedures, text and pages
  void HandleProcedureBegin(const Decoded<msg::ProcedureBegin>& m) { BeginProcedure(m); }
  void HandleProcedureEnd(const Decoded<msg::ProcedureEnd>& m) {
    EndProcedure(m.Get<msg::ProcedureEnd::kFragment>());
  }
  void HandleHeading(const Decoded<msg::Heading>& m);
  void HandleHeadingEnd(const Decoded<msg::HeadingEnd>&) {
    if (_pProc) _pProc->EndHeading();
  }
  void HandleTextBlock(const Decoded<msg::TextBlock>& m);
  void HandleSplit(const Decoded<msg::Split>& m);
  void HandleText(const Decoded<msg::Text>& m);
  void HandleLog(const Decoded<msg::Log>& m);
  void HandleLogEnd(const Decoded<msg::LogEnd>&) { EndLog(); }
  void HandleSignal(const Decoded<msg::Signal>&);
  void HandlePageTitle(const Decoded<msg::PageTitle>& m) {
    PageTitle(m.Get<msg::PageTitle::kTitle>(), m.Get<msg::PageTitle::kSubtitle>());
  }
  void HandleOutline(const Decoded<msg::Outline>& m);
  void HandleChart(const Decoded<msg::Chart>& m);
  void HandleAnswerTree(const Decoded<msg::AnswerTree>& m);
  void HandleModel(const Decoded<msg::Model>& m) {
    const std::string_view fragment = m.Get<msg::Model::kFragment>();
    if (_pProc) _pProc->Model(fragment.data(), fragment.size());
  }
};

void OmFactory::Impl::Play(short type, unsigned char* data, std::size_t length) {
  // A type the protocol does not have is ignored.
  MessageVisitor::Play(type, data, length, _swapBytes, [type](const DecodedMessage&) {
    if (gDispatchHook && !IsSetting(MessageType{type})) gDispatchHook(type);
  });
}

// ---- settings
// ----------------------------------------------------------------------------------------------

void OmFactory::Impl::HandleSetting(const Decoded<msg::Setting>& m) {
  using F = msg::Setting;
  // Record: the value as an i32, then the name, NUL-terminated, at offset 4.
  const std::string_view name = m.Get<F::kName>();
  std::string record(4 + name.size() + 1, '\0');
  const std::int32_t value = m.Get<F::kValue>();
  std::memcpy(record.data(), &value, 4);
  std::memcpy(record.data() + 4, name.data(), name.size());
  const int code = 2;
  IOCVSET(&code, record.data());
}

void OmFactory::Impl::HandleDisplay(const Decoded<msg::Display>& m) {
  const std::string_view key = m.Get<msg::Display::kKey>(), value = m.Get<msg::Display::kValue>();
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
      } catch (const StringTableError& e) {
        // A language whose table is missing or unreadable is a fault of the installation, not of the
        // stream: the table in use stays and the stream goes on. English is compiled in, so it never
        // needs its file.
        if (std::string_view(language->keyword) == "ENGLISH") {
          _dictionary.SetGlobalStringTable("");
          _stringTablePath.clear();
          return;
        }
        for (Observer* o : _observers)
          o->Warning("output language " + std::string(language->name) + ": " + e.what() +
                     "; the output stays in the language in use");
      }
    }
  }
}

void OmFactory::Impl::HandleSettingPair(const Decoded<msg::SettingPair>& m) {
  const std::int32_t record[2] = {m.Get<msg::SettingPair::kFirst>(), m.Get<msg::SettingPair::kSecond>()};
  const int code = 3;
  IOCVSET(&code, record);
}

// ---- parameters
// --------------------------------------------------------------------------------------------

void OmFactory::Impl::HandleNumber(const Decoded<msg::Number>& m) {
  using F = msg::Number;
  PutNumber(m.Get<F::kSlot>(), m.Get<F::kValue>(), ConvertFormat(m), m.Name(F::kSlot));
}

void OmFactory::Impl::HandleInteger(const Decoded<msg::Integer>& m) {
  using F = msg::Integer;
  PutNumber(m.Get<F::kSlot>(), static_cast<double>(m.Get<F::kValue>()), ConvertFormat(m), m.Name(F::kSlot));
}

void OmFactory::Impl::HandleString(const Decoded<msg::String>& m) {
  using F = msg::String;
  PutString(m.Get<F::kSlot>(), m.Get<F::kText>(), m.Get<F::kLiteral>() == 0, m.Name(F::kSlot));
}

void OmFactory::Impl::HandleVariable(const Decoded<msg::Variable>& m) {
  using F = msg::Variable;
  Put(m.Get<F::kSlot>(),
      OmCellTextPtr(new OmVariable(std::string(m.Get<F::kName>()), std::string(m.Get<F::kLabel>()),
                                   ModeFromCode(m.Get<F::kMode>()))));
}

void OmFactory::Impl::HandleValue(const Decoded<msg::Value>& m) {
  using F = msg::Value;
  const std::uint32_t format = ConvertFormat(m);
  const DecodedField& value = m.Get<F::kValue>();
  const OmCellText::ModeType mode = ModeFromCode(m.Get<F::kMode>());
  if (value.isNumber)
    Put(m.Get<F::kSlot>(), OmCellTextPtr(new OmNumDataValue(std::string(m.Get<F::kVariable>()), value.f,
                                                            format, std::string(m.Get<F::kLabel>()), mode)));
  else
    Put(m.Get<F::kSlot>(),
        OmCellTextPtr(new OmStringDataValue(std::string(m.Get<F::kVariable>()), std::string(value.text),
                                            format, std::string(m.Get<F::kLabel>()), mode)));
}

void OmFactory::Impl::HandleComposite(const Decoded<msg::Composite>& m) {
  using F = msg::Composite;
  const std::int32_t c = m.Get<F::kSlot>();
  OmCellTextPtr templ = Take(m, F::kTemplate);
  _currentComposite = c;
  if (templ->OrderCode() == OmCellText::kOrderComposite)
    Put(c, std::move(templ));
  else
    Put(c, OmCellTextPtr(new OmComposite(*templ)));
}

void OmFactory::Impl::HandleCompositeAdd(const Decoded<msg::CompositeAdd>& m) {
  OmCellTextPtr child = Take(m, msg::CompositeAdd::kSlot);
  CurrentComposite().Add(*child);
}

void OmFactory::Impl::HandleFree(const Decoded<msg::Free>& m) {
  using F = msg::Free;
  const std::int32_t slot = m.Get<F::kSlot>();
  if (slot < 0)
    throw ProtocolError(_type, m.Name(F::kSlot), "slot " + std::to_string(slot) + " is out of range");
  if (static_cast<std::size_t>(slot) < parms.size()) {
    parms[static_cast<std::size_t>(slot)].reset();
    _numbers[static_cast<std::size_t>(slot)].full = false;
  }
}

void OmFactory::Impl::HandleCopy(const Decoded<msg::Copy>& m) {
  using F = msg::Copy;
  OmCellTextPtr copy = CloneText(Peek(m.Get<F::kSource>(), m.Name(F::kSource)));
  Put(m.Get<F::kTarget>(), std::move(copy), m.Name(F::kTarget));
}

// ---- tables
// ------------------------------------------------------------------------------------------------

void OmFactory::Impl::HandleTableBegin(const Decoded<msg::TableBegin>& m) {
  using F = msg::TableBegin;
  OmCellTextPtr label = Take(m, F::kLabel);
  OmCellTextPtr subtype = Take(m, F::kSubtype);
  OmCellTextPtr title = CloneText(*label);
  if (!_pProc) return;
  label->Accept(_outlineFixer);
  title->Accept(_tableFixer);
  OmPivotFactory* b = _pProc->AddTable(*label, *subtype, *title, m.Get<F::kContinuation>() != 0);
  const unsigned tcid = m.Get<F::kTcid>();
  if (tcid >= _pTables.size()) _pTables.resize(tcid + 1, nullptr);
  _pTables[tcid] = b;
  b->Table().setBackendSettings(_pProc->Settings());
  b->Table().setFastTable(_pProc->Settings() && _pProc->Settings()->getFastTables());
  _annotationTable = static_cast<std::int32_t>(tcid);
}

void OmFactory::Impl::HandleCategory(const Decoded<msg::Category>& m) {
  using F = msg::Category;
  OmCellTextPtr label = Take(m, F::kCategory);
  OmCellTextPtr dim = Take(m, F::kDimension);
  if (OmPivotFactory* b = LabelBuilder(m.Get<F::kTcid>(), *label, *dim))
    b->AddCategory(b->FindOrAddDimension(*dim), *label);
  Recycle(std::move(label));
  Recycle(std::move(dim));
}

void OmFactory::Impl::HandleGroup(const Decoded<msg::Group>& m) {
  using F = msg::Group;
  OmCellTextPtr label = Take(m, F::kGroup);
  OmCellTextPtr dim = Take(m, F::kDimension);
  if (OmPivotFactory* b = LabelBuilder(m.Get<F::kTcid>(), *label, *dim))
    b->AddGroup(b->FindOrAddDimension(*dim), *label);
}

void OmFactory::Impl::HandleCell(const Decoded<msg::Cell>& m) {
  using F = msg::Cell;
  // Most cells are numbers: they go into the table as value and format, no text made for them.
  double value = 0;
  std::uint32_t format = 0;
  OmCellTextPtr cell;
  const bool number = TakeNumber(m, F::kCell, value, format);
  if (!number) cell = Take(m, F::kCell);
  OmCellTextPtr label = Take(m, F::kCategory);
  if (OmPivotFactory* b = VisibleBuilder(m.Get<F::kTcid>())) {
    if (cell) Fix(*cell);
    Fix(*label);
    const int d = b->CellDimension();
    if (d < 0) throw ProtocolError(_type, "", "no cell dimension was set for the table");
    b->SelectCellDimension();
    label->setICUTracker(b->Table().getICUTracker());
    b->AddCategory(d, *label);
    if (number)
      b->SetNumber(value, format);
    else
      b->SetCell(*cell);
  }
  Recycle(std::move(label));
}

void OmFactory::Impl::HandleCellCategory(const Decoded<msg::CellCategory>& m) {
  using F = msg::CellCategory;
  OmCellTextPtr label = Take(m, F::kCategory);
  if (OmPivotFactory* b = VisibleBuilder(m.Get<F::kTcid>())) {
    Fix(*label);
    const int d = b->CellDimension();
    if (d < 0) throw ProtocolError(_type, "", "no cell dimension was set for the table");
    b->AddCategory(d, *label);
    b->SelectCellDimension();
  }
  Recycle(std::move(label));
}

void OmFactory::Impl::HandleTableEnd(const Decoded<msg::TableEnd>& m) {
  if (!_pProc) return;
  const unsigned tcid = m.Get<msg::TableEnd::kTcid>();
  OmPivotFactory* b = tcid < _pTables.size() ? _pTables[tcid] : nullptr;
  if (b == nullptr) ThrowError::Simple("omerrors.err", 101);
  if (!b->Validate()) ThrowError::Simple("omerrors.err", 102);
  b->EndTable();
  _pTables[tcid] = nullptr;
}

void OmFactory::Impl::HandlePlace(const Decoded<msg::Place>& m) {
  using F = msg::Place;
  OmCellTextPtr dim = Take(m, F::kDimension);
  if (OmPivotFactory* b = VisibleBuilder(m.Get<F::kTcid>())) {
    Fix(*dim);
    b->PlaceDimension(*dim, m.Get<F::kPosition>(), m.Get<F::kAxis>(), m.Get<F::kFirst>() != 0,
                      m.Get<F::kSecond>() != 0);
  }
}

void OmFactory::Impl::HandleGroupSort(const Decoded<msg::GroupSort>& m) {
  if (OmPivotFactory* b = VisibleBuilder(m.Get<msg::GroupSort::kTcid>()))
    b->SetGroupSortMode(m.Get<msg::GroupSort::kValue>());
}

void OmFactory::Impl::HandleDimensionSort(const Decoded<msg::DimensionSort>& m) {
  if (OmPivotFactory* b = VisibleBuilder(m.Get<msg::DimensionSort::kTcid>()))
    b->SetDimensionSortMode(m.Get<msg::DimensionSort::kValue>());
}

void OmFactory::Impl::HandleGroupSortMark(const Decoded<msg::GroupSortMark>& m) {
  if (OmPivotFactory* b = VisibleBuilder(m.Get<msg::GroupSortMark::kTcid>())) {
    b->SetGroupSortMode(m.Get<msg::GroupSortMark::kValue>());
    b->MarkGroup();
  }
}

void OmFactory::Impl::HandleGroupMark(const Decoded<msg::GroupMark>& m) {
  if (OmPivotFactory* b = VisibleBuilder(m.Get<msg::GroupMark::kTcid>())) b->MarkGroup();
}

void OmFactory::Impl::HandleCorner(const Decoded<msg::Corner>& m) {
  using F = msg::Corner;
  OmCellTextPtr corner = Take(m, F::kSlot);
  if (!_pProc) return;
  Fix(*corner);
  OmPivotFactory& b = Builder(m.Get<F::kTcid>());
  if (b.Table().IsVisible()) b.Table().CornerText(corner.get());
}

void OmFactory::Impl::HandleAuxClear(const Decoded<msg::AuxClear>& m) {
  if (_pProc) Builder(m.Get<msg::AuxClear::kTcid>()).Table().SetAuxiliaryFlag(false);
}

void OmFactory::Impl::HandleTableOption(const Decoded<msg::TableOption>& m) {
  using F = msg::TableOption;
  OmCellTextPtr cell = Take(m, F::kSlot);
  if (!_pProc) return;
  OmPivotTable& table = Builder(m.Get<F::kTcid>()).Table();
  const std::int32_t option = m.Get<F::kOption>();
  if (option >= Code(TableOption::RotateRowLabels) && option <= Code(TableOption::OptionNumber)) {
    if (cell->OrderCode() != OmCellText::kOrderNumber)
      throw ProtocolError(_type, m.Name(F::kSlot),
                          "table option " + std::to_string(option) + " needs a number");
    const double v = static_cast<const OmNumber&>(*cell).Value();
    if (option == Code(TableOption::RotateRowLabels)) table.RotateRowLabels(v != 0);
    if (option == Code(TableOption::RotateColumnLabels)) table.RotateColumnLabels(v != 0);
    if (option == Code(TableOption::OptionNumber))
      table.OptionNumber(v >= -2147483648.0 && v <= 2147483647.0 ? static_cast<int>(v) : 0);
  } else if (option == Code(TableOption::DimensionOption) && table.IsVisible()) {
    Fix(*cell);
    const int d = table.FindDimension(*cell);
    if (d < 0)
      throw ProtocolError(_type, m.Name(F::kSlot),
                          "table option 3 names a dimension the table does not have");
    table.Dimension(d).SetOption(true);
  }
}

void OmFactory::Impl::HandleColumnWidths(const Decoded<msg::ColumnWidths>& m) {
  using F = msg::ColumnWidths;
  if (!_pProc) return;
  OmPivotTable& table = Builder(m.Get<F::kTcid>()).Table();
  const std::int32_t which = m.Get<F::kWhich>();
  if (which == Code(WidthLimits::Minimum) || which == Code(WidthLimits::Both))
    table.MinColumnWidth(m.Get<F::kMinimum>());
  if (which == Code(WidthLimits::Maximum) || which == Code(WidthLimits::Both))
    table.MaxColumnWidth(m.Get<F::kMaximum>());
}

void OmFactory::Impl::HandleScratch(const Decoded<msg::Scratch>& m) {
  OmCellTextPtr label = Take(m, msg::Scratch::kSlot);
  if (!_pProc) return;
  if (OmPivotTable* table = _pProc->FindTable(*label)) {
    table->Scratch();
    if (auto* b = dynamic_cast<OmPivotFactory*>(table->Hint())) b->Restart();
  }
}

void OmFactory::Impl::Footnote(std::int32_t target, OmCellTextPtr text, OmCellTextPtr marker) {
  if (!_pProc) return;
  Fix(*text);
  if (marker) Fix(*marker);
  const OmFootnote record(nullptr, *text, marker.get(), 0);
  if (target == Code(FootnoteTarget::Heading)) {
    _pProc->AddHeadingFootnote(record);
  } else if (target >= Code(FootnoteTarget::Title) && target <= Code(FootnoteTarget::Caption)) {
    OmPivotFactory& b = AnnotationTarget();
    if (b.Table().IsVisible()) b.Annotate(target, record);
  }
}

void OmFactory::Impl::HandleFootnote(const Decoded<msg::Footnote>& m) {
  OmCellTextPtr text = Take(m, msg::Footnote::kText);
  Footnote(m.Get<msg::Footnote::kTarget>(), std::move(text), nullptr);
}

void OmFactory::Impl::HandleFootnoteMarker(const Decoded<msg::FootnoteMarker>& m) {
  using F = msg::FootnoteMarker;
  OmCellTextPtr text = Take(m, F::kText);
  OmCellTextPtr marker;
  if (m.Get<F::kMarker>() != 0) marker = Take(m, F::kMarker); // 0: no marker
  Footnote(m.Get<F::kTarget>(), std::move(text), std::move(marker));
}

void OmFactory::Impl::HandleBold(const Decoded<msg::Bold>&) {
  if (OmPivotFactory* b = AnnotatedCategory()) b->SetCategoryBold();
}

void OmFactory::Impl::HandleBackground(const Decoded<msg::Background>& m) {
  if (OmPivotFactory* b = AnnotatedCategory())
    b->SetCategoryBackgroundColor(std::string(m.Get<msg::Background::kColour>()));
}

void OmFactory::Impl::HandleColor(const Decoded<msg::Color>& m) {
  if (OmPivotFactory* b = AnnotatedCategory())
    b->SetCategoryTextColor(std::string(m.Get<msg::Color::kColour>()));
}

void OmFactory::Impl::HandleMarker(const Decoded<msg::Marker>& m) {
  OmCellTextPtr marker = Take(m, msg::Marker::kSlot);
  if (!_pProc) return;
  Fix(*marker);
  OmPivotFactory& b = AnnotationTarget();
  if (b.Table().IsVisible()) b.AddMarker(*marker);
}

// ---- procedures, text and pages
// -----------------------------------------------------------------------------

void OmFactory::Impl::HandleHeading(const Decoded<msg::Heading>& m) {
  OmCellTextPtr label = Take(m, msg::Heading::kSlot);
  if (!_pProc) return;
  label->Accept(_outlineFixer);
  _pProc->AddHeading(*label);
}

void OmFactory::Impl::HandleTextBlock(const Decoded<msg::TextBlock>& m) {
  OmCellTextPtr label = Take(m, msg::TextBlock::kSlot);
  if (!_pProc) return;
  label->Accept(_outlineFixer);
  _pProc->AddTextBlock(*label);
}

void OmFactory::Impl::HandleSplit(const Decoded<msg::Split>& m) {
  OmCellTextPtr variable = Take(m, msg::Split::kVariable);
  OmCellTextPtr value = Take(m, msg::Split::kValue);
  if (!_pProc) return;
  Fix(*variable);
  Fix(*value);
  _pProc->SetSplit(*variable, *value);
}

void OmFactory::Impl::HandleText(const Decoded<msg::Text>& m) {
  if (!_pProc) return;
  Lines(m.Get<msg::Text::kLines>(), m.Get<msg::Text::kText>(), _pProc->TextBlock(),
        [this](std::string_view line) {
          _pProc->AddText(line.data(), line.size());
          return _pProc->TextBlock()->IsVisible();
        });
}

void OmFactory::Impl::HandleLog(const Decoded<msg::Log>& m) {
  Lines(m.Get<msg::Log::kLines>(), m.Get<msg::Log::kText>(), _logBlock,
        [this](std::string_view line) { return LogLine(line); });
}

void OmFactory::Impl::HandleSignal(const Decoded<msg::Signal>&) {
  for (Observer* o : _observers)
    o->Signal();
}

void OmFactory::Impl::HandleOutline(const Decoded<msg::Outline>& m) {
  if (_pProc)
    _pProc->SetOutlineText(
        OmStringCell(_dictionary.LookUp(std::string(m.Get<msg::Outline::kText>())), nullptr, false));
}

template <class M> std::string_view OmFactory::Impl::OperationData(const Decoded<M>& m) const {
  const std::string_view bytes = m.template Get<M::kData>();
  const std::int32_t a = m.template Get<M::kA>();
  if (a < 0) throw ProtocolError(_type, m.Name(M::kA), "length " + std::to_string(a) + " is negative");
  if (static_cast<std::size_t>(a) > bytes.size())
    throw ProtocolError(_type, m.Name(M::kA),
                        "length " + std::to_string(a) + " runs past the " + std::to_string(bytes.size()) +
                            " bytes of data");
  return bytes.substr(0, static_cast<std::size_t>(a));
}

void OmFactory::Impl::HandleChart(const Decoded<msg::Chart>& m) {
  using F = msg::Chart;
  const std::string_view data = OperationData(m);
  if (_pProc)
    _pProc->Chart(m.Get<F::kChart>(), m.Get<F::kOperation>(), data.data(), data.size(), m.Get<F::kB>());
}

void OmFactory::Impl::HandleAnswerTree(const Decoded<msg::AnswerTree>& m) {
  using F = msg::AnswerTree;
  const std::string_view data = OperationData(m);
  if (_pProc)
    _pProc->AnswerTree(m.Get<F::kTree>(), m.Get<F::kOperation>(), data.data(), data.size(), m.Get<F::kB>());
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
    m.Play(type, bytes, length);
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

} // namespace omf
