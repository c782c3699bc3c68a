// The name every generator output selects from a list, found in one walk:
// the draw has only 32768 outputs, so a run with many redraws never needs
// more than 32768 lines, however long the list.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace lotpick {

struct LineTable {
    std::vector<std::string_view> names;  // by generator output; views into the text
};

// For every generator output r, the name copy_line(text, scale_to_index(r, n))
// gives, at the cost of one walk over the text.
LineTable index_drawable_lines(std::string_view text, std::int32_t n);

}  // namespace lotpick
