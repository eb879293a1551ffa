#pragma once
// OmFactory: turns the back end's stream of output messages into parts of the caller's output tree.
// The caller constructs one factory over its tree, registers observers and hands it every message in
// the order sent; each call runs to completion on the caller's thread.
#include <memory>
#include <string>
#include <vector>

#include <omf/model/CellText.h>
#include <omf/presentation/ModeFixer.h>

namespace omf {

class OmOutputTree;
class OMSObjectSelector;

class OmFactory {
public:
  // Told of what the factory does; every notification but KeepProcedure does nothing by default.
  class Observer {
  public:
    virtual ~Observer() = default;
    // A procedure with output has finished; its tree is about to be grafted or dropped.
    virtual void ProcedureFinished(OmOutputTree& procedureTree) { (void)procedureTree; }
    // Asked right after ProcedureFinished: true asks for the procedure to be grafted into the tree.
    virtual bool KeepProcedure() = 0;
    virtual void LogLine(const std::string& line) { (void)line; }
    virtual void LogEnded() {}
    virtual void Signal() {}
    virtual void PageTitle(const std::string& title, const std::string& subtitle) {
      (void)title;
      (void)subtitle;
    }
    virtual void OutputTreeChanged(OmOutputTree& tree) { (void)tree; }
  };

  using ModeFixer = OmModeFixer;

  // The selectors must outlive the factory.
  OmFactory(OmOutputTree* tree, const std::string& stringTablePath, const std::string& codePage,
            const std::vector<OMSObjectSelector>& selectors);
  ~OmFactory();
  OmFactory(const OmFactory&) = delete;
  OmFactory& operator=(const OmFactory&) = delete;

  // Handles one message. The payload is read in place and may be changed (fields are byte-swapped in
  // the buffer when the stream is in the other byte order): pass a writable buffer. Throws OmError for
  // the errors the protocol defines and ProtocolError for a malformed message; either way the factory
  // stays usable and the output already in the tree stays. InternalError (or another logic error) means
  // a fault of the factory itself, never of the stream.
  void Message(short type, unsigned int length, const void* data);
  void Register(Observer* observer);
  OmOutputTree* Tree();
  void SetStringTablePath(const std::string& path);

  void OutlineVarDisplay(unsigned int mode);
  void TableVarDisplay(unsigned int mode);
  void OutlineValueDisplay(unsigned int mode);
  void TableValueDisplay(unsigned int mode);
  OmCellText::ModeType OutlineVarDisplayMode() const;
  OmCellText::ModeType TableVarDisplayMode() const;
  OmCellText::ModeType OutlineValueDisplayMode() const;
  OmCellText::ModeType TableValueDisplayMode() const;

  void SwapBytes(bool swap);
  bool SwapBytes() const;

  struct Impl;

private:
  std::unique_ptr<Impl> _my;
};

} // namespace omf
