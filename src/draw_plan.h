// A run's draws worked out before any of them is printed: which attempt
// stands and how many redraws come before it. Working them out reads the
// list and the done list; printing them afterwards needs neither, so the
// done list is closed before the output, which may block, goes out.
#pragma once

#include "done_list.h"
#include "list_file.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lotpick {

struct DrawPlan {
    std::int32_t redraws = 0;  // attempts that hit a done name, before the last
    std::int32_t index = 0;    // the pick index of the attempt that stands
    std::string name;          // its name, when it fits max_name_length
    std::uint64_t size = 0;    // the name's length; longer than max_name_length ends the run
    std::uint64_t line = 0;    // the line of the list that name stands on
    std::optional<platform::Failure> list_failure;  // the list could not be read again
};

// Draws from the generator seeded with `seed` until a name is not done, at
// most n times and at least once; when every draw hits a done name, the last
// one stands. Stops at a name too long to be one. The first few attempts are
// tested in one pass over the done list; a run that needs more finds the name
// of every generator output in one walk over the list and tests them all in
// one more pass.
DrawPlan plan_draws(const ListFile& list, std::int32_t n, std::uint32_t seed, DoneList& done);

// For every generator output r, the name copy_line gives for
// scale_to_index(r, n): name_selected(table, r). One walk forward over the
// stretches those names lie in finds them all, so a run with many redraws
// needs at most 32768 names, however long the list. A list shorter than the
// draw has fewer names than outputs.
FoundNames index_drawable_lines(const ListFile& list, std::int32_t n);

}  // namespace lotpick
