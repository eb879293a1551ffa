#pragma once
// Writing multiply imputed tables as a back end sends them: a table whose dimensions are named, one of
// them the imputation dimension (the variable "Imputation_", categories labelled by the imputation
// number, 0 for the original data; a dimension named "var:v" is labelled by the variable v), and cells
// addressed by one category label per dimension. A label "G#c" stands for the category c in the group G; a
// group "T@n" is labelled by a composite of the template T with the number n.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/FactoryHarness.h"
#include <omf/lookups/PoolingLookups.h>
#include <omf/platform/settings/Iocvset.h>

namespace omf {

namespace fixtures {

inline constexpr const char* kImputation = "Imputation_";

// Footnotes of a cell: texts, each with an optional marker.
struct CellNote {
  std::string text;
  std::string marker; // empty: none
};

class MiTable {
public:
  // `dimensions` in index order; the last one receives the cells. The name kImputation makes the
  // imputation dimension.
  MiTable(omf::stream::MessageWriter& w, std::uint8_t tcid, const std::string& title,
          const std::string& subtype, std::vector<std::string> dimensions)
      : _w(w), _tcid(tcid), _dims(std::move(dimensions)) {
    _w.String(1, title);
    _w.String(2, subtype);
    _w.TableBegin(_tcid, 1, 2);
    for (std::size_t d = 0; d < _dims.size(); ++d) {
      DimensionLabel(d);
      _w.Dimension(_tcid, 1);
    }
  }

  // A number at the categories (one per dimension, in dimension order).
  void Cell(const std::vector<std::string>& at, double value,
            omf::stream::WireFormat format = omf::stream::WireFormat::Fixed(8, 3),
            const std::vector<CellNote>& notes = {}) {
    const std::size_t last = _dims.size() - 1;
    std::vector<bool> grouped(_dims.size(), false);
    for (std::size_t d = 0; d < last; ++d)
      grouped[d] = Enter(d, at[d]);
    grouped[last] = EnterGroup(last, at[last]);
    DimensionLabel(last);
    _w.CellDimension(_tcid, 1);
    _w.Number(3, value, format);
    CategoryLabel(last, Leaf(at[last]), 4);
    _w.Cell(_tcid, 3, 4);
    for (const CellNote& note : notes) {
      _w.String(5, note.text);
      if (note.marker.empty()) {
        _w.Footnote(omf::stream::FootnoteTarget::Cell, 5);
      } else {
        _w.String(6, note.marker, true);
        _w.FootnoteWithMarker(omf::stream::FootnoteTarget::Cell, 5, 6);
      }
    }
    for (std::size_t d = 0; d < _dims.size(); ++d)
      if (grouped[d]) {
        DimensionLabel(d);
        _w.GroupEnd(_tcid, 1);
      }
  }

  void End() { _w.TableEnd(_tcid); }

private:
  static std::string Leaf(const std::string& label) {
    const auto hash = label.find('#');
    return hash == std::string::npos ? label : label.substr(hash + 1);
  }
  // The variable that labels dimension d: the imputation variable, or "v" for a dimension named "var:v".
  std::string Variable(std::size_t d) const {
    if (_dims[d] == kImputation) return kImputation;
    return _dims[d].rfind("var:", 0) == 0 ? _dims[d].substr(4) : "";
  }
  void DimensionLabel(std::size_t d, int slot = 1) {
    const std::string variable = Variable(d);
    if (variable.empty())
      _w.String(slot, _dims[d]);
    else
      _w.Variable(slot, variable, variable == kImputation ? "Imputation Number" : "");
  }
  void CategoryLabel(std::size_t d, const std::string& label, int slot) {
    const std::string variable = Variable(d);
    if (variable.empty())
      _w.String(slot, label);
    else
      _w.NumValue(slot, variable, std::stod(label), omf::stream::WireFormat::Fixed(8, 0), "");
  }
  bool EnterGroup(std::size_t d, const std::string& label) {
    const auto hash = label.find('#');
    if (hash == std::string::npos) return false;
    // "template@n": a composite of the template with the number n as its argument.
    const std::string group = label.substr(0, hash);
    const auto at = group.find('@');
    if (at == std::string::npos) {
      _w.String(2, group);
    } else {
      _w.String(7, group.substr(0, at), true);
      _w.Composite(2, 7);
      _w.Number(8, std::stod(group.substr(at + 1)), omf::stream::WireFormat::Fixed(8, 0));
      _w.CompositeAdd(8);
    }
    DimensionLabel(d);
    _w.Group(_tcid, 2, 1);
    return true;
  }
  bool Enter(std::size_t d, const std::string& label) {
    const bool grouped = EnterGroup(d, label);
    CategoryLabel(d, Leaf(label), 2);
    DimensionLabel(d);
    _w.Category(_tcid, 2, 1);
    return grouped;
  }

