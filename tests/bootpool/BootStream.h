#pragma once
// Writes bootstrapped procedures and tables as a back end sends them: a table carries one slice per run
// in its dimension of the variable "$bootstrap_split" (0 the observed sample, 1 to N the bootstrap
// samples, then the jackknife samples), and output sent once per run carries the run in its title.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/FactoryHarness.h"

namespace omf {

namespace fixtures {

inline constexpr const char* kSplitVariable = "$bootstrap_split";

// A table built through the message writer. Dimensions named by strings; the split dimension by the
// variable.
struct BootTable {
  enum Slot : int { kLabel = 11, kDim = 12, kCell = 13, kCategory = 14, kNote = 15 };

  BootTable(omf::stream::MessageWriter& writer, std::uint8_t id, const std::string& title,
            const std::string& subtype)
      : w(writer), tcid(id) {
    w.String(kLabel, title);
    w.String(kDim, subtype);
    w.TableBegin(tcid, kLabel, kDim);
  }
  void Dimension(const std::string& name) {
    w.String(kDim, name);
    w.Dimension(tcid, kDim);
  }
  void SplitDimension() {
    w.Variable(kDim, kSplitVariable, "");
    w.Dimension(tcid, kDim);
  }
  void Place(const std::string& name, int position, omf::stream::Axis axis) {
    w.String(kDim, name);
    w.Place(tcid, kDim, position, axis);
  }
  void PlaceSplit(int position, omf::stream::Axis axis) {
    w.Variable(kDim, kSplitVariable, "");
    w.Place(tcid, kDim, position, axis);
  }
  // Makes the sample's split category current (adding it the first time).
  void Sample(int s) {
    w.NumValue(kLabel, kSplitVariable, s, omf::stream::WireFormat::Fixed(5, 0), "");
    w.Variable(kDim, kSplitVariable, "");
    w.Category(tcid, kLabel, kDim);
  }
  void Select(const std::string& dim, const std::string& category) {
    w.String(kLabel, category);
    w.String(kDim, dim);
    w.Category(tcid, kLabel, kDim);
  }
  void Group(const std::string& dim, const std::string& label) {
    w.String(kLabel, label);
    w.String(kDim, dim);
    w.Group(tcid, kLabel, kDim);
  }
  void EndGroup(const std::string& dim) {
    w.String(kDim, dim);
    w.GroupEnd(tcid, kDim);
  }
  // A number under the category of the cell dimension, the other dimensions at their current
  // categories.
  void Number(const std::string& cellDim, const std::string& category, double value,
              omf::stream::WireFormat format = omf::stream::WireFormat::Fixed(8, 3)) {
    w.String(kDim, cellDim);
    w.CellDimension(tcid, kDim);
    w.Number(kCell, value, format);
    w.String(kCategory, category);
    w.Cell(tcid, kCell, kCategory);
  }
  void Note(omf::stream::FootnoteTarget target, const std::string& text) {
    w.String(kNote, text);
    w.Footnote(target, kNote);
  }
  void End() { w.TableEnd(tcid); }

  omf::stream::MessageWriter& w;
  std::uint8_t tcid;
};

// The bootstrap specification text of N samples, a level and jackknife cases of weight 1 in group 0.
inline std::string Spec(unsigned samples, unsigned jackknife = 0, double level = 95, int method = 0) {
  std::string s = "level=" + std::to_string(level) + "\nsamples=" + std::to_string(samples) +
                  "\nmethod=" + std::to_string(method) + "\n";
  if (jackknife != 0) {
    s += "jackknife=1:0";
    for (unsigned j = 1; j < jackknife; ++j)
      s += " 1:0";
    s += "\n";
  }
  return s;
}

// Opens a bootstrapped procedure with its title block.
inline void BeginBootstrapped(Harness& h, const std::string& procedure, std::int64_t number = 1) {
  h.Open(procedure, number, true);
}

// The labels of a dimension's tree in pre-order; groups as "label{", their end as "}".
inline std::vector<std::string> Tree(const OmDimension& d) {
  std::vector<std::string> out;
  const std::function<void(const OmDimensionNode&)> walk = [&](const OmDimensionNode& n) {
    for (std::size_t i = 0; i < n.ChildCount(); ++i) {
      const OmDimensionNode& c = n.Child(i);
      if (c.IsGroup()) {
        out.push_back(c.Label().AsString() + "{");
        walk(c);
        out.push_back("}");
      } else {
        out.push_back(c.Label().AsString());
      }
    }
  };
  walk(d.Root());
  return out;
}

// The value of the number at the subscripts, or NaN when there is none.
inline double NumberAt(const OmPivotTable& t, const std::vector<int>& at) {
  const OmCellText* c = t.Cell(at);
  return c && c->OrderCode() == OmCellText::kOrderNumber ? static_cast<const OmNumber*>(c)->Value()
                                                         : std::numeric_limits<double>::quiet_NaN();
}

// The texts of the footnotes on the cell at the subscripts.
inline std::vector<std::string> NotesAt(const OmPivotTable& t, const std::vector<int>& at) {
  std::vector<std::string> out;
  const OmCellText* c = t.Cell(at);
  if (c == nullptr || !c->HasMetaData()) return out;
  for (int f : c->Footnotes())
    out.push_back(t.Footnotes()[static_cast<std::size_t>(f)].text->AsString());
  return out;
}

// The subscript of the category whose label reads as `label` (depth first), or -1.
inline int Category(const OmDimension& d, const std::string& label) {
  for (const OmDimensionNode* c : d.Categories())
    if (c->Label().AsString() == label) return c->Subscript();
  return -1;
}

} // namespace fixtures

} // namespace omf
