#pragma once
// The bootstrap pass of the finish step: before its visits the bootstrap pooler removes the output of
// single bootstrap and jackknife runs from the procedure's tree; each table it visits is pooled, and
// the bootstrap tables that pooling makes stand right after their source table.
#include <memory>

#include <omf/procedure/FinishPass.h>

namespace omf {

class OmBootPooler;
class SvrBootstrapSpecs;

class OmBootPoolingPass : public OmFinishPass {
public:
  explicit OmBootPoolingPass(std::unique_ptr<SvrBootstrapSpecs> specs);
  ~OmBootPoolingPass() override;

  // The procedure is the tree's first node; its first child's title names the procedure for the
  // bootstrap catalogue.
  void Begin(OmOutputTree& tree) override;
  Verdict Visit(OmOutputPart& part, Insertions& after) override;

private:
  std::unique_ptr<SvrBootstrapSpecs> _specs;
  std::unique_ptr<OmBootPooler> _pooler;
};

} // namespace omf
