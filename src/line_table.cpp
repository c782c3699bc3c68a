// The table from generator output to name: the outputs are taken in order of
// the index they scale to, so one forward walk over the text finds them all.

#include "line_table.h"

#include "line_list.h"
#include "random_draw.h"

#include <algorithm>
#include <utility>

namespace lotpick {
namespace {

struct Draw {
    std::int32_t index;
    std::uint32_t output;
    auto operator<=>(const Draw&) const = default;
};

// Scaling is monotonic, so the outputs come out sorted; sorting anyway keeps
// the walk right should that ever change.
std::vector<Draw> draws_by_index(std::int32_t n) {
    std::vector<Draw> draws(generator_outputs);
    for (std::uint32_t r = 0; r < generator_outputs; ++r) draws[r] = {scale_to_index(r, n), r};
    if (!std::ranges::is_sorted(draws)) std::ranges::sort(draws);
    return draws;
}

std::uint64_t line_ends_before(std::int32_t index) {
    return index > 1 ? static_cast<std::uint64_t>(index) - 1 : 0;
}

}  // namespace

LineTable index_drawable_lines(std::string_view text, std::int32_t n) {
    LineTable table;
    table.names.resize(generator_outputs);
    std::size_t line_start = 0;
    std::uint64_t passed = 0;  // line ends before line_start
    std::string_view name = name_at(text, 0);
    std::int32_t last_index = 0;
    for (const Draw& draw : draws_by_index(n)) {
        if (draw.index != last_index) {
            last_index = draw.index;
            const std::uint64_t wanted = line_ends_before(draw.index);
            line_start = skip_line_ends(text, line_start, wanted - passed);
            passed = wanted;
            // A start inside the run of line breaks before the last name
            // slides onto that same name; scanning the run again for every
            // such start would make long blank stretches quadratic.
            if (line_start > static_cast<std::size_t>(name.data() - text.data())) name = name_at(text, line_start);
        }
        table.names[draw.output] = name;
    }
    return table;
}

}  // namespace lotpick
