#pragma once
// Cell texts: the value of every label, title, cell and footnote of the output. A text is one of six
// kinds (number, string, variable, numeric data value, string data value, composite), carries optional
// presentation metadata (footnote marks, markers, colours, bold) and shows itself through the
// As...String family. Texts are owned by whoever holds them (a slot, a part, a table) and are made and
// destroyed through an OmMemoryRegion.
#include <array>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <omf/platform/stringtable/Tracker.h>

namespace omf {

class OmCellText;
class OmNumber;
class OmStringCell;
class OmVariable;
class OmNumDataValue;
class OmStringDataValue;
class OmComposite;

// The value that stands for "no value": the most negative finite double. Shown as "." in every format.
inline constexpr double kSysmis = -DBL_MAX;

// Where texts live. Every text is made in a region and destroyed with OmMemoryRegion::Release; the
// region keeps count of its live texts and their bytes, so tests and benchmarks can check for leaks
// and measure footprint.
class OmMemoryRegion {
public:
  static OmMemoryRegion* DefaultHeap();
  void* Allocate(std::size_t bytes);
  void Deallocate(void* p, std::size_t bytes) noexcept;
  // Destroys a text made in any region (null is ignored).
  static void Release(const OmCellText* text) noexcept;
  std::size_t LiveObjects() const { return _live; }
  std::size_t LiveBytes() const { return _bytes; }

private:
  std::size_t _live = 0;
  std::size_t _bytes = 0;
};

// Base of everything made in a region: allocation goes through the region given to `new (region)`.
class OmRegionManaged {
public:
  virtual ~OmRegionManaged() = default;
  static void* operator new(std::size_t bytes, OmMemoryRegion* region);
  static void* operator new(std::size_t bytes); // default heap
  static void operator delete(void* p, std::size_t bytes) noexcept;
  static void operator delete(void* p, OmMemoryRegion* region) noexcept; // for a throwing constructor
};

// A text or table that would grow past one of the limits of the model (the size or nesting of a
// composite, the footnotes of a table); it stays as it was.
class OmLimitError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Footnote marks, markers, colours and bold of one text.
struct OmCellMetaData {
  std::vector<int> footnotes; // indexes into the owning table's footnote list, in the order added
  // The same indexes once a text carries many (a title may carry thousands), so that adding one more
  // does not scan them all; empty while there are few.
  std::unordered_set<int> footnoteSet;
  std::vector<std::string> markers;
  std::string textColor;
  std::string backgroundColor;
  bool bold = false;
};

class OmCellText : public OmRegionManaged {
public:
  // Display mode of variables and data values.
  enum ModeType : std::int32_t { kModeNotSet = 0, kModeNames = 1, kModeLabels = 2, kModeBoth = 3 };

  // Visitors state only what they handle; every overload does nothing by default.
  class Visitor {
  public:
    virtual ~Visitor() = default;
    virtual void Visit(OmComposite&) {}
    virtual void Visit(OmStringDataValue&) {}
    virtual void Visit(OmNumDataValue&) {}
    virtual void Visit(OmVariable&) {}
    virtual void Visit(OmStringCell&) {}
    virtual void Visit(OmNumber&) {}
  };

  // Kind codes returned by OrderCode().
  enum : short {
    kOrderNumber = 0,
    kOrderNumDataValue = 1,
    kOrderStringDataValue = 2,
    kOrderVariable = 3,
    kOrderString = 4,
    kOrderComposite = 5
  };

  OmCellText() = default;
  OmCellText(const OmCellText& other); // copies the metadata and the tracker
  OmCellText& operator=(const OmCellText&) = delete;
  ~OmCellText() override = default;

  virtual void Accept(Visitor& visitor) = 0;
  virtual short OrderCode() const = 0;
  // The text as shown: formatted number, display mode applied, translated string, filled composite
  // (a composite reads as its raw template until Substitute has filled it).
  virtual std::string AsString() const = 0;
  // AsString() converted from the given code page into UTF-8.
  virtual std::string AsU8String(std::string_view codePage = "UTF-8") const;
  // The text before translation.
  virtual std::string AsEngString() const;
  // AsString(), numbers right-aligned in their format's width.
  virtual std::string AsFormattedString() const;
  // Length query: the text length (bytes) of a string cell, 0 for every other kind.
  virtual std::size_t Length() const { return 0; }
  // Total order within a kind (numbers and data values by value, texts by bytes); texts of different
  // kinds order by OrderCode(). Returns <0, 0 or >0.
  virtual short Compare(const OmCellText& other) const = 0;
  // A deep copy (metadata included) in the given region; null means the default heap.
  virtual OmCellText* Clone(OmMemoryRegion* region = nullptr) const = 0;
  // True for numbers, and for numeric data values holding a value.
  virtual bool IsNumeric() const { return false; }

