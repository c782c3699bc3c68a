// The table from generator output to name: the index of every output, and
// find_names, which takes them in order of the index so that one walk forward
// over the list finds them all.

#include "line_table.h"

#include "random_draw.h"

namespace lotpick {

LineTable index_drawable_lines(const ListFile& list, std::int32_t n) {
    std::vector<std::int32_t> indexes(generator_outputs);
    for (std::uint32_t r = 0; r < generator_outputs; ++r) indexes[r] = scale_to_index(r, n);
    return find_names(list, indexes);
}

}  // namespace lotpick
