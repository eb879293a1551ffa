#pragma once
// TableWriter: one table written through a MessageWriter with text labels. Each call fills the slots it
// needs with string cells and sends the message that takes them out again, so a table reads as its
// structure:
//
//   TableWriter t(w, 0);
//   t.Begin("Statistics", "Statistics");
//   t.Category("Statistics", "N");
//   t.CellDimension("Variables");
//   t.Cell("age", 20, WireFormat::Fixed(5, 0));
//   t.End();
//
// It uses three slots from `firstSlot` on; a cell of another kind (a variable, a value) goes into
// Slot(0) through the writer, followed by CellInSlot.
#include <cstdint>
#include <string_view>

#include <omf/stream/MessageWriter.h>

namespace omf {

namespace stream {

class TableWriter {
public:
  TableWriter(MessageWriter& writer, std::uint8_t tcid, int firstSlot = 1)
      : _w(writer), _tcid(tcid), _first(firstSlot) {}

  std::uint8_t Tcid() const { return _tcid; }
  // The k-th of the three slots (0 to 2) the table writer fills.
  int Slot(int k) const { return _first + k; }
  MessageWriter& Writer() { return _w; }

  void Begin(std::string_view title, std::string_view subtype, bool continuation = false);
  void Dimension(std::string_view dimension);
  void Category(std::string_view dimension, std::string_view category);
  void Group(std::string_view dimension, std::string_view group);
  void GroupEnd(std::string_view dimension);
  void CellDimension(std::string_view dimension);
  // Adds the category to the cell dimension, then stores the cell at the current coordinates.
  void Cell(std::string_view category, double value, WireFormat format);
  void Cell(std::string_view category, std::string_view text);
  // Stores the cell that the caller put into Slot(0).
  void CellInSlot(std::string_view category);
  void Place(std::string_view dimension, Axis axis, int position);
  void Corner(std::string_view text);
  // Targets other than Heading address this table when it was the last one addressed.
  void Footnote(FootnoteTarget target, std::string_view text, std::string_view marker = "");
  void End();

private:
  MessageWriter& _w;
  std::uint8_t _tcid;
  int _first;
};

} // namespace stream

} // namespace omf