  // Two texts are equal when their length queries agree and Compare returns 0.
  bool Equals(const OmCellText& other) const { return Length() == other.Length() && Compare(other) == 0; }

  // Footnote marks (indexes into the owning table's footnote list). Adding a mark twice keeps one.
  void Footnote(int index);
  void RemoveFootnote(int index);
  const std::vector<int>& Footnotes() const;
  void addMarker(const std::string& marker);
  const std::vector<std::string>& Markers() const;
  void setTextBold(bool bold);
  bool IsBold() const;
  void setTextColor(const std::string& colour);
  void setBackgroundColor(const std::string& colour);
  const std::string& TextColor() const;
  const std::string& BackgroundColor() const;
  bool HasMetaData() const { return _meta != nullptr; }

  icuTracker* getICUTracker() const { return _tracker; }
  void setICUTracker(icuTracker* tracker) { _tracker = tracker; }

private:
  OmCellMetaData& Meta();
  std::unique_ptr<OmCellMetaData> _meta;
  icuTracker* _tracker = nullptr;
};

// Deleter for owning pointers to texts.
struct OmCellTextDeleter {
  void operator()(const OmCellText* text) const noexcept { OmMemoryRegion::Release(text); }
};
using OmCellTextPtr = std::unique_ptr<OmCellText, OmCellTextDeleter>;
inline OmCellTextPtr CloneText(const OmCellText& text, OmMemoryRegion* region = nullptr) {
  return OmCellTextPtr(text.Clone(region));
}

// Format word of a number: bits 0-15 width, bits 16-23 format type, bits 24-31 decimals.
// Types: 1 string, 3 thousands separators (1,234.50), 4 dollar sign and separators ($1,234.50),
// 5 fixed decimals, 16 zero-padded integer (width digits), 17 scientific (1.23E+03), 31 percent
// (12.50%), 32 comma as decimal point and period as separator (1.234,50); any other type shows as 5.
constexpr std::uint32_t MakeFormat(unsigned width, unsigned type, unsigned decimals) {
  return (width & 0xFFFFu) | ((type & 0xFFu) << 16) | ((decimals & 0xFFu) << 24);
}
constexpr unsigned FormatWidth(std::uint32_t f) {
  return f & 0xFFFFu;
}
constexpr unsigned FormatType(std::uint32_t f) {
  return (f >> 16) & 0xFFu;
}
constexpr unsigned FormatDecimals(std::uint32_t f) {
  return (f >> 24) & 0xFFu;
}
// The number as its format word shows it (no padding to the width except for type 16).
std::string FormatNumber(double value, std::uint32_t format);
// Room for the text of a number in any format but a zero-padded one wider than this: at most 309 digits
// before the point, their separators, and 255 decimals.
using NumberText = std::array<char, 1024>;
// The same text without allocating, for renderers that show millions of numbers: its length, or npos
// when it does not fit (FormatNumber then gives it).
std::size_t FormatNumberInto(double value, std::uint32_t format, NumberText& text);
// The name of the format a type shows a number in: A 1, COMMA 3, DOLLAR 4, F 5, N 16, E 17, PCT 31,
// DOT 32. A type without a format of its own shows as F and is named so.
std::string_view FormatTypeName(unsigned type);

// Display modes by the words of the command line: "names" (of variables) or "values" (of data values),
// "labels" and "both"; "unset" for a mode left for a fixer to fill. Any other number shows as labels and
// is named so.
std::string_view VariableModeName(OmCellText::ModeType mode);
std::string_view ValueModeName(OmCellText::ModeType mode);

class OmNumber final : public OmCellText {
public:
  OmNumber(double value, std::uint32_t format);
  void Accept(Visitor& v) override { v.Visit(*this); }
  short OrderCode() const override { return kOrderNumber; }
  std::string AsString() const override;
  std::string AsFormattedString() const override;
  short Compare(const OmCellText& other) const override;
  OmCellText* Clone(OmMemoryRegion* region = nullptr) const override;
  bool IsNumeric() const override { return true; }

  double Value() const { return _value; }
  void SetValue(double value) { _value = value; }
  std::uint32_t Format() const { return _format; }
  void SetFormat(std::uint32_t format) { _format = format; }

private:
  double _value;
  std::uint32_t _format;
};

class OmStringCell final : public OmCellText {
public:
  OmStringCell(std::string text, OmMemoryRegion* region = nullptr, bool translatable = false);
  void Accept(Visitor& v) override { v.Visit(*this); }
  short OrderCode() const override { return kOrderString; }
  std::string AsString() const override { return _text; }
  std::string AsEngString() const override { return _original; }
  std::size_t Length() const override { return _text.size(); }
  short Compare(const OmCellText& other) const override;
  OmCellText* Clone(OmMemoryRegion* region = nullptr) const override;

