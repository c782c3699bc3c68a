// The draws of a run, worked out in two steps: the first attempts from the
// stretches of the list they land on, and only when all of those are done,
// every later one from a table of the names of all generator outputs.

#include "draw_plan.h"

#include "line_list.h"
#include "random_draw.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <vector>

namespace lotpick {
namespace {

// Enough that a list half done is all but never read twice (one run in 2^64),
// few enough that their stretches cost little to read.
constexpr std::int32_t first_attempts = 64;

std::vector<std::string_view> views_of(const FoundNames& found) {
    std::vector<std::string_view> views;
    for (const ListName& name : found.names) views.push_back(text_of(found, name));
    return views;
}

// The attempt that stands: a name that is new, or one too long to be tested.
DrawPlan standing(std::int32_t redraws, std::int32_t index, std::string_view name, std::uint64_t size,
                  std::uint64_t line) {
    DrawPlan plan;
    plan.redraws = redraws;
    plan.index = index;
    if (size <= max_name_length) plan.name = name;
    plan.size = size;
    plan.line = line;
    return plan;
}

// Attempts made + 1 to made + count, from the stretches of the list they land
// on. Empty when every one of them hit a done name and attempts remain.
std::optional<DrawPlan> plan_batch(const ListFile& list, std::int32_t n, std::int32_t most, std::int32_t made,
                                   std::int32_t count, DoneList& done) {
    std::vector<std::int32_t> indexes;
    for (std::int32_t i = 0; i < count; ++i) indexes.push_back(scale_to_index(next_random(), n));
    FoundNames found = copy_line(list, indexes);
    if (found.failure) return DrawPlan{0, 0, {}, 0, 0, std::move(found.failure)};
    const std::vector<bool> done_names = is_done(done, views_of(found));
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        const ListName& name = name_selected(found, i);
        const auto redraws = made + static_cast<std::int32_t>(i);
        if (name.size > max_name_length || !done_names[found.selected[i]])
            return standing(redraws, indexes[i], text_of(found, name), name.size, name.line);
    }
    if (made + count < most) return std::nullopt;
    const ListName& last = name_selected(found, indexes.size() - 1);
    return standing(most, indexes.back(), text_of(found, last), last.size, last.line);
}

// Every later attempt, from the name of each generator output and one
// verdict for each.
DrawPlan plan_rest(const ListFile& list, std::int32_t n, std::int32_t most, std::int32_t made, DoneList& done) {
    FoundNames table = index_drawable_lines(list, n);
    if (table.failure) return DrawPlan{0, 0, {}, 0, 0, std::move(table.failure)};
    const std::vector<bool> done_names = is_done(done, views_of(table));
    std::int32_t index = 0;
    const ListName* name = nullptr;
    for (std::int32_t attempt = made + 1; attempt <= most; ++attempt) {
        const std::uint32_t output = next_random();
        index = scale_to_index(output, n);
        name = &name_selected(table, output);
        if (name->size > max_name_length || !done_names[table.selected[output]])
            return standing(attempt - 1, index, text_of(table, *name), name->size, name->line);
    }
    return standing(most, index, text_of(table, *name), name->size, name->line);
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
    // reading: the first attempt alone is worked out first.
    const std::int32_t first = std::min(done.source ? first_attempts : 1, most);
    if (std::optional<DrawPlan> plan = plan_batch(list, n, most, 0, first, done)) return std::move(*plan);
    const std::int32_t made = std::min(first_attempts, most);
    if (first < made)
        if (std::optional<DrawPlan> plan = plan_batch(list, n, most, first, made - first, done))
            return std::move(*plan);
    return plan_rest(list, n, most, made, done);
}

}  // namespace lotpick
