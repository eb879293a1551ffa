#include <exception>
#include <iostream>
#include <memory>
#include <vector>

#include <omf/factory/Factory.h>
#include <omf/factory/FactorySink.h>
#include <omf/model/OutputTree.h>
#include <omf/render/TextRenderer.h>
#include <omf/selection/OMSObjectSelector.h>
#include <omf/stream/MessageWriter.h>

using namespace omf;

int main() {
  OmOutputTree tree;
  // Procedures go below the first node; its text is translated into the output language.
  tree.Append(0, std::make_unique<OmHeading>(OmStringCell("Output", nullptr, true)));
  std::vector<OMSObjectSelector> requests; // none: everything stays visible
  OmFactory factory(&tree, "", "UTF-8", requests);
  struct Keep : OmFactory::Observer {
    bool KeepProcedure() override { return true; }
  } keep;
  factory.Register(&keep);

  // A back end hands each message to factory.Message(type, length, payload), in the order it sent
  // them. Here a MessageWriter sends them: a procedure, its title, and a table of one cell.
  stream::FactorySink sink(factory);
  stream::MessageWriter w(sink);
  try {
    stream::ProcedureSettings settings;
    settings.procedure = "Means";
    w.ProcedureBegin(1, settings);
    w.String(1, "Means"); // parameter messages fill numbered slots, which the next messages use
    w.TextBlock(1);       // the procedure's first child is its title
    w.Text("Means");
    w.String(1, "Report");
    w.String(2, "Report");
    w.TableBegin(0, 1, 2);
    w.String(1, "Statistics");
    w.CellDimension(0, 1);
    w.Number(3, 41.25, stream::WireFormat::Fixed(8, 2));
    w.String(4, "Mean");
    w.Cell(0, 3, 4);
    w.TableEnd(0);
    w.ProcedureEnd();
  } catch (const std::exception& e) {
    // A malformed message: the output already in the tree stays, and the factory takes the next one.
    std::cerr << e.what() << '\n';
  }
  render::TextRenderer().Render(tree, std::cout);
}
