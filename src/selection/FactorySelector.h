#pragma once
// OmFactorySelector applies the caller's output selection requests to every output part when it is
// made: a part that no request selects is hidden (and dropped when its procedure finishes). Instances
// are counted per request and per procedure, in the order parts are made; a request with LAST keeps
// only the latest matching part (and any whose number it lists).
#include <string>
#include <vector>

#include <omf/model/OutputPart.h>
#include <omf/model/PivotTable.h>

namespace omf {

class OMSObjectSelector;

class OmFactorySelector : public OmOutputPart::Visitor {
public:
  // The requests must outlive the selector. The translator, when given, turns titles into the output
  // language before they are matched.
  explicit OmFactorySelector(const std::vector<OMSObjectSelector>& requests,
                             OmCellText::Visitor* cellTranslator = nullptr);

  // Starts instance counting afresh (at each procedure, and before each log line or page title outside
  // procedures).
  void ResetCounters();
  // Forgets a part that is about to be destroyed, so that a later LAST match cannot reach it. The tree
  // of an open procedure calls it for every part it removes.
  void Forget(const OmOutputPart* part);
  // Shows selection a part that leaves the factory's keeping at once (the probe of a log line, a page
  // title placed in the caller's tree): it is counted like any part, but no later LAST match can reach
  // it. Returns whether it stays visible.
  bool Probe(OmOutputPart& part);
  void ClearCommand() { _command.clear(); }
  const std::string& Command() const { return _command; }
  void SetCellTranslator(OmCellText::Visitor* translator) { _translator = translator; }

  void Visit(OmModel& part) override;
  void Visit(OmAnswerTree& part) override;
  void Visit(OmChart& part) override;
  void Visit(OmPageTitle& part) override;
  void Visit(OmTextBlock& part) override;
  void Visit(OmHeading& part) override;
  void Visit(OmProcedure& part) override;
  void Visit(OmPivotTable& part) override;

private:
  struct Counter {
    int count = 0;
    OmOutputPart* last = nullptr;
  };
  void Match(short type, const std::string& subtype, const std::string& command, OmOutputPart& part);
  std::string Label(const OmOutputPart& part) const;

  const std::vector<OMSObjectSelector>* _requests;
  std::vector<Counter> _counters;
  std::string _command;
  OmCellText::Visitor* _translator;
};

} // namespace omf