  bool IsTranslatable() const { return _translatable; }
  // The displayed text; the text given at construction stays the untranslated one.
  void SetText(std::string text) { _text = std::move(text); }
  // Makes the text a new one, as constructed from `text`, reusing its storage (no metadata, no tracker).
  void Reset(std::string_view text, bool translatable);
  const std::string& Text() const { return _text; }
  // The second text (a subtitle shown after the text, e.g. by charts and models).
  void SetSecondText(std::string text) { _second = std::move(text); }
  const std::string& SecondText() const { return _second; }
  // A further text that the string tables supply with a translation (e.g. its source or comment).
  void SetFurtherText(std::string text) { _further = std::move(text); }
  const std::string& FurtherText() const { return _further; }

private:
  std::string _text;
  std::string _original;
  std::string _second;
  std::string _further;
  bool _translatable;
};

// A variable, shown by name, label or both ("label [name]") according to its display mode (not set
// shows as labels; an empty label falls back to the name).
class OmVariable final : public OmCellText {
public:
  OmVariable(std::string name, std::string label, ModeType mode, OmMemoryRegion* region = nullptr);
  void Accept(Visitor& v) override { v.Visit(*this); }
  short OrderCode() const override { return kOrderVariable; }
  std::string AsString() const override;
  short Compare(const OmCellText& other) const override;
  OmCellText* Clone(OmMemoryRegion* region = nullptr) const override;

  const std::string& Name() const { return _name; }
  const std::string& Label() const { return _label; }
  ModeType Mode() const { return _mode; }
  void SetMode(ModeType mode) { _mode = mode; }

private:
  std::string _name;
  std::string _label;
  ModeType _mode;
};

// A value of a variable, shown by value, value label or both ("value label") according to its display
// mode (not set shows as labels; an empty label falls back to the value). The kinds differ in the value
// they hold.
class OmDataValue : public OmCellText {
public:
  const std::string& VariableName() const { return _variable; }
  std::uint32_t Format() const { return _format; }
  const std::string& ValueLabel() const { return _label; }
  ModeType Mode() const { return _mode; }
  void SetMode(ModeType mode) { _mode = mode; }

protected:
  OmDataValue(std::string variable, std::uint32_t format, std::string valueLabel, ModeType mode)
      : _variable(std::move(variable)), _label(std::move(valueLabel)), _format(format), _mode(mode) {}
  OmDataValue(const OmDataValue&) = default;
  // The value as the display mode shows it, given the value as text.
  std::string Show(std::string value) const;

private:
  std::string _variable;
  std::string _label;
  std::uint32_t _format;
  ModeType _mode;
};

// A numeric value, shown formatted.
class OmNumDataValue final : public OmDataValue {
public:
  OmNumDataValue(std::string variable, double value, std::uint32_t format, std::string valueLabel,
                 ModeType mode, OmMemoryRegion* region = nullptr);
  void Accept(Visitor& v) override { v.Visit(*this); }
  short OrderCode() const override { return kOrderNumDataValue; }
  std::string AsString() const override;
  short Compare(const OmCellText& other) const override;
  OmCellText* Clone(OmMemoryRegion* region = nullptr) const override;
  bool IsNumeric() const override { return _value != kSysmis; }

  double Value() const { return _value; }

private:
  double _value;
};

// A string value; trailing blanks are removed at construction (one character is kept).
class OmStringDataValue final : public OmDataValue {
public:
  OmStringDataValue(std::string variable, std::string value, std::uint32_t format, std::string valueLabel,
                    ModeType mode, OmMemoryRegion* region = nullptr);
  void Accept(Visitor& v) override { v.Visit(*this); }
  short OrderCode() const override { return kOrderStringDataValue; }
  std::string AsString() const override;
  short Compare(const OmCellText& other) const override;
  OmCellText* Clone(OmMemoryRegion* region = nullptr) const override;

