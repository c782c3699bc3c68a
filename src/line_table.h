// The name every generator output selects from a list, found in one walk:
// the draw has only 32768 outputs, so a run with many redraws never needs
// more than 32768 lines, however long the list, and never the whole list in
// memory.
#pragma once

#include "list_file.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace lotpick {

// The names found for the index of each generator output in turn: the name
// output r selects is name_selected(table, r).
using LineTable = FoundNames;

// For every generator output r, the name copy_line gives for
// scale_to_index(r, n) over the list's text, at the cost of one walk forward
// over the stretches those names lie in. A list shorter than the draw has
// fewer names than outputs.
LineTable index_drawable_lines(const ListFile& list, std::int32_t n);

}  // namespace lotpick