  omf::stream::MessageWriter& _w;
  std::uint8_t _tcid;
  std::vector<std::string> _dims;
};

// Sets the four display flags for the procedures that follow (true: shown).
inline void SetMiFlags(omf::stream::MessageWriter& w, bool original, bool imputations, bool pooled,
                       bool diagnostics) {
  w.Setting("MIORIGINAL", original);
  w.Setting("MIIMPUTATIONS", imputations);
  w.Setting("MIPOOLED", pooled);
  w.Setting("MIDIAGNOSTICS", diagnostics);
}

// Every test starts and ends with the flags unset (all shown).
struct MiFlagsReset {
  MiFlagsReset() { omf::platform::ClearSettings(); }
  ~MiFlagsReset() { omf::platform::ClearSettings(); }
};

// Cell access by category labels, after the finish step.
inline int Dim(const OmPivotTable& t, const std::string& name) {
  const std::string variable = name.rfind("var:", 0) == 0 ? name.substr(4) : name;
  for (int d = 0; d < t.NDimensions(); ++d) {
    const OmCellText& label = t.Dimension(d).Label();
    if (label.OrderCode() == OmCellText::kOrderVariable) {
      if (static_cast<const OmVariable&>(label).Name() == variable) return d;
    } else if (label.AsString() == name) {
      return d;
    }
  }
  return -1;
}

// The subscript of the category with this path ("G#c"), or of the imputation category with this number;
// "Pooled" is the pooled category.
inline int Cat(const OmPivotTable& t, int d, const std::string& label) {
  if (t.Dimension(d).Label().OrderCode() == OmCellText::kOrderVariable && label != "Pooled") {
    for (const OmDimensionNode* node : t.Dimension(d).Categories())
      if (node->Label().OrderCode() == OmCellText::kOrderNumDataValue &&
          static_cast<const OmNumDataValue&>(node->Label()).Value() == std::stod(label))
        return node->Subscript();
    return -1;
  }
  return FindCategoryByPath(label, t.Dimension(d));
}

// The cell at one category per named dimension (the others at subscript 0).
inline const OmCellText* CellAt(const OmPivotTable& t,
                                const std::vector<std::pair<std::string, std::string>>& at) {
  std::vector<int> subs(static_cast<std::size_t>(t.NDimensions()), 0);
  for (const auto& [dim, cat] : at) {
    const int d = Dim(t, dim);
    if (d == -1) return nullptr;
    const int c = Cat(t, d, cat);
    if (c == -1) return nullptr;
    subs[static_cast<std::size_t>(d)] = c;
  }
  return t.Cell(subs);
}

// The number at the place, or nullopt when the cell is empty or not a number.
inline std::optional<double> NumberAt(const OmPivotTable& t,
                                      const std::vector<std::pair<std::string, std::string>>& at) {
  const OmCellText* c = CellAt(t, at);
  if (!c || c->OrderCode() != OmCellText::kOrderNumber) return std::nullopt;
  return static_cast<const OmNumber*>(c)->Value();
}

// The texts of the footnotes a cell carries.
inline std::vector<std::string> NotesOf(const OmPivotTable& t, const OmCellText* c) {
  std::vector<std::string> out;
  if (!c) return out;
  for (int i : c->Footnotes())
    out.push_back(t.Footnotes()[static_cast<std::size_t>(i)].text->AsString());
  return out;
}

// The labels of a dimension's categories as shown, in display order.
inline std::vector<std::string> Labels(const OmPivotTable& t, const std::string& dim) {
  std::vector<std::string> out;
  const int d = Dim(t, dim);
  if (d == -1) return out;
  for (const OmDimensionNode* node : t.Dimension(d).Categories())
    out.push_back(node->Label().AsString());
  return out;
}

} // namespace fixtures

} // namespace omf
