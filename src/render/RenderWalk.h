#pragma once
// The walk that every renderer makes over an output tree: the outline (every part, hidden ones too),
// then the parts in tree order, each as the emitter of the format writes it. The walk knows the level
// of each part, its kind and the code page its texts are kept in; the emitter knows the format.
#include <cstddef>
#include <string_view>

namespace omf {

class OmContentPart;
class OmHeading;
class OmOutputPart;
class OmOutputTree;
class OmPageTitle;
class OmPivotTable;
class OmProcedure;
class OmTextBlock;

namespace render {

enum class PartKind { kProcedure, kHeading, kText, kPageTitle, kChart, kModel, kAnswerTree, kTable };

// Where the walk stands: the part's kind, its level (1 for a top-level part) and the code page of its
// texts.
struct Place {
  PartKind kind;
  int level;
  std::string_view codePage;
};

// Writes one format. Each part comes as BeginPart, the call of its kind, then EndPart; what a format
// does not write does nothing by default.
class Emitter {
public:
  virtual ~Emitter() = default;
  virtual void BeginDocument() {}
  virtual void OutlineEntry(const OmOutputPart&, int /*level*/, std::string_view /*codePage*/) {}
  virtual void EndOutline() {}
  virtual void BeginPart(const OmOutputPart&, const Place&) {}
  virtual void Procedure(const OmProcedure&, const Place&) = 0;
  virtual void Heading(const OmHeading&, const Place&) = 0;
  virtual void TextBlock(const OmTextBlock&, const Place&) = 0;
  virtual void PageTitle(const OmPageTitle&, const Place&) = 0;
  // Charts, models and answer trees; the place tells which.
  virtual void Content(const OmContentPart&, const Place&) = 0;
  virtual void Table(const OmPivotTable&, const Place&) = 0;
  virtual void EndPart(const OmOutputPart&, const Place&) {}
  virtual void EndDocument() {}
};

// The name a reader sees for a chart, a model or an answer tree: "Chart", "Model", "Answer tree".
const char* ContentName(PartKind kind);

// Which parts the walk hands to the emitter after the outline.
enum class Parts { kVisible, kAll };

void RenderWalk(const OmOutputTree& tree, Emitter& emitter, Parts parts);

} // namespace render

} // namespace omf
