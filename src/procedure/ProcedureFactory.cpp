#include "procedure/ProcedureFactory.h"

#include <algorithm>

#include "factory/PivotFactory.h"
#include "factory/ProtocolError.h"
#include "platform/message/MessageHandler.h"
#include "platform/settings/BackendSettings.h"
#include "platform/strings/PlatformStrings.h"
#include "presentation/Translator.h"
#include "selection/FactorySelector.h"

namespace {

// Chart and answer-tree numbers index vectors that grow on demand, so creating one with a larger (or a
// negative) number is refused; any other operation on such a number addresses nothing and is ignored.
constexpr int kMaxPartNumber = 1 << 16;

OmCellTextPtr Text(std::string text, bool translatable) {
  return OmCellTextPtr(new OmStringCell(std::move(text), nullptr, translatable));
}

} // namespace

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
  const OmStringCell title(name, nullptr, true);
  auto procedure = std::make_unique<OmProcedure>(title, language, codePage, locale);
  procedure->SetCommand(name);
  procedure->SetName(translatedName);
  OmProcedure& part = *procedure;
  _position = _tree->Append(0, std::move(procedure));
  if (_selector) _selector->ResetCounters();
  Select(part);
}

OmProcedureFactory::~OmProcedureFactory() = default;

void OmProcedureFactory::Select(OmOutputPart& part) {
  if (_selector) part.Accept(*_selector);
}

std::size_t OmProcedureFactory::AppendPart(std::unique_ptr<OmOutputPart> part) {
  return _tree->Append(_position, std::move(part));
}

void OmProcedureFactory::AddHeading(const OmCellText& text) {
  for (std::size_t c = _tree->FirstChild(_position); c != ProcedureTree::npos; c = _tree->NextSibling(c)) {
    auto* heading = dynamic_cast<OmHeading*>(_tree->Part(c));
    if (heading && heading->Title().Equals(text)) {
      _position = c;
      return;
    }
  }
  auto heading = std::make_unique<OmHeading>(text, _codePage);
  OmHeading& part = *heading;
  _position = AppendPart(std::move(heading));
  Select(part);
  _textBlock = nullptr;
}

void OmProcedureFactory::EndHeading() {
  if (_position <= 1) throw std::logic_error("!IsRoot()");
  _position = _tree->Parent(_position);
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
  for (std::size_t c = _tree->FirstChild(_position); c != ProcedureTree::npos; c = _tree->NextSibling(c)) {
    auto* table = dynamic_cast<OmPivotTable*>(_tree->Part(c));
    if (table && table->Title().Equals(title)) return table;
  }
  return nullptr;
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
  AppendPart(std::move(made));
  OmPivotTable& splitTable = _tree->SplitTable();
  if (splits) {
    table.CopyDimensions(splitTable);
    table.Rows().Items() = splitTable.Rows().Items();
    table.Rows().SetFill(splitTable.Rows().Fill());
    table.Columns().Items() = splitTable.Columns().Items();
    table.Columns().SetFill(splitTable.Columns().Fill());
    table.Layers().Items() = splitTable.Layers().Items();
    table.Layers().SetFill(splitTable.Layers().Fill());
  }
  // Footnotes of the headings above the table, outermost first.
  std::vector<std::size_t> path;
  for (std::size_t n = _position; n != ProcedureTree::npos && n >= 1; n = _tree->Parent(n))
    path.push_back(n);
  for (auto it = path.rbegin(); it != path.rend(); ++it)
    if (auto* heading = dynamic_cast<OmHeading*>(_tree->Part(*it)))
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
  auto* heading = dynamic_cast<OmHeading*>(_tree->Part(_position));
  if (heading == nullptr) throw std::logic_error("a heading footnote needs a current heading");
  heading->Footnotes().push_back(footnote);
  const std::size_t end = _tree->SubtreeEnd(_position);
  for (std::size_t n = _position + 1; n < end; ++n)
    if (auto* table = dynamic_cast<OmPivotTable*>(_tree->Part(n))) InheritFootnote(*table, footnote);
}

void OmProcedureFactory::SetSplit(const OmCellText& variable, const OmCellText& value) {
  OmPivotTable& splitTable = _tree->SplitTable();
  const int i = static_cast<OmPivotFactory*>(splitTable.Hint())->FindOrAddDimension(variable);
  TableSplitSetter setter(variable, value, i != 0);
  splitTable.Accept(setter);
  std::vector<OmOutputPart*> parts;
  for (std::size_t n = 1; n < _tree->Count(); ++n)
    parts.push_back(_tree->Part(n));
  for (OmOutputPart* part : parts)
    part->Accept(setter);
}

void OmProcedureFactory::TableSplitSetter::Visit(OmPivotTable& table) {
  auto* builder = static_cast<OmPivotFactory*>(table.Hint());
  if (builder == nullptr) throw std::logic_error("table.Hint()");
  if (!table.HasSplits()) return;
  const int j = builder->FindOrAddDimension(_variable);
  builder->AddCategory(j, _value);
  if (_notFirst) builder->SetDimensionSortMode(OmDimensionNode::kSortAscending);
}

