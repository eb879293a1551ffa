#include <omf/selection/FactorySelector.h>

#include <omf/platform/strings/PlatformStrings.h>
#include <omf/selection/OMSObjectSelector.h>

namespace omf {

OmFactorySelector::OmFactorySelector(const std::vector<OMSObjectSelector>& requests,
                                     OmCellText::Visitor* cellTranslator)
    : _requests(&requests), _counters(requests.size()), _translator(cellTranslator) {}

void OmFactorySelector::ResetCounters() {
  _counters.assign(_requests->size(), Counter{});
}

void OmFactorySelector::Forget(const OmOutputPart* part) {
  for (Counter& c : _counters)
    if (c.last == part) c.last = nullptr;
}

bool OmFactorySelector::Probe(OmOutputPart& part) {
  part.Accept(*this);
  Forget(&part);
  return part.IsVisible();
}

std::string OmFactorySelector::Label(const OmOutputPart& part) const {
  OmCellTextPtr clone = CloneText(part.Title());
  if (_translator) clone->Accept(*_translator);
  if (clone->OrderCode() == OmCellText::kOrderComposite)
    static_cast<OmComposite&>(*clone).Substitute(nullptr, false);
  return clone->AsString();
}

void OmFactorySelector::Match(short type, const std::string& subtype, const std::string& command,
                              OmOutputPart& part) {
  if (_requests->empty()) {
    part.SetVisible(true);
    return;
  }
  if (_counters.size() != _requests->size()) ResetCounters();
  const std::string label = Label(part);
  const bool notes = VEXAMBstricmp_A(subtype, "NOTES") == 0 && VEXAMBstricmp_A(label, "NOTES") == 0;
  for (std::size_t i = 0; i < _requests->size(); ++i) {
    const OMSObjectSelector& request = (*_requests)[i];
    if (notes && !request.ShowNotesTables()) continue;
    if (!request.IsObjectSelected(type, command, subtype, label)) continue;
    Counter& counter = _counters[i];
    const int n = ++counter.count;
    if (request.IsLastInstanceSelected()) {
      // Only the latest match stays, unless the earlier one is selected by its number.
      if (counter.last != nullptr && !request.IsInstanceSelected(n - 1)) counter.last->SetVisible(false);
      counter.last = &part;
      part.SetVisible(true);
      return;
    }
    if (request.IsInstanceSelected(n)) {
      counter.last = &part;
      part.SetVisible(true);
      return;
    }
  }
  part.SetVisible(false);
}

void OmFactorySelector::Visit(OmModel& part) {
  Match(256, "", _command, part);
}
void OmFactorySelector::Visit(OmAnswerTree& part) {
  Match(128, "", _command, part);
}
void OmFactorySelector::Visit(OmChart& part) {
  Match(1, "", _command, part);
}
void OmFactorySelector::Visit(OmPageTitle& part) {
  Match(64, "", _command, part);
}

void OmFactorySelector::Visit(OmTextBlock& part) {
  if (part.IsLog())
    Match(4, "", "", part);
  else
    Match(2, "", _command, part);
}

void OmFactorySelector::Visit(OmHeading& part) {
  Match(32, "", _command, part);
}

void OmFactorySelector::Visit(OmProcedure& part) {
  _command = part.Command();
  Match(32, "", _command, part);
}

void OmFactorySelector::Visit(OmPivotTable& part) {
  Match(part.IsWarnings() ? 8 : 16, part.TemplateName().AsString(), _command, part);
}

} // namespace omf
