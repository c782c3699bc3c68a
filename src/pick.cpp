// The pick command's driver: checks the command line, runs the draw against
// the done list, records and copies the pick, and does all of the printing.

#include "pick.h"

#include "command_line.h"
#include "destination.h"
#include "done_list.h"
#include "line_list.h"
#include "line_table.h"
#include "platform/platform.h"
#include "random_draw.h"
#include "version.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace lotpick {
namespace {

constexpr const char* usage_text =
    ">LOTPICK listfile destination\nlotpick selects a random file from the list and copies it to destination";
constexpr const char* help_summary =
    "Exit status: 0 picked, 1 refused (usage, missing list, bad input), 2 picked but the done list "
    "unreadable, the pick not recorded or copied, or the output lost. "
    "LOTPICK_SEED=<number> fixes the draw.";

// Every diagnostic lotpick adds has this one shape.
void report(const Console& console, std::string_view what, std::string_view path, std::string_view reason) {
    std::fprintf(console.err, "lotpick: %.*s '%.*s': %.*s\n", static_cast<int>(what.size()), what.data(),
                 static_cast<int>(path.size()), path.data(), static_cast<int>(reason.size()), reason.data());
}

std::string too_long_reason(std::size_t length) {
    return std::to_string(length) + " bytes, at most " + std::to_string(max_name_length);
}

// Output waits for a line end, as on a terminal; a message that ends a line
// goes out at once, also into a pipe.
void flush_line(const Console& console) {
    if ((std::fflush(console.out) != 0 || std::ferror(console.out)) && console.write_error == 0)
        console.write_error = errno != 0 ? errno : EIO;
}

// A run whose output was lost did not succeed, whatever else it did.
int finish(const Console& console, int status) {
    flush_line(console);
    if (console.write_error == 0) return status;
    report(console, "cannot write", "standard output", std::strerror(console.write_error));
    return status == picked ? incomplete : status;
}

// "Selecting new file K": a run over a long list that is nearly all done
// prints a million of these, so the number is formatted by hand and the
// line costs little more than its write.
void print_redraw(const Console& console, std::int32_t index) {
    constexpr std::string_view text = "Selecting new file ";
    char line[text.size() + 16];
    text.copy(line, text.size());
    char* end = std::to_chars(line + text.size(), line + sizeof line - 1, index).ptr;
    *end++ = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(end - line), console.out);
    flush_line(console);
}

struct Attempt {
    std::int32_t index = 0;
    std::uint32_t output = 0;  // the generator output the index came from
    std::string_view name;
};

// What each generator output selects and whether that name is done, worked
// out when first needed. A fresh pick costs one walk to its line; a run of a
// million redraws walks the list once and tests each distinct name once.
struct DrawMemo {
    std::string_view text;
    std::int32_t n = 0;
    LineTable lines;                // filled when a later attempt needs a name
    std::vector<std::int8_t> done;  // by output: -1 untested, else 0 or 1
};

std::string_view drawn_name(DrawMemo& memo, const Attempt& attempt, std::int32_t attempts) {
    if (attempts == 1) return copy_line(memo.text, attempt.index);
    if (memo.lines.names.empty()) memo.lines = index_drawable_lines(memo.text, memo.n);
    return memo.lines.names[attempt.output];
}

// Only the small table of verdicts is touched for an output already found
// done: the redraws of a nearly done list stay in the cache.
bool is_known_done(const DrawMemo& memo, std::uint32_t r) { return !memo.done.empty() && memo.done[r] == 1; }

bool is_drawn_done(DrawMemo& memo, std::uint32_t r, std::string_view name, const DoneList& done) {
    if (memo.done.empty()) memo.done.assign(generator_outputs, -1);
    if (memo.done[r] < 0) memo.done[r] = is_done(name, done) ? 1 : 0;
    return memo.done[r] == 1;
}

// Draws until a name is not done, at most n times and at least once; when
// every draw hits a done name, the last one stands. Empty when a drawn line
// is too long to be a name.
std::optional<Attempt> draw_until_new(std::string_view text, std::int32_t n, const DoneList& done,
                                      const std::string& list_path, const Console& console) {
    DrawMemo memo{text, n, {}, {}};
    Attempt attempt;
    std::int32_t attempts = 0;
    bool named = false;  // attempt.name belongs to the latest attempt
    do {
        ++attempts;
        attempt.output = next_random();
        attempt.index = scale_to_index(attempt.output, n);
        named = !is_known_done(memo, attempt.output);
        if (named) {
            attempt.name = drawn_name(memo, attempt, attempts);
            if (attempt.name.size() > max_name_length) {
                const auto line = line_number_at(text, static_cast<std::size_t>(attempt.name.data() - text.data()));
                report(console, "name too long in line " + std::to_string(line) + " of", list_path,
                       too_long_reason(attempt.name.size()));
                return std::nullopt;
            }
            if (!is_drawn_done(memo, attempt.output, attempt.name, done)) return attempt;
        }
        print_redraw(console, attempt.index);
    } while (attempts < n);
    if (!named) attempt.name = drawn_name(memo, attempt, attempts);
    return attempt;
}

