#include <omf/render/RenderWalk.h>

#include <omf/model/OutputTree.h>
#include <omf/model/PivotTable.h>
#include <omf/render/CellDisplay.h>

namespace omf {

namespace render {

namespace {

// Hands one part to the emitter as its kind.
class Dispatch final : public OmOutputPart::Visitor {
public:
  Dispatch(Emitter& emitter, int level, std::string_view codePage)
      : _emitter(emitter), _level(level), _codePage(codePage) {}

  void Visit(OmProcedure& p) override { Emit(p, PartKind::kProcedure, &Emitter::Procedure); }
  void Visit(OmHeading& p) override { Emit(p, PartKind::kHeading, &Emitter::Heading); }
  void Visit(OmTextBlock& p) override { Emit(p, PartKind::kText, &Emitter::TextBlock); }
  void Visit(OmPageTitle& p) override { Emit(p, PartKind::kPageTitle, &Emitter::PageTitle); }
  void Visit(OmChart& p) override { Emit<OmContentPart>(p, PartKind::kChart, &Emitter::Content); }
  void Visit(OmModel& p) override { Emit<OmContentPart>(p, PartKind::kModel, &Emitter::Content); }
  void Visit(OmAnswerTree& p) override { Emit<OmContentPart>(p, PartKind::kAnswerTree, &Emitter::Content); }
  void Visit(OmPivotTable& p) override { Emit(p, PartKind::kTable, &Emitter::Table); }

private:
  template <class P>
  void Emit(const P& part, PartKind kind, void (Emitter::*method)(const P&, const Place&)) {
    const Place place{kind, _level, _codePage};
    _emitter.BeginPart(part, place);
    (_emitter.*method)(part, place);
    _emitter.EndPart(part, place);
  }

  Emitter& _emitter;
  int _level;
  std::string_view _codePage;
};

} // namespace

const char* ContentName(PartKind kind) {
  switch (kind) {
  case PartKind::kChart:
    return "Chart";
  case PartKind::kModel:
    return "Model";
  default:
    return "Answer tree";
  }
}

void RenderWalk(const OmOutputTree& tree, Emitter& emitter, Parts parts) {
  emitter.BeginDocument();
  CodePages outlinePages(tree);
  for (std::size_t node = 1; node < tree.Count(); ++node)
    if (const OmOutputPart* part = tree.Part(node))
      emitter.OutlineEntry(*part, tree.Level(node), outlinePages.Of(node));
  emitter.EndOutline();
  CodePages pages(tree);
  for (std::size_t node = 1; node < tree.Count(); ++node) {
    OmOutputPart* part = tree.Part(node);
    if (part == nullptr || (parts == Parts::kVisible && !part->IsVisible())) continue;
    Dispatch dispatch(emitter, tree.Level(node), pages.Of(node));
    part->Accept(dispatch);
  }
  emitter.EndDocument();
}

} // namespace render

} // namespace omf