void OmProcedureFactory::SetOutlineText(const OmCellText& text) {
  if (auto* procedure = dynamic_cast<OmProcedure*>(_tree->Part(1))) procedure->setOutlineText(text);
}

void OmProcedureFactory::Chart(int number, int operation, const char* data, std::size_t length,
                               std::int32_t value) {
  if (operation == 0) {
    if (number < 0 || number >= kMaxPartNumber)
      throw ProtocolError(307, "chart",
                          "chart number " + std::to_string(number) + " is outside 0 to " +
                              std::to_string(kMaxPartNumber - 1));
    const auto n = static_cast<std::size_t>(number);
    auto chart =
        std::make_unique<OmChart>(OmStringCell(std::string(data, length), nullptr, false), _codePage);
    OmChart& part = *chart;
    Select(part);
    AppendPart(std::move(chart));
    if (n >= _charts.size()) _charts.resize(n + 1, nullptr);
    _charts[n] = &part;
    return;
  }
  OmChart* chart = number >= 0 && static_cast<std::size_t>(number) < _charts.size()
                       ? _charts[static_cast<std::size_t>(number)]
                       : nullptr;
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
    if (number < 0 || number >= kMaxPartNumber)
      throw ProtocolError(312, "tree",
                          "answer tree number " + std::to_string(number) + " is outside 0 to " +
                              std::to_string(kMaxPartNumber - 1));
    const auto n = static_cast<std::size_t>(number);
    const std::string title = VEXAMBU8ToGeneric(std::string_view(data, length), _codePage);
    auto tree = std::make_unique<OmAnswerTree>(OmStringCell(title, nullptr, true), _codePage);
    OmAnswerTree& part = *tree;
    Select(part);
    AppendPart(std::move(tree));
    if (n >= _answerTrees.size()) _answerTrees.resize(n + 1, nullptr);
    _answerTrees[n] = &part;
    return;
  }
  OmAnswerTree* tree = number >= 0 && static_cast<std::size_t>(number) < _answerTrees.size()
                           ? _answerTrees[static_cast<std::size_t>(number)]
                           : nullptr;
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
    throw ProtocolError(311, "fragment", e.what());
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
    throw ProtocolError(311, "part", e.what());
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

void OmProcedureFactory::PruneEmpty(std::size_t node) {
  if (_tree->Empty()) return;
  for (std::size_t c = _tree->FirstChild(node); c != ProcedureTree::npos;) {
    const std::size_t before = _tree->Count();
    const std::size_t end = _tree->SubtreeEnd(c);
    PruneEmpty(c);
    // The next sibling starts where c's subtree ended, less what the pruning removed.
    const std::size_t next = end - (before - _tree->Count());
    c = (next < _tree->Count() && _tree->Level(next) == _tree->Level(node) + 1) ? next : ProcedureTree::npos;
  }
  OmOutputPart* part = _tree->Part(node);
  const bool heading = dynamic_cast<OmHeading*>(part) != nullptr;
  const bool keep = heading ? _tree->HasChildren(node) : part->IsVisible();
  if (!keep) _tree->Prune(node);
}

void OmProcedureFactory::Finish(const std::string& bootstrapSpecification, bool recovered) {
  if (_finished) return;
  _finished = true;
  for (std::size_t n = 1; n < _tree->Count(); ++n)
    _tree->Part(n)->ReleaseHint();
  // Nothing but notes, "Active Dataset" blocks and empty warnings after the procedure's first child
  // means the procedure produced no output.
  bool output = recovered;
  for (std::size_t n = 3; n < _tree->Count() && !output; ++n)
    output = !IsIgnorable(n);
  if (!output) {
    _tree->Prune(1);
    return;
  }
  PruneEmpty(1);
  if (_tree->Empty()) return;
  if (_tree->HasChildren(1)) PostProcess(bootstrapSpecification);
  if (_tree->Count() > 1) PruneEmpty(1);
  if (_tree->Empty()) return;
  auto* procedure = dynamic_cast<OmProcedure*>(_tree->Part(1));
  if (procedure == nullptr) throw std::logic_error("the first part of a procedure is not the procedure");
  if (!procedure->Name().empty()) procedure->SetTitle(Text(procedure->Name(), false));
}

void OmProcedureFactory::PostProcess(const std::string& bootstrapSpecification) {
  OmFactorySorter sorter;
  for (std::size_t n = 1; n < _tree->Count(); ++n) {
    OmOutputPart& part = *_tree->Part(n);
    // Tables of a bootstrapped procedure meet output selection only now, after pooling, so that
    // instances count the pooled tables.
    if (!bootstrapSpecification.empty() && _selector && dynamic_cast<OmPivotTable*>(&part)) {
      part.Accept(*_selector);
      if (!part.IsVisible()) {
        _selector->Forget(&part);
        _tree->Erase(n--);
        continue;
      }
    }
    if (_translator) {
      part.Title().Accept(_translator->CellTextTranslator());
      part.Accept(*_translator);
    }
    part.Accept(sorter);
  }
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
