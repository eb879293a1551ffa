#include <omf/procedure/BootPoolingPass.h>

#include <omf/bootpool/OmBootPooler.h>
#include <omf/platform/bootspec/SvrBootstrapSpecs.h>

namespace omf {

OmBootPoolingPass::OmBootPoolingPass(std::unique_ptr<SvrBootstrapSpecs> specs) : _specs(std::move(specs)) {}

OmBootPoolingPass::~OmBootPoolingPass() = default;

void OmBootPoolingPass::Begin(OmOutputTree& tree) {
  if (!tree.HasChildren(1)) return;
  _pooler = std::make_unique<OmBootPooler>(tree.Part(2)->Title(), tree, 1, _specs.get());
}

OmFinishPass::Verdict OmBootPoolingPass::Visit(OmOutputPart& part, Insertions& after) {
  if (!_pooler) return Verdict::kKeep;
  _pooler->NewParts().clear(); // what a visit that failed part way made
  part.Accept(*_pooler);
  for (auto& made : _pooler->NewParts())
    after.push_back(std::move(made));
  _pooler->NewParts().clear();
  return Verdict::kKeep;
}

} // namespace omf
