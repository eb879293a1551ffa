#include <omf/procedure/ProcedureFactory.h>

#include <algorithm>
#include <map>

#include <omf/builder/PivotFactory.h>
#include <omf/diagnostics/FaultInjection.h>
#include <omf/diagnostics/InternalError.h>
#include <omf/mipool/MIPooler.h>
#include <omf/platform/bootspec/SvrBootstrapSpecs.h>
#include <omf/platform/message/MessageHandler.h>
#include <omf/platform/settings/BackendSettings.h>
#include <omf/platform/strings/PlatformStrings.h>
#include <omf/presentation/Translator.h>
#include <omf/procedure/BootPoolingPass.h>
#include <omf/procedure/FinishPass.h>
#include <omf/protocol/MessageCatalogue.h>
#include <omf/protocol/ProtocolError.h>
#include <omf/selection/FactorySelector.h>

namespace omf {

namespace {

// Chart and answer-tree numbers index vectors that grow on demand, so creating one with a larger (or a
// negative) number is refused; any other operation on such a number addresses nothing and is ignored.
constexpr int kMaxPartNumber = 1 << 16;
// Headings nest at most this many levels below their procedure. Text and HTML outlines indent every
// level, so deeper nesting only multiplies the size of what is rendered.
constexpr int kMaxHeadingDepth = 100;

OmCellTextPtr Text(std::string text, bool translatable) {
  return OmCellTextPtr(new OmStringCell(std::move(text), nullptr, translatable));
}

// Orders titles by Compare, a total order across kinds of text. Titles that compare equal are equal (a
// string's length is part of its bytes), so an index in this order finds what a scan for an equal
// title would.
struct TitleOrder {
  bool operator()(const OmCellText* a, const OmCellText* b) const { return a->Compare(*b) < 0; }
};

} // namespace

// The procedure, or one of its headings, while the procedure is open: its parts in the order they were
// made, and its child headings and tables by title, so that finding one takes no scan of its siblings.
// Nodes are positions in the tree as it stands while the procedure is open.
struct OmProcedureFactory::Section {
  struct Item {
    std::size_t node;
    Section* section; // the item's own section when it is a heading
  };
  Section(std::size_t node, Section* parent)
      : node(node), parent(parent), depth(parent ? parent->depth + 1 : 0) {}

