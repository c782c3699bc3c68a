// The draws of a run, worked out in two steps: the first attempts from the
// stretches of the list they land on, and only when all of those are done,
// every later one from a table of the names of all generator outputs.

#include "draw_plan.h"

#include "line_list.h"
#include "random_draw.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace lotpick {
namespace {

// Enough that a list half done is all but never read twice (one run in 2^64),
// few enough that their stretches cost little to read.
constexpr std::int32_t first_attempts = 64;

// Attempts made + 1 to `upto`, each the name found for one drawn generator
// output (`attempt` draws it and says its pick index and which of the found
// names it selects); the first whose name is new, or too long to be tested,
// stands. Empty when every one of them hit a done name and attempts remain
// after `upto`; once none remain, the last stands.
template <class Attempt>
std::optional<DrawPlan> plan_attempts(FoundNames& found, DoneList& done, std::int32_t made, std::int32_t upto,
                                      std::int32_t most, Attempt attempt) {
    if (found.failure) return DrawPlan{0, 0, {}, 0, 0, std::move(found.failure)};
    std::vector<std::string_view> names;
    for (const ListName& name : found.names) names.push_back(text_of(found, name));
    const std::vector<bool> done_names = is_done(done, names);
    DrawPlan plan;
    const ListName* name = nullptr;
    for (plan.redraws = made; plan.redraws < upto; ++plan.redraws) {
        std::size_t asked = 0;
        plan.index = attempt(asked);
        name = &name_selected(found, asked);
        if (name->size > max_name_length || !done_names[found.selected[asked]]) break;
    }
    if (plan.redraws == upto && upto < most) return std::nullopt;
    plan.name = text_of(found, *name);
    plan.size = name->size;
    plan.line = name->line;
    return plan;
}

}  // namespace

// The outputs' indexes come in order, so copy_line walks forward only.
FoundNames index_drawable_lines(const ListFile& list, std::int32_t n) {
    std::vector<std::int32_t> indexes(generator_outputs);
    for (std::uint32_t r = 0; r < generator_outputs; ++r) indexes[r] = scale_to_index(r, n);
    return copy_line(list, indexes);
}

DrawPlan plan_draws(const ListFile& list, std::int32_t n, std::uint32_t seed, DoneList& done) {
    seed_generator(seed);
    const std::int32_t most = std::max(n, 1);
    // Without a done list only an empty name is done, and a verdict costs no
    // reading: the first attempt alone is worked out first, and when its
    // name is empty, every later one from the table.
    const std::int32_t made = std::min(done.source ? first_attempts : 1, most);
    std::vector<std::int32_t> indexes;
    for (std::int32_t i = 0; i < made; ++i) indexes.push_back(scale_to_index(next_random(), n));
    // These attempts' names from the stretches of the list they lie on.
    FoundNames found = copy_line(list, indexes);
    std::size_t next = 0;
    std::optional<DrawPlan> plan = plan_attempts(found, done, 0, made, most, [&](std::size_t& asked) {
        asked = next;
        return indexes[next++];
    });
    if (plan) return std::move(*plan);
    // Every later attempt, from the name of each generator output.
    FoundNames table = index_drawable_lines(list, n);
    return *plan_attempts(table, done, made, most, most, [&](std::size_t& asked) {
        asked = next_random();
        return scale_to_index(static_cast<std::uint32_t>(asked), n);
    });
}

}  // namespace lotpick
