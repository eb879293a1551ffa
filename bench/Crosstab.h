#pragma once
// The stream a back end sends for one big "Crosstabs" table of N x N numeric cells: per cell a number in
// a slot, the column's label in a slot, then a cell message (three messages a cell, the row's category
// once per row). The benchmarks play it and bench/make_crosstab writes it to a file.
#include <string>

#include <omf/stream/MessageSink.h>
#include <omf/stream/MessageWriter.h>

namespace omf::bench {

inline void WriteCrosstab(stream::MessageSink& sink, int n) {
  stream::MessageWriter w(sink);
  stream::ProcedureSettings s;
  s.procedure = "Crosstabs";
  w.ProcedureBegin(1, s);
  w.String(1, "Crosstabs");
  w.TextBlock(1);
  w.Text("Crosstabs");
  w.String(1, "Crosstabulation");
  w.String(2, "Crosstabulation");
  w.TableBegin(0, 1, 2);
  w.String(1, "Column variable");
  w.CellDimension(0, 1);
  for (int r = 0; r < n; ++r) {
    w.String(1, "row " + std::to_string(r));
    w.String(2, "Row variable");
    w.Category(0, 1, 2);
    for (int c = 0; c < n; ++c) {
      w.Number(3, r * 1000.0 + c, stream::WireFormat::Fixed(8, 0));
      w.String(4, "column " + std::to_string(c));
      w.Cell(0, 3, 4);
    }
  }
  w.TableEnd(0);
  w.ProcedureEnd();
}

} // namespace omf::bench
