#pragma once
// OmProcedureFactory: collects the output of one procedure in a tree of its own while the back end runs
// it, and post-processes it when the procedure ends (the finish step), before the front end grafts it
// into the caller's tree.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <omf/model/OutputTree.h>
#include <omf/model/PivotTable.h>

namespace omf {

class BackendSettings;
class MessageHandler;
class OmFinishPasses;
class OmPivotFactory;
class OmFactorySelector;
class OmOutputTreeTranslator;
class SvrBootstrapSpecs;

// The procedure's own output tree, with the split table that holds its split variables.
class ProcedureTree : public OmOutputTree {
public:
  ProcedureTree();
  ~ProcedureTree() override;
  OmPivotTable& SplitTable() { return *_splitTable; }

private:
  std::unique_ptr<OmPivotTable> _splitTable;
};

class OmProcedureFactory {
public:
  OmProcedureFactory(const std::string& name, const std::string& translatedName, const std::string& language,
                     const std::string& codePage, const std::string& locale, OmFactorySelector* selector,
                     OmOutputTreeTranslator* translator);
  ~OmProcedureFactory();
  OmProcedureFactory(const OmProcedureFactory&) = delete;
  OmProcedureFactory& operator=(const OmProcedureFactory&) = delete;

  void SetProcedureNumber(std::int64_t number) { _number = number; }
  std::int64_t ProcedureNumber() const { return _number; }
  // Whether the procedure was bootstrapped: its tables then meet output selection only at the finish
  // step, after the bootstrap pooling that the bootstrap specification given to Finish asks for.
  void SetBootstrapped(bool bootstrapped) { _bootstrapped = bootstrapped; }
  bool Bootstrapped() const { return _bootstrapped; }
  void SetSettings(std::shared_ptr<const BackendSettings> settings) { _settings = std::move(settings); }
  const std::shared_ptr<const BackendSettings>& Settings() const { return _settings; }

  void AddHeading(const OmCellText& text);
  void EndHeading();
  void AddTextBlock(const OmCellText& text);
  void AddText(const char* bytes, std::size_t length);
  // The block that text output goes to; null when the next line starts a new one.
  const OmTextBlock* TextBlock() const { return _textBlock; }
  // The builder of the table with this outline title under the current position: an existing one, or
  // the builder of a new table.
  OmPivotFactory* AddTable(const OmCellText& title, const OmCellText& subtype, const OmCellText& tableTitle,
                           bool splits);
  OmPivotTable* FindTable(const OmCellText& title);
  void AddHeadingFootnote(const OmFootnote& footnote);
  // Records the current value of a split variable; split tables made from now on stand under it.
  void SetSplit(const OmCellText& variable, const OmCellText& value);
  void SetOutlineText(const OmCellText& text);
  // Chart operation: chart number, sub-operation 0-10, the data and its length, and the number the
  // back end sends with the data, which the content setters keep with the content.
  void Chart(int number, int operation, const char* data, std::size_t length, std::int32_t value);
  // Answer-tree operation: tree number, sub-operation 0-6, the data and its length, and the number sent
  // with the data, kept as for charts.
  void AnswerTree(int number, int operation, const char* data, std::size_t length, std::int32_t value);
  // One fragment of a multipart model message.
  void Model(const void* payload, std::size_t length);
  // The finish step, run once. A bootstrapped procedure is pooled by the bootstrap specification given;
  // without one (a procedure not bootstrapped, or whose specification could not be read) nothing is pooled.
  // Running out of memory here leaves a tree that FinishWithNote can still close.
  void Finish(const SvrBootstrapSpecs* bootstrapSpecification);
  // Closes a procedure that ran out of memory, open or part way through its finish step: its output
  // gives way to one text block titled `title` holding `line`, and the procedure stands finished.
  void FinishWithNote(const OmCellText& title, const std::string& line);

  // The procedure's tree. Until the finish step its parts stand in the order they were made, all one
  // level below the procedure; the finish step puts them under their headings.
  ProcedureTree& Tree() { return *_tree; }

  // Sets the split value of every split table it visits.
  class TableSplitSetter : public OmOutputPart::Visitor {
  public:
    TableSplitSetter(const OmCellText& variable, const OmCellText& value, bool notFirst)
        : _variable(variable), _value(value), _notFirst(notFirst) {}
    void Visit(OmPivotTable& table) override;

  private:
    const OmCellText& _variable;
    const OmCellText& _value;
    bool _notFirst;
  };

private:
  struct Section;
  // Lets selection and the current text block forget every part the tree destroys.
  class Forgetter : public OmOutputTree::RemovalListener {
  public:
    explicit Forgetter(OmProcedureFactory& factory) : _factory(factory) {}
    void Removing(const OmOutputPart& part) noexcept override;

  private:
    OmProcedureFactory& _factory;
  };

  void Select(OmOutputPart& part);
  std::size_t AppendPart(std::unique_ptr<OmOutputPart> part);
  template <class M, class Part, class Make>
  void AddNumbered(std::vector<Part*>& parts, int number, typename M::Field field, const char* what,
                   Make make);
  void SpreadFootnote(const Section& section, const OmFootnote& footnote);
  void Arrange();
  bool IsIgnorable(std::size_t node);
  void PruneEmpty();
  void Complete();
  void PostProcess();
  std::unique_ptr<OmFinishPasses> FinishPasses();

  std::unique_ptr<ProcedureTree> _tree;
  Forgetter _forgetter{*this};
  // The procedure and its headings while the procedure is open; emptied by the finish step.
  std::vector<std::unique_ptr<Section>> _sections;
  Section* _current = nullptr; // where new parts go
  // The passes of the finish step once it has begun them, with how far each got, so that closing with a
  // note after a failure part way does not translate the procedure twice.
  std::unique_ptr<OmFinishPasses> _processed;
  OmTextBlock* _textBlock = nullptr;
  // The tables made with the split flag while the procedure is open, which every new split value
  // reaches (nothing leaves the tree before the finish step).
  std::vector<OmPivotTable*> _splitTables;
  std::vector<OmChart*> _charts;
  std::vector<OmAnswerTree*> _answerTrees;
  std::vector<OmModel*> _models;
  std::unique_ptr<MessageHandler> _modelCollector;
  std::int64_t _number = 0;
  std::uint64_t _tableCounter = 0;
  std::shared_ptr<const BackendSettings> _settings;
  bool _bootstrapped = false;
  bool _finished = false;
  // The bootstrap specification during the finish step of a bootstrapped procedure; null once pooling has
  // begun.
  std::unique_ptr<SvrBootstrapSpecs> _bootstrapSpecs;
  OmOutputTreeTranslator* _translator;
  OmFactorySelector* _selector;
  std::string _codePage;
  std::string _locale;
};

// Sorts the categories of every table whose dimensions or groups ask for it (sort mode 0 ascending,
// 1 descending); runs last in the finish step, after translation, so labels compare in the output
// language. Subscripts, and with them the cells, stay attached to their categories.
class OmFactorySorter : public OmOutputPart::Visitor {
public:
  void Visit(OmPivotTable& table) override;
};

} // namespace omf