// LOTPICK_SEED, when set and not empty, replaces the clock. False after a
// value that is not a seed.
bool read_fixed_seed(const Console& console, std::optional<std::uint32_t>& seed) {
    if (!console.seed || console.seed->empty()) return true;
    seed = parse_seed(*console.seed);
    if (!seed) report(console, "invalid LOTPICK_SEED", *console.seed, "expected a whole number from 0 to 4294967295");
    return seed.has_value();
}

bool fits_name(std::string_view destination, const Console& console) {
    if (destination.size() <= max_name_length) return true;
    report(console, "destination too long", destination, too_long_reason(destination.size()));
    return false;
}

// Refused before the record: a pick must not be recorded for a copy that
// could never be made.
bool fits_destination(const std::string& target, const Console& console) {
    if (!fits_name(target, console)) return false;
    const std::optional<platform::Failure> too_long = platform::exceeds_path_limit(target);
    if (too_long) report(console, "destination too long", target, too_long->reason);
    return !too_long;
}

// The record comes before the copy, and stays when the copy fails.
int record_and_copy(std::int32_t n, const Attempt& pick, const std::string& target, const std::string& done_path,
                    const Console& console) {
    const std::string name(pick.name);
    const auto record_failure = append_done(done_path, name);
    const auto copy_failure = platform::copy_file_atomically(name, target);
    std::fprintf(console.out, "%d files picked %d\n%s\n", n, pick.index, name.c_str());
    flush_line(console);

    int status = picked;
    if (record_failure) {
        report(console, "cannot record pick in", done_path, record_failure->reason);
        status = incomplete;
    }
    if (copy_failure) {
        report(console, "cannot copy '" + name + "' to", target, copy_failure->reason);
        status = incomplete;
    }
    return status;
}

int pick_from_list(const std::string& list_path, const std::string& destination,
                   std::optional<std::uint32_t> fixed_seed, const DoneList& done, const std::string& done_path,
                   const Console& console) {
    const platform::Loaded list = load_text_file(list_path);
    if (!list.buffer) {
        std::fprintf(console.out, "File: %s not found", list_path.c_str());
        report(console, "cannot read list", list_path, list.failure.reason);
        return refused;
    }
    if (is_utf16_text(list.buffer->view())) {
        report(console, "cannot read UTF-16 list", list_path,
               "save it as UTF-8 or ANSI text instead (PowerShell: Out-File -Encoding utf8)");
        return refused;
    }
    const std::string_view text = without_byte_order_mark(list.buffer->view());
    const std::uint64_t line_ends = count_line_ends(text);
    if (line_ends > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        report(console, "list too large", list_path, "more than 2147483647 line ends");
        return refused;
    }
    const auto n = static_cast<std::int32_t>(line_ends);
    // Seeded only once the list is in, so the time a load takes varies it.
    seed_generator(fixed_seed ? *fixed_seed : platform::tick_count());

    const std::optional<Attempt> pick = draw_until_new(text, n, done, list_path, console);
    if (!pick) return refused;
    const std::string target = derive_destination(destination, pick->name);
    if (!fits_destination(target, console)) return refused;
    return record_and_copy(n, *pick, target, done_path, console);
}

// A done list that is there but cannot be read leaves every name new: the
// run goes on, but it cannot count as a success.
int pick_and_copy(const std::string& list_path, const std::string& destination,
                  std::optional<std::uint32_t> fixed_seed, const Console& console) {
    const std::string done_path = platform::done_list_path();
    const DoneList done = load_done_list(done_path);
    if (done.failure) report(console, "cannot read done list", done_path, done.failure->reason);
    const int status = pick_from_list(list_path, destination, fixed_seed, done, done_path, console);
    return done.failure && status == picked ? incomplete : status;
}

// The answer to --help or --version. Only a sole argument is a question:
// beside a destination the same word is the name of a list.
std::optional<int> answer_question(std::span<const std::string> args, const Console& console) {
    if (args.size() != 2) return std::nullopt;
    if (args[1] == "--help") {
        std::fprintf(console.out, "%s\n%s\n", usage_text, help_summary);
        return picked;
    }
    if (args[1] == "--version") {
        std::fprintf(console.out, "lotpick %s\n", version);
        return picked;
    }
    return std::nullopt;
}

}  // namespace

int run_pick(std::span<const std::string> args, const Console& console) {
    if (const std::optional<int> answered = answer_question(args, console)) return finish(console, *answered);
    if (args.size() < 3) {
        std::fputs(usage_text, console.out);
        return finish(console, refused);
    }
    std::optional<std::uint32_t> fixed_seed;
    if (!read_fixed_seed(console, fixed_seed) || !fits_name(args[2], console)) return finish(console, refused);
    return finish(console, pick_and_copy(args[1], args[2], fixed_seed, console));
}

int run_pick(int argc, char** argv) {
    platform::buffer_standard_output();
    platform::make_failed_writes_reportable();
    const std::optional<std::string> line = platform::raw_command_line();
    const std::vector<std::string> args =
        line ? split_command_line(*line) : std::vector<std::string>(argv, argv + argc);
    Console console{stdout, stderr, std::nullopt};
    if (const char* seed = std::getenv("LOTPICK_SEED")) console.seed = seed;
    return run_pick(args, console);
}

}  // namespace lotpick
