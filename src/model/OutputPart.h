#pragma once
// Output parts: the nodes of an output tree. Every part has a title text, a visible flag (cleared by
// output selection; hidden parts are dropped when their procedure finishes), a second flag, a code page
// for its texts and a hint slot that a builder may use while the part is being made.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <omf/model/CellText.h>

namespace omf {

class OmModel;
class OmAnswerTree;
class OmChart;
class OmPageTitle;
class OmTextBlock;
class OmHeading;
class OmProcedure;
class OmPivotTable;

// Something a builder hangs on a part while it is made (the table builder on its table).
class OmPartHint {
public:
  virtual ~OmPartHint() = default;
};

class OmOutputPart {
public:
  // Visitors state only what they handle. A procedure is a heading, so a visitor that does not handle
  // procedures sees them as headings.
  class Visitor {
  public:
    virtual ~Visitor() = default;
    virtual void Visit(OmModel&) {}
    virtual void Visit(OmAnswerTree&) {}
    virtual void Visit(OmChart&) {}
    virtual void Visit(OmPageTitle&) {}
    virtual void Visit(OmTextBlock&) {}
    virtual void Visit(OmHeading&) {}
    virtual void Visit(OmProcedure& procedure);
    virtual void Visit(OmPivotTable&) {}
  };

  explicit OmOutputPart(const OmCellText& title, std::string codePage = "UTF-8");
  virtual ~OmOutputPart();
  OmOutputPart(const OmOutputPart&) = delete;
  OmOutputPart& operator=(const OmOutputPart&) = delete;

  virtual void Accept(Visitor& visitor) = 0;

  OmCellText& Title() { return *_title; }
  const OmCellText& Title() const { return *_title; }
  void SetTitle(const OmCellText& title) { _title = CloneText(title); }
  void SetTitle(OmCellTextPtr title) { _title = std::move(title); }

  bool IsVisible() const { return _visible; }
  void SetVisible(bool visible) { _visible = visible; }
  bool SecondFlag() const { return _second; }
  void SetSecondFlag(bool flag) { _second = flag; }

  const std::string& CodePage() const { return _codePage; }
  void SetCodePage(std::string codePage) { _codePage = std::move(codePage); }

  OmPartHint* Hint() const { return _hint.get(); }
  void SetHint(std::unique_ptr<OmPartHint> hint) { _hint = std::move(hint); }
  void ReleaseHint() { _hint.reset(); }

private:
  OmCellTextPtr _title;
  std::string _codePage;
  std::unique_ptr<OmPartHint> _hint;
  bool _visible = true;
  bool _second = false;
};

// A footnote of a table or heading: its text, an optional marker text replacing the generated mark,
// and the number of texts of the table that refer to it.
struct OmFootnote {
  OmFootnote() = default;
  OmFootnote(OmMemoryRegion* region, const OmCellText& text, const OmCellText* marker = nullptr,
             int index = 0);
  OmFootnote(const OmFootnote& other);
  OmFootnote& operator=(const OmFootnote& other);
  OmFootnote(OmFootnote&&) noexcept = default;
  OmFootnote& operator=(OmFootnote&&) noexcept = default;

  OmCellTextPtr text;
  OmCellTextPtr marker; // null: the mark is generated (a, b, c, ...)
  int index = 0;
  int references = 0;
};

class OmHeading : public OmOutputPart {
public:
  explicit OmHeading(const OmCellText& title, std::string codePage = "UTF-8")
      : OmOutputPart(title, std::move(codePage)) {}
  void Accept(Visitor& v) override { v.Visit(*this); }
  std::vector<OmFootnote>& Footnotes() { return _footnotes; }
  const std::vector<OmFootnote>& Footnotes() const { return _footnotes; }

private:
  std::vector<OmFootnote> _footnotes;
};

// The part that stands for one run of a procedure; its children are the procedure's output.
class OmProcedure final : public OmHeading {
public:
  OmProcedure(const OmCellText& title, std::string language, std::string codePage, std::string locale);
  void Accept(Visitor& v) override { v.Visit(*this); }

