#include <omf/stream/TableWriter.h>

namespace omf {

namespace stream {

void TableWriter::Begin(std::string_view title, std::string_view subtype, bool continuation) {
  _w.String(Slot(0), title);
  _w.String(Slot(1), subtype);
  _w.TableBegin(_tcid, Slot(0), Slot(1), continuation);
}

void TableWriter::Dimension(std::string_view dimension) {
  _w.String(Slot(0), dimension);
  _w.Dimension(_tcid, Slot(0));
}

void TableWriter::Category(std::string_view dimension, std::string_view category) {
  _w.String(Slot(0), category);
  _w.String(Slot(1), dimension);
  _w.Category(_tcid, Slot(0), Slot(1));
}

void TableWriter::Group(std::string_view dimension, std::string_view group) {
  _w.String(Slot(0), group);
  _w.String(Slot(1), dimension);
  _w.Group(_tcid, Slot(0), Slot(1));
}

void TableWriter::GroupEnd(std::string_view dimension) {
  _w.String(Slot(0), dimension);
  _w.GroupEnd(_tcid, Slot(0));
}

void TableWriter::CellDimension(std::string_view dimension) {
  _w.String(Slot(0), dimension);
  _w.CellDimension(_tcid, Slot(0));
}

void TableWriter::Cell(std::string_view category, double value, WireFormat format) {
  _w.Number(Slot(0), value, format);
  CellInSlot(category);
}

void TableWriter::Cell(std::string_view category, std::string_view text) {
  _w.String(Slot(0), text);
  CellInSlot(category);
}

void TableWriter::CellInSlot(std::string_view category) {
  _w.String(Slot(1), category);
  _w.Cell(_tcid, Slot(0), Slot(1));
}

void TableWriter::Place(std::string_view dimension, Axis axis, int position) {
  _w.String(Slot(0), dimension);
  _w.Place(_tcid, Slot(0), position, axis);
}

void TableWriter::Corner(std::string_view text) {
  _w.String(Slot(0), text);
  _w.Corner(_tcid, Slot(0));
}

void TableWriter::Footnote(FootnoteTarget target, std::string_view text, std::string_view marker) {
  _w.String(Slot(0), text);
  if (marker.empty()) {
    _w.Footnote(target, Slot(0));
    return;
  }
  // Slot(1) is never 0, which would mean "no marker".
  _w.String(Slot(1), marker);
  _w.FootnoteWithMarker(target, Slot(0), Slot(1));
}

void TableWriter::End() {
  _w.TableEnd(_tcid);
}

} // namespace stream

} // namespace omf
