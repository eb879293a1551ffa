#pragma once
// The built-in example that `omf render` shows until recorded streams can be played: one procedure
// with a title, a frequencies statistics table (nested column labels, two variables as rows, a layer
// dimension with two categories, footnotes, caption and corner text) and a text block.
class OmOutputTree;

void BuildExampleTree(OmOutputTree& tree);
