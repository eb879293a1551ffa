#pragma once
// Folding a dimension whose top level repeats one category tree in several groups, each group holding
// the cells of one combination of the other dimensions (one imputation, say): the cells move onto the
// matching categories of the first group and the repeated groups go, so that every combination shares
// one category tree.
#include <omf/model/PivotTable.h>

namespace omf {

// Folds dimension d of the table; e is the companion dimension whose every category moves along with
// a category of d. True when the dimension was folded. Nothing happens unless every top-level child of
// d is a group and all groups repeat the first one's tree (labels equal, node by node). A category of a
// repeated group that has no cell in any combination stops the fold: the repeated groups then stay,
// but the categories already merged keep their moved cells and point at the first group's subscripts.
bool DespookDimension(OmPivotTable& table, int d, int e);

} // namespace omf
