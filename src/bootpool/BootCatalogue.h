#pragma once
// The bootstrap catalogue: every table that bootstrap pooling knows how to rewrite, one pattern object a
// row, in catalogue order (the order in which the pooler offers a table to the rows of its procedure).
#include <vector>

#include <omf/bootpool/OmBootPattern.h>

namespace omf {

// Built on first use; the patterns live until the process ends.
const std::vector<OmBootPattern*>& BootCatalogue();

} // namespace omf