  const std::string& Value() const { return _value; }

private:
  std::string _value;
};

// A text built from a template and arguments.
//
// Template syntax:
//   ^n          the n-th argument (n from 1); at top level, arguments are the top-level argument nodes
//               (a repeat list counts as one node)
//   \c          the character c itself (so "\%" is "%", "\:" is ":", "\^" is "^", "\\" is "\")
//   [dBODYd]n   repeats BODY once for each group of the n-th argument, which must be a repeat list;
//               d is any delimiter character (":" in practice). Inside BODY, ^k is the k-th item of the
//               current group; a group holds as many items as the largest k used in BODY. Text after
//               the last placeholder of BODY separates repetitions and is not written after the last.
// Example: "[:^1=^2,:]1\:Listwise N=^2" with a repeat list (sex, 1, age, 3) and the number 45 reads
// "sex=1,age=3:Listwise N=45". Placeholders without an argument are left out.
//
// A composite may hold composites, and copies of a composite can be added to it again, so that a short
// stream could double its size with every addition. Three limits keep it in proportion; an addition
// that would break one is refused with OmLimitError and changes nothing.
class OmComposite final : public OmCellText {
public:
  // Texts and repeat lists held, nested composites' own included: about 200 bytes each.
  static constexpr std::size_t kMaxTexts = 100'000;
  // Composites inside composites: every copy, comparison, fill and visit walks them by recursion.
  static constexpr std::size_t kMaxNesting = 100;
  // The filled text, together with those of the composites inside it (translation fills and keeps them
  // all, whether the template names them or not). An addition is refused when the longest texts the
  // templates could fill to pass this; a fill never writes more (a translated template can be longer
  // than the one measured, and its fill is then cut here, at a character boundary).
  static constexpr std::size_t kMaxFilledLength = std::size_t{1} << 20;

  // One argument: a text, or a repeat list (no text, children instead).
  struct Node {
    OmCellTextPtr text;
    std::vector<Node> children;
  };

  explicit OmComposite(const OmCellText& templateCell, OmMemoryRegion* region = nullptr);
  OmComposite(const OmComposite& other);
  void Accept(Visitor& v) override { v.Visit(*this); }
  short OrderCode() const override { return kOrderComposite; }
  // The filled text once Substitute has run, else the raw template text.
  std::string AsString() const override;
  // Filled from the untranslated template and arguments.
  std::string AsEngString() const override;
  short Compare(const OmCellText& other) const override;
  OmCellText* Clone(OmMemoryRegion* region = nullptr) const override;

  // Appends a copy of the text as the next argument (inside the open repeat list, if any).
  void Add(const OmCellText& child);
  void BeginRepeatList();
  void EndRepeatList();
  // Closes any open repeat list.
  void End();
  // Fills the template from the arguments and keeps the result as the displayed text. The parse tree
  // argument is accepted for compatibility and ignored (may be null); the flag is unused as well.
  void Substitute(const void* parseTree = nullptr, bool flag = false);
  // The filled text, computed now, without changing the composite.
  std::string Filled() const;
  bool IsSubstituted() const { return _substituted; }

  OmCellText& Template() { return *_template; }
  const OmCellText& Template() const { return *_template; }
  std::vector<Node>& Arguments() { return _args; }
  const std::vector<Node>& Arguments() const { return _args; }
  // The argument texts in depth-first order (repeat lists contribute their items).
  std::vector<const OmCellText*> Leaves() const;

  // The measures that the limits apply to.
  std::size_t TextCount() const { return _size.texts; }
  std::size_t Nesting() const { return _size.nesting; }
  // The longest text that the template measured at construction can fill to with these arguments.
  std::uint64_t FilledLengthBound() const;
  // The same, plus the bounds of the composites inside it.
  std::uint64_t FilledTotalBound() const;

private:
  OmComposite(const OmComposite& other, OmMemoryRegion* region);

  // What the arguments contribute to the measures.
  struct Size {
    std::size_t texts = 1;        // the template (with its own texts, if a composite), arguments, lists
    std::size_t nesting = 1;      // 1, or one more than the deepest composite held
    std::size_t listItems = 0;    // argument nodes inside repeat lists
    std::uint64_t topLongest = 0; // the longest shown top-level argument
    std::uint64_t listTotal = 0;  // the shown lengths of the texts inside repeat lists, summed
    std::uint64_t inner = 0;      // the total bounds of the composites held, summed
  };
  // What the template contributes: how often its characters and placeholders can be written.
  struct Shape {
    std::uint64_t outside = 0;          // characters outside repeat bodies: written once
    std::uint64_t inBodies = 0;         // characters inside: at most once per list item
    std::uint64_t topPlaceholders = 0;  // each writes one top-level argument
    std::uint64_t listPlaceholders = 0; // each writes every list item at most once
  };
  static std::uint64_t Bound(const Shape& shape, const Size& size);
  // Refuses a composite of this size.
  void Check(const Size& size) const;
  // The level that Add and BeginRepeatList append to: the innermost open repeat list, or the top.
  std::vector<Node>& OpenLevel();
  std::string Fill(bool untranslated) const;

  OmCellTextPtr _template;
  std::vector<Node> _args;
  std::vector<std::size_t> _openLists; // path of open repeat lists
  std::string _filled;
  bool _substituted = false;
  OmMemoryRegion* _region = nullptr; // where the copies of the template and arguments are made
  Shape _shape;
  Size _size;
};

} // namespace omf
