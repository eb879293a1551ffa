#pragma once
// OmBootPooler turns the output of a bootstrapped procedure into the output of one run with bootstrap
// results. At construction it removes the output of the bootstrap and jackknife samples from the
// procedure's tree (parts whose title carries a split value of 1 or more, tables without a cell of the
// observed sample) and lets a part that was only a holder of per-sample parts give way to the observed
// sample's part. Each table it visits is pooled by every catalogue row of the procedure that applies to
// it, and then keeps only the observed sample of its split dimension.
#include <memory>
#include <vector>

#include <omf/bootpool/OmBootPattern.h>
#include <omf/model/OutputTree.h>

namespace omf {

class SvrBootstrapSpecs;

class OmBootPooler : public OmOutputPart::Visitor {
public:
  // `procedureTitle` is the title of the procedure's first part, which selects the catalogue rows;
  // `procedureNode` is the procedure's node in `tree`. Without a specification the pooler does nothing.
  OmBootPooler(const OmCellText& procedureTitle, OmOutputTree& tree, std::size_t procedureNode,
               const SvrBootstrapSpecs* specs);
  ~OmBootPooler() override;
  OmBootPooler(const OmBootPooler&) = delete;
  OmBootPooler& operator=(const OmBootPooler&) = delete;

  void Visit(OmPivotTable& table) override;

  // The tables that the last visit made, to stand right after the visited table in this order; the
  // caller takes them.
  OmBootPattern::NewParts& NewParts();

private:
  struct Impl;
  std::unique_ptr<Impl> _my;
};

// Reduces a table's bootstrap split dimension to the observed sample and removes the footnotes that
// belong to other samples. Nothing happens to a table without a split dimension.
void RemoveBootstrapSamples(OmPivotTable& table);

} // namespace omf