  std::size_t node;
  Section* parent;
  int depth; // 0 for the procedure
  std::vector<Item> items;
  // The keys are the titles of the parts, which stay as they are until the finish step.
  std::map<const OmCellText*, Section*, TitleOrder> headings;
  std::map<const OmCellText*, std::size_t, TitleOrder> tables;
};

ProcedureTree::ProcedureTree() {
  const OmStringCell splits("Splits", nullptr, false);
  _splitTable = std::make_unique<OmPivotTable>(splits, splits, true);
  _splitTable->SetHint(std::make_unique<OmPivotFactory>(*_splitTable));
}

ProcedureTree::~ProcedureTree() = default;

OmProcedureFactory::OmProcedureFactory(const std::string& name, const std::string& translatedName,
                                       const std::string& language, const std::string& codePage,
                                       const std::string& locale, OmFactorySelector* selector,
                                       OmOutputTreeTranslator* translator)
    : _tree(std::make_unique<ProcedureTree>()), _translator(translator), _selector(selector),
      _codePage(codePage), _locale(locale) {
  _tree->SetRemovalListener(&_forgetter);
  try {
    const OmStringCell title(name, nullptr, true);
    auto procedure = std::make_unique<OmProcedure>(title, language, codePage, locale);
    procedure->SetCommand(name);
    procedure->SetName(translatedName);
    OmProcedure& part = *procedure;
    auto section = std::make_unique<Section>(_tree->Append(0, std::move(procedure)), nullptr);
    _current = section.get();
    _sections.push_back(std::move(section));
    if (_selector) _selector->ResetCounters();
    Select(part);
  } catch (...) {
    // The destructor does not run for a factory that failed to construct, and the forgetter is
    // destroyed before the tree: the tree goes now, while its listener still exists.
    _tree.reset();
    throw;
  }
}

OmProcedureFactory::~OmProcedureFactory() {
  // Instances count within one procedure: once it is gone, selection keeps nothing that it made, the
  // parts grafted into the caller's tree included.
  _tree->SetRemovalListener(nullptr);
  if (_selector) _selector->ResetCounters();
}

void OmProcedureFactory::Forgetter::Removing(const OmOutputPart& part) noexcept {
  if (_factory._selector) _factory._selector->Forget(&part);
  if (&part == _factory._textBlock) _factory._textBlock = nullptr;
}

void OmProcedureFactory::Select(OmOutputPart& part) {
  if (_selector) part.Accept(*_selector);
}

// Until the finish step every part goes to the end of the tree, one level below the procedure, so that
// adding one costs the same wherever its heading stands; the sections keep where each belongs.
std::size_t OmProcedureFactory::AppendPart(std::unique_ptr<OmOutputPart> part) {
  omf::detail::Invariant(_current != nullptr, "parts are added only while the procedure is open");
  const std::size_t node = _tree->Count();
  _current->items.push_back({node, nullptr});
  try {
    return _tree->InsertAt(node, std::move(part), 2);
  } catch (...) {
    _current->items.pop_back();
    throw;
  }
}

void OmProcedureFactory::AddHeading(const OmCellText& text) {
  if (const auto found = _current->headings.find(&text); found != _current->headings.end()) {
    _current = found->second;
    return;
  }
  if (_current->depth >= kMaxHeadingDepth)
    throw ProtocolError(MessageType::Heading, "",
                        "headings nest more than " + std::to_string(kMaxHeadingDepth) + " levels deep");
  auto heading = std::make_unique<OmHeading>(text, _codePage);
  OmHeading& part = *heading;
  _sections.push_back(std::make_unique<Section>(0, _current));
  Section& section = *_sections.back();
  section.node = AppendPart(std::move(heading));
  _current->items.back().section = &section;
  _current->headings.emplace(&part.Title(), &section);
  _current = &section;
  Select(part);
  _textBlock = nullptr;
}

void OmProcedureFactory::EndHeading() {
  if (_current->parent == nullptr)
    throw ProtocolError(MessageType::HeadingEnd, "", "no heading is open to end");
  _current = _current->parent;
}

void OmProcedureFactory::AddTextBlock(const OmCellText& text) {
  auto block = std::make_unique<OmTextBlock>(text, _codePage);
  _textBlock = block.get();
  AppendPart(std::move(block));
  Select(*_textBlock);
}

void OmProcedureFactory::AddText(const char* bytes, std::size_t length) {
  if (_textBlock == nullptr) AddTextBlock(OmStringCell("Text Output", nullptr, true));
  if (_textBlock->IsVisible()) _textBlock->Lines().emplace_back(bytes, length);
}

OmPivotTable* OmProcedureFactory::FindTable(const OmCellText& title) {
  if (_current == nullptr) return nullptr;
  const auto found = _current->tables.find(&title);
  return found == _current->tables.end() ? nullptr : static_cast<OmPivotTable*>(_tree->Part(found->second));
}

namespace {
// Gives a table a heading footnote: the table takes it into its list and marks its title with it.
void InheritFootnote(OmPivotTable& table, const OmFootnote& footnote) {
  table.TableTitle().Footnote(table.Footnote(footnote, false));
}
} // namespace

OmPivotFactory* OmProcedureFactory::AddTable(const OmCellText& title, const OmCellText& subtype,
                                             const OmCellText& tableTitle, bool splits) {
  if (OmPivotTable* existing = FindTable(title)) return static_cast<OmPivotFactory*>(existing->Hint());
  auto made = std::make_unique<OmPivotTable>(title, subtype, splits);
  OmPivotTable& table = *made;
  ++_tableCounter;
  table.TableId((static_cast<std::uint64_t>(_number) << 20) | _tableCounter);
  table.TableLocale(_locale);
  table.SetTableTitle(tableTitle);
  table.SetCodePage(_codePage);
  if (!_bootstrapped) Select(table);
  const std::size_t node = AppendPart(std::move(made));
  _current->tables.emplace(&table.Title(), node);
  OmPivotTable& splitTable = _tree->SplitTable();
  if (splits) {
    _splitTables.push_back(&table);
    table.CopyDimensions(splitTable);
    table.Rows().Items() = splitTable.Rows().Items();
    table.Rows().SetFill(splitTable.Rows().Fill());
    table.Columns().Items() = splitTable.Columns().Items();
    table.Columns().SetFill(splitTable.Columns().Fill());
    table.Layers().Items() = splitTable.Layers().Items();
    table.Layers().SetFill(splitTable.Layers().Fill());
  }
  // Footnotes of the headings above the table, outermost first.
  std::vector<const Section*> path;
  for (const Section* s = _current; s != nullptr; s = s->parent)
    path.push_back(s);
  for (auto it = path.rbegin(); it != path.rend(); ++it)
    if (auto* heading = dynamic_cast<OmHeading*>(_tree->Part((*it)->node)))
      for (const OmFootnote& f : heading->Footnotes())
        InheritFootnote(table, f);
  auto builder =
      splits ? std::make_unique<OmPivotFactory>(table, *static_cast<OmPivotFactory*>(splitTable.Hint()))
             : std::make_unique<OmPivotFactory>(table);
  OmPivotFactory* result = builder.get();
  table.SetHint(std::move(builder));
  _textBlock = nullptr;
  return result;
}

void OmProcedureFactory::AddHeadingFootnote(const OmFootnote& footnote) {
  auto* heading = dynamic_cast<OmHeading*>(_tree->Part(_current->node));
  omf::detail::Invariant(heading != nullptr, "the current position is a heading");
  heading->Footnotes().push_back(footnote);
  SpreadFootnote(*_current, footnote);
}

// Every table below the section, at any depth, inherits the footnote.
void OmProcedureFactory::SpreadFootnote(const Section& section, const OmFootnote& footnote) {
  for (const Section::Item& item : section.items) {
    if (item.section != nullptr)
      SpreadFootnote(*item.section, footnote);
    else if (auto* table = dynamic_cast<OmPivotTable*>(_tree->Part(item.node)))
      InheritFootnote(*table, footnote);
  }
}

void OmProcedureFactory::SetSplit(const OmCellText& variable, const OmCellText& value) {
  OmPivotTable& splitTable = _tree->SplitTable();
  const int i = static_cast<OmPivotFactory*>(splitTable.Hint())->FindOrAddDimension(variable);
  TableSplitSetter setter(variable, value, i != 0);
  splitTable.Accept(setter);
  for (OmPivotTable* table : _splitTables)
    table->Accept(setter);
}

void OmProcedureFactory::TableSplitSetter::Visit(OmPivotTable& table) {
  auto* builder = static_cast<OmPivotFactory*>(table.Hint());
  omf::detail::Invariant(builder != nullptr, "every table has its builder until the finish step");
  if (!table.HasSplits()) return;
  const int j = builder->FindOrAddDimension(_variable);
  builder->AddCategory(j, _value);
  if (_notFirst) builder->SetDimensionSortMode(OmDimensionNode::kSortAscending);
}

void OmProcedureFactory::SetOutlineText(const OmCellText& text) {
  if (auto* procedure = dynamic_cast<OmProcedure*>(_tree->Part(1))) procedure->setOutlineText(text);
}

namespace {
// The chart or answer tree filed under a number, or null.
template <class Part> Part* Numbered(const std::vector<Part*>& parts, int number) {
  return number >= 0 && static_cast<std::size_t>(number) < parts.size()
             ? parts[static_cast<std::size_t>(number)]
             : nullptr;
}
} // namespace

// Creates a chart or answer tree, as message M's creating operation asks, and files it under its number.
// The number is checked before the part is made: `make` may convert texts.
template <class M, class Part, class Make>
void OmProcedureFactory::AddNumbered(std::vector<Part*>& parts, int number, typename M::Field field,
                                     const char* what, Make make) {
  if (number < 0 || number >= kMaxPartNumber)
    throw ProtocolError(M::kType, FieldName<M>(field),
                        std::string(what) + " number " + std::to_string(number) + " is outside 0 to " +
                            std::to_string(kMaxPartNumber - 1));
  const auto n = static_cast<std::size_t>(number);
  std::unique_ptr<Part> made = make();
  Part& part = *made;
  Select(part);
  AppendPart(std::move(made));
  if (n >= parts.size()) parts.resize(n + 1, nullptr);
  parts[n] = &part;
}

void OmProcedureFactory::Chart(int number, int operation, const char* data, std::size_t length,
                               std::int32_t value) {
  if (operation == 0) {
    AddNumbered<msg::Chart>(_charts, number, msg::Chart::kChart, "chart", [&] {
      return std::make_unique<OmChart>(OmStringCell(std::string(data, length), nullptr, false), _codePage);
    });
    return;
  }
  OmChart* chart = Numbered(_charts, number);
  if (chart == nullptr) return;
  if (operation == 9) {
    if (auto* title = dynamic_cast<OmStringCell*>(&chart->Title()))
      title->SetSecondText(std::string(data, length));
    return;
  }
  if (!chart->IsVisible()) return;
  switch (operation) {
  case 1:
  case 2:
  case 3:
  case 4:
  case 7:
  case 8:
    chart->SetContent(operation, data, length, value);
    break;
  case 10:
    chart->SetMapInfo(data, length, value);
    break;
  default:
    break;
  }
}

void OmProcedureFactory::AnswerTree(int number, int operation, const char* data, std::size_t length,
                                    std::int32_t value) {
  if (operation == 1) {
    AddNumbered<msg::AnswerTree>(_answerTrees, number, msg::AnswerTree::kTree, "answer tree", [&] {
      const std::string title = VEXAMBU8ToGeneric(std::string_view(data, length), _codePage);
      return std::make_unique<OmAnswerTree>(OmStringCell(title, nullptr, true), _codePage);
    });
    return;
  }
  OmAnswerTree* tree = Numbered(_answerTrees, number);
  if (tree == nullptr || !tree->IsVisible() || operation < 0 || operation > 6) return;
  tree->SetContent(operation, data, length, value);
}

void OmProcedureFactory::Model(const void* payload, std::size_t length) {
  if (!_modelCollector) _modelCollector = std::make_unique<MessageHandler>();
  bool complete = false;
  try {
    complete = _modelCollector->receiveMessage(payload, length);
  } catch (const MessageProtocolError& e) {
    _modelCollector.reset();
    throw ProtocolError(MessageType::Model, FieldName<msg::Model>(msg::Model::kFragment), e.what());
  }
  if (!complete) return;
  std::unique_ptr<MessageHandler> collector = std::move(_modelCollector);
  std::int32_t kind = 0, number = 0;
  std::uint8_t flag = 0;
  std::string text;
  try {
    while (collector->getNextPart(kind, flag, number, text)) {
      if (kind == 0) {
        auto model = std::make_unique<OmModel>(OmStringCell(text, nullptr, false));
        OmModel& part = *model;
        part.SetCodePage(_codePage);
        Select(part);
        AppendPart(std::move(model));
        _models.push_back(&part);
      } else if (!_models.empty() && kind >= 1 && kind <= 4) {
        _models.back()->SetContent(kind, text.data(), text.size());
      } else if (!_models.empty() && kind == 5) {
        if (auto* title = dynamic_cast<OmStringCell*>(&_models.back()->Title())) title->SetSecondText(text);
      }
    }
  } catch (const MessageProtocolError& e) {
    throw ProtocolError(MessageType::Model, "part", e.what());
  }
}

bool OmProcedureFactory::IsIgnorable(std::size_t node) {
  OmOutputPart* part = _tree->Part(node);
  if (auto* table = dynamic_cast<OmPivotTable*>(part)) {
    if (table->IsNotes()) return true;
    if (table->IsWarnings() && !table->FirstCell()) {
      table->SetVisible(false);
      return true;
    }
    return false;
  }
  if (auto* block = dynamic_cast<OmTextBlock*>(part)) {
    const auto* title = dynamic_cast<const OmStringCell*>(&block->Title());
    return title != nullptr && title->Text() == "Active Dataset";
  }
  return false;
}

// Puts every part under its heading, in the order the parts were made, and lets go of the sections.
// When the one allocation fails, the tree stands as it was.
void OmProcedureFactory::Arrange() {
  if (_sections.empty()) return;
  std::vector<std::pair<std::size_t, int>> order;
  order.reserve(_tree->Count() - 1);
  const auto place = [&order](const Section& section, const auto& self) -> void {
    order.emplace_back(section.node, section.depth + 1);
    for (const Section::Item& item : section.items) {
      if (item.section != nullptr)
        self(*item.section, self);
      else
        order.emplace_back(item.node, section.depth + 2);
    }
  };
  place(*_sections.front(), place);
  _tree->Rearrange(order);
  _current = nullptr;
  _sections.clear();
  _splitTables.clear();
}

// Drops hidden parts, and headings left without children, in one pass: a heading stays when one of its
// children stays, any other part when it is visible; a part that goes takes its subtree along.
void OmProcedureFactory::PruneEmpty() {
  const std::size_t count = _tree->Count();
  if (count <= 1) return;
  std::vector<bool> doomed(count, false);
  // Walking from the end, kept[l] tells whether a node of level l stays among those seen since the last
  // node of a lower level: for the next node of level l - 1, exactly its children.
  std::vector<bool> kept;
  std::size_t deepest = 0;
  for (std::size_t i = count; i-- > 1;) {
    const auto level = static_cast<std::size_t>(_tree->Level(i));
    if (kept.size() < level + 2) kept.resize(level + 2, false);
    OmOutputPart* part = _tree->Part(i);
    const bool keep = dynamic_cast<OmHeading*>(part) != nullptr ? kept[level + 1] : part->IsVisible();
    for (std::size_t l = level + 1; l <= deepest; ++l)
      kept[l] = false;
    deepest = level;
    kept[level] = kept[level] || keep;
    doomed[i] = !keep;
  }
  _tree->PruneAll(doomed);
}

void OmProcedureFactory::Finish(const SvrBootstrapSpecs* bootstrapSpecification) {
  if (_finished) return;
  _finished = true;
  if (_bootstrapped && bootstrapSpecification)
    _bootstrapSpecs = std::make_unique<SvrBootstrapSpecs>(*bootstrapSpecification);
  for (std::size_t n = 1; n < _tree->Count(); ++n)
    _tree->Part(n)->ReleaseHint();
  Arrange();
  // Nothing but notes, "Active Dataset" blocks and empty warnings after the procedure's first child
  // means the procedure produced no output.
  bool output = false;
  for (std::size_t n = 3; n < _tree->Count() && !output; ++n)
    output = !IsIgnorable(n);
  if (!output) {
    _tree->Prune(1);
    return;
  }
  Complete();
}

void OmProcedureFactory::FinishWithNote(const OmCellText& title, const std::string& line) {
  _finished = true;
  _bootstrapSpecs.reset(); // the note replaces the output: nothing is left to pool
  _current = nullptr;
  _sections.clear();
  _splitTables.clear();
  if (_tree->Count() <= 1) return; // the finish step had found no output
  // Before the finish step has arranged them the parts all stand one level below the procedure, after
  // it they stand under it: either way its descendants are all of its output.
  const std::size_t node = _tree->Amputate(1, title, _codePage);
  static_cast<OmTextBlock*>(_tree->Part(node))->Lines().push_back(line);
  if (_processed) _processed->Rewind(2);
  Complete();
}

void OmProcedureFactory::Complete() {
  PruneEmpty();
  if (_tree->Empty()) return;
  if (_tree->HasChildren(1)) PostProcess();
  PruneEmpty();
  if (_tree->Empty()) return;
  auto* procedure = dynamic_cast<OmProcedure*>(_tree->Part(1));
  omf::detail::Invariant(procedure != nullptr, "the first part of a procedure's tree is the procedure");
  if (!procedure->Name().empty()) procedure->SetTitle(Text(procedure->Name(), false));
}

namespace {

// Tables of a bootstrapped procedure meet output selection only after pooling, so that instances count
// the pooled tables; a table that selection hides goes.
class BootstrapSelection : public OmFinishPass {
public:
  explicit BootstrapSelection(OmFactorySelector& selector) : _selector(selector) {}
  Verdict Visit(OmOutputPart& part, Insertions&) override {
    if (dynamic_cast<OmPivotTable*>(&part) == nullptr) return Verdict::kKeep;
    part.Accept(_selector);
    return part.IsVisible() ? Verdict::kKeep : Verdict::kDrop;
  }

private:
  OmFactorySelector& _selector;
};

class Translation : public OmFinishPass {
public:
  explicit Translation(OmOutputTreeTranslator& translator) : _translator(translator) {}
  Verdict Visit(OmOutputPart& part, Insertions&) override {
    part.Title().Accept(_translator.CellTextTranslator());
    part.Accept(_translator);
    return Verdict::kKeep;
  }

private:
  OmOutputTreeTranslator& _translator;
};

// After translation, so that labels compare in the output language.
class Sorting : public OmFinishPass {
public:
  Verdict Visit(OmOutputPart& part, Insertions&) override {
    part.Accept(_sorter);
    return Verdict::kKeep;
  }

private:
  OmFactorySorter _sorter;
};

// Multiple-imputation pooling: the catalogue's patterns pool each table, then the display flags remove
// the imputation categories they hide; a table left with none goes. The pooler matches the catalogue rows
// against the procedure part's own title, which still holds the untranslated command name.
class MIPooling : public OmFinishPass {
public:
  void Begin(OmOutputTree& tree) override {
    _pooler = std::make_unique<OmMIPooler>(tree.Part(1)->Title(), &tree);
  }
  Verdict Visit(OmOutputPart& part, Insertions&) override {
    part.Accept(*_pooler);
    return _pooler->drop ? Verdict::kDrop : Verdict::kKeep;
  }

private:
  std::unique_ptr<OmMIPooler> _pooler;
};

} // namespace

// The passes of the finish step in the order they run. Bootstrap pooling will come first and
// multiple-imputation pooling second (it is here), both before selection: selection then counts the pooled
// tables, and translation and sorting meet the tables as pooling leaves them.
std::unique_ptr<OmFinishPasses> OmProcedureFactory::FinishPasses() {
  auto passes = std::make_unique<OmFinishPasses>();
  if (_bootstrapSpecs) passes->Add(std::make_unique<OmBootPoolingPass>(std::move(_bootstrapSpecs)));
  passes->Add(std::make_unique<MIPooling>());
  if (_bootstrapped && _selector) passes->Add(std::make_unique<BootstrapSelection>(*_selector));
  if (_translator) passes->Add(std::make_unique<Translation>(*_translator));
  passes->Add(std::make_unique<Sorting>());
  return passes;
}

void OmProcedureFactory::PostProcess() {
  if (!_processed) _processed = FinishPasses();
  _processed->Run(*_tree);
}

// ---- sorting --------------------------------------------------------------------------------------------

namespace {
// Sorts the children of every group below the root by the group's sort mode, from a stack of its own so
// that the depth of the tree costs no call depth.
void SortNode(OmDimensionNode& root) {
  std::vector<OmDimensionNode*> pending{&root};
  while (!pending.empty()) {
    OmDimensionNode& node = *pending.back();
    pending.pop_back();
    if (!node.IsGroup()) continue;
    auto& kids = node.Children();
    if (node.SortMode() == OmDimensionNode::kSortAscending)
      std::sort(kids.begin(), kids.end(), [](const auto& a, const auto& b) { return *a < *b; });
    else if (node.SortMode() == OmDimensionNode::kSortDescending)
      std::sort(kids.begin(), kids.end(), [](const auto& a, const auto& b) { return *b < *a; });
    for (auto& child : kids) {
      child->SetParent(&node);
      pending.push_back(child.get());
    }
  }
}
} // namespace

void OmFactorySorter::Visit(OmPivotTable& table) {
  for (int d = 0; d < table.NDimensions(); ++d)
    SortNode(table.Dimension(d).Root());
}

} // namespace omf