  // The untranslated procedure (command) name that output selection and the poolers match.
  const std::string& Command() const { return _command; }
  void SetCommand(std::string command) { _command = std::move(command); }
  // The procedure name in the output language; may be empty.
  const std::string& Name() const { return _name; }
  void SetName(std::string name) { _name = std::move(name); }
  const std::string& Language() const { return _language; }
  const std::string& Locale() const { return _locale; }

  void setOutlineText(const OmCellText& text) { _outline = CloneText(text); }
  const OmCellText* OutlineText() const { return _outline.get(); }

  // Display modes in force when the procedure finished.
  void SetDisplayModes(OmCellText::ModeType outlineVars, OmCellText::ModeType outlineValues,
                       OmCellText::ModeType tableVars, OmCellText::ModeType tableValues) {
    _modes[0] = outlineVars;
    _modes[1] = outlineValues;
    _modes[2] = tableVars;
    _modes[3] = tableValues;
  }
  OmCellText::ModeType OutlineVarMode() const { return _modes[0]; }
  OmCellText::ModeType OutlineValueMode() const { return _modes[1]; }
  OmCellText::ModeType TableVarMode() const { return _modes[2]; }
  OmCellText::ModeType TableValueMode() const { return _modes[3]; }

private:
  std::string _command;
  std::string _name;
  std::string _language;
  std::string _locale;
  OmCellTextPtr _outline;
  OmCellText::ModeType _modes[4] = {OmCellText::kModeLabels, OmCellText::kModeLabels, OmCellText::kModeLabels,
                                    OmCellText::kModeLabels};
};

class OmTextBlock final : public OmOutputPart {
public:
  OmTextBlock(const OmCellText& title, std::string codePage, bool log = false)
      : OmOutputPart(title, std::move(codePage)), _log(log) {}
  void Accept(Visitor& v) override { v.Visit(*this); }
  bool IsLog() const { return _log; }
  std::vector<std::string>& Lines() { return _lines; }
  const std::vector<std::string>& Lines() const { return _lines; }

private:
  std::vector<std::string> _lines;
  bool _log;
};

// A page title: a title line and an optional subtitle line. Its title text is the first line.
class OmPageTitle final : public OmOutputPart {
public:
  explicit OmPageTitle(std::string codePage);
  void Accept(Visitor& v) override { v.Visit(*this); }
  // Appends a line; the first line also becomes the part's title.
  void AddLine(std::string line);
  const std::vector<std::string>& Lines() const { return _lines; }

private:
  std::vector<std::string> _lines;
};

// Parts whose content is opaque to the factory (charts, models, answer trees) keep it as numbered
// content slots of bytes, as the back end sends them, each with the number that the back end sent along
// with its bytes (0 when it sends none).
class OmContentPart : public OmOutputPart {
public:
  using OmOutputPart::OmOutputPart;
  void SetContent(int slot, const void* data, std::size_t length, std::int32_t value = 0);
  const std::map<int, std::vector<unsigned char>>& Content() const { return _content; }
  // The number that came with a slot's bytes; 0 for an empty slot.
  std::int32_t ContentValue(int slot) const;

private:
  std::map<int, std::vector<unsigned char>> _content;
  std::map<int, std::int32_t> _values;
};

class OmChart final : public OmContentPart {
public:
  static constexpr int kMapInfoSlot = 10;
  OmChart(const OmCellText& title, std::string codePage) : OmContentPart(title, std::move(codePage)) {}
  void Accept(Visitor& v) override { v.Visit(*this); }
  void SetMapInfo(const void* data, std::size_t length, std::int32_t value = 0) {
    SetContent(kMapInfoSlot, data, length, value);
  }
};

class OmModel final : public OmContentPart {
public:
  explicit OmModel(const OmCellText& title) : OmContentPart(title) {}
  void Accept(Visitor& v) override { v.Visit(*this); }
};

class OmAnswerTree final : public OmContentPart {
public:
  OmAnswerTree(const OmCellText& title, std::string codePage) : OmContentPart(title, std::move(codePage)) {}
  void Accept(Visitor& v) override { v.Visit(*this); }
};

} // namespace omf
