// The pick command's driver: checks the command line, runs the draw against
// the done list, records and copies the pick, and does all of the printing.

#include "pick.h"

#include "byte_scan.h"
#include "destination.h"
#include "done_list.h"
#include "draw_plan.h"
#include "line_list.h"
#include "list_file.h"
#include "platform/platform.h"
#include "random_draw.h"
#include "version.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
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
    "LOTPICK_SEED=<number> fixes the draw. A name or destination holds at most 259 bytes: 259 ASCII "
    "characters, 86 CJK ones in UTF-8, 129 in a double-byte code page.";

using Part = platform::MessagePart;

// Every diagnostic lotpick adds has this one shape; a warning that needs no
// reason ends at the path. Names go to the platform as names, so that a
// console shows them as they were typed.
void report(const Console& console, std::span<const Part> what, std::string_view path, std::string_view reason) {
    std::vector<Part> parts{{"lotpick: "}};
    parts.insert(parts.end(), what.begin(), what.end());
    parts.insert(parts.end(), {{" '"}, {path, true}, {reason.empty() ? "'" : "': "}, {reason}, {"\n"}});
    platform::write_message(console.err, parts);
}

void report(const Console& console, std::string_view what, std::string_view path, std::string_view reason = "") {
    const Part parts[] = {{what}};
    report(console, parts, path, reason);
}

// A message to standard output that names a file; a failed write is kept as
// the run's write error.
void say(const Console& console, std::span<const Part> parts) {
    if (!platform::write_message(console.out, parts) && console.write_error == 0)
        console.write_error = errno != 0 ? errno : EIO;
}

// A name's bytes per character depend on its encoding (1 for ASCII, 2 for
// CJK in a double-byte code page, 3 in UTF-8), so what a user can count is
// told beside them: the characters, unless the name was too long to keep,
// and what would make it fit. A name from a list in UTF-8 that the ANSI code
// page holds (Windows) fits there in fewer bytes.
std::string too_long_reason(std::optional<std::string_view> name, std::uint64_t size, bool listed) {
    std::string reason = std::to_string(size) + " bytes";
    if (name) reason += " (" + std::to_string(platform::count_characters(*name)) + " characters)";
    reason += ", at most " + std::to_string(max_name_length) + " bytes: use a shorter folder";
    if (!listed) return reason + " or name";
    const std::optional<std::size_t> ansi = name ? platform::ansi_length(*name) : std::nullopt;
    if (ansi && *ansi <= max_name_length)
        reason += ", or save the list in the ANSI code page, where it takes " + std::to_string(*ansi) + " bytes";
    return reason;
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

// The redraw lines of a plan, "Selecting new file K": the generator seeded
// again gives the same indexes, so none of them had to be kept. A run over a
// long list that is nearly all done prints a million of these, so the number
// is formatted by hand and each line goes out in a write of its own, after
// what the stream holds: a line costs little more than its write.
void print_redraws(const Console& console, std::uint32_t seed, std::int32_t n, std::int32_t redraws) {
    constexpr std::string_view text = "Selecting new file ";
    char line[text.size() + 16];
    text.copy(line, text.size());
    seed_generator(seed);
    flush_line(console);
    const platform::LineWriter out(console.out);
    for (std::int32_t i = 0; i < redraws; ++i) {
        char* end = std::to_chars(line + text.size(), line + sizeof line - 1, draw_pick_index(n)).ptr;
        *end++ = '\n';
        if (!out.write({line, static_cast<std::size_t>(end - line)}) && console.write_error == 0)
            console.write_error = errno != 0 ? errno : EIO;
    }
}

// LOTPICK_SEED, when set and not empty, replaces the clock. False after a
// value that is not a seed.
bool read_fixed_seed(const Console& console, std::optional<std::uint32_t>& seed) {
    if (!console.seed || console.seed->empty()) return true;
    seed = parse_seed(*console.seed);
    if (!seed) report(console, "invalid LOTPICK_SEED", *console.seed, "expected a whole number from 0 to 4294967295");
    return seed.has_value();
}

// LOTPICK_FORCE_SCAN, when set and not empty, a diagnostic: every byte scan
// runs on the path it names, else on the widest the processor has. False
// after a name of no path, or of one the processor does not have.
bool read_scan_path(const Console& console, ScanPath& path) {
    path = widest_scan_path();
    if (!console.force_scan || console.force_scan->empty()) return true;
    constexpr std::string_view names[] = {"portable", "sse2", "avx2", "avx512"};
    const std::string_view* named = std::find(std::begin(names), std::end(names), *console.force_scan);
    path = static_cast<ScanPath>(named - std::begin(names));
    if (named == std::end(names))
        report(console, "invalid LOTPICK_FORCE_SCAN", *console.force_scan, "expected portable, sse2, avx2 or avx512");
    else if (!has_scan_path(path))
        report(console, "cannot force scan path", *console.force_scan, "this processor does not have it");
    return named != std::end(names) && has_scan_path(path);
}

bool fits_name(std::string_view destination, const Console& console) {
    if (destination.size() <= max_name_length) return true;
    report(console, "destination too long", destination, too_long_reason(destination, destination.size(), false));
    return false;
}

// A destination that is empty, ends in a separator, or is a folder's own
// name ("." or "..", or on Windows a drive alone) names no file: the copy
// would be a hidden file named by the extension alone. The advice puts a
// file in that folder.
bool destination_names_a_file(const std::string& destination, const Console& console) {
    if (names_a_file(destination)) return true;
    const std::size_t last = last_component_start(destination);
    const bool ends_a_folder = destination.empty() || last == destination.size();
    const char slash = last > 0 ? destination[last - 1] : static_cast<char>(std::filesystem::path::preferred_separator);
    report(console, "destination names no file", destination,
           "add a file name, as in '" + destination + (ends_a_folder ? "" : std::string(1, slash)) + "wallpaper'");
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

// One pick: what it is asked for, the done list of the current directory,
// and where it reports.
struct Run {
    const Console& console;
    const std::string& list_path;
    const std::string& destination;
    std::optional<std::uint32_t> fixed_seed;
    ScanPath scan;
    std::string done_path;
    DoneList done;
};

// The record comes before the copy, and stays when the copy fails.
int record_and_copy(const Run& run, std::int32_t n, const DrawPlan& pick, const std::string& target) {
    const auto record_failure = platform::append_record(run.done_path, pick.name);
    const auto copy_failure = platform::copy_file_atomically(pick.name, target);
    const std::string counts = std::to_string(n) + " files picked " + std::to_string(pick.index) + "\n";
    const Part summary[] = {{counts}, {pick.name, true}, {"\n"}};
    say(run.console, summary);
    flush_line(run.console);
    if (record_failure) report(run.console, "cannot record pick in", run.done_path, record_failure->reason);
    const Part copying[] = {{"cannot copy '"}, {pick.name, true}, {"' to"}};
    if (copy_failure) report(run.console, copying, target, copy_failure->reason);
    return record_failure || copy_failure ? incomplete : picked;
}

// Lets other runs append again, once this run has read all it reads of the
// done list, and only then tells why that list could not be read: one that
// fails at once and one that fails halfway are told of in the same place.
void let_go_of_done_list(Run& run) {
    if (run.done.failure) report(run.console, "cannot read done list", run.done_path, run.done.failure->reason);
    close_done_list(run.done);
}

// A list that cannot be used is told only once the done list is read to its
// end, so that what is wrong with the done list comes first, as it always
// has. What is `said` to standard output ends no line and comes after the
// diagnostic: a console shows each message at once, and there it has always
// stood last, flushed at the end of the process.
int refuse_list(Run& run, std::string_view what, std::string_view reason, std::span<const Part> said = {}) {
    is_done(run.done, {});
    let_go_of_done_list(run);
    report(run.console, what, run.list_path, reason);
    if (!said.empty()) say(run.console, said);
    return refused;
}

int refuse_unreadable_list(Run& run, const platform::Failure& failure) {
    const Part not_found[] = {{"File: "}, {run.list_path, true}, {" not found"}};
    return refuse_list(run, "cannot read list", failure.reason, not_found);
}

int pick_from_list(Run& run, ScannedList& scanned) {
    if (!scanned.list) return refuse_unreadable_list(run, scanned.failure);
    const ListFile& list = *scanned.list;
    if (list.source.utf16)
        return refuse_list(run, "cannot read UTF-16 list",
                           "save it as UTF-8 or ANSI text instead (PowerShell: Out-File -Encoding utf8)");
    if (list.line_ends > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return refuse_list(run, "list too large", "more than 2147483647 line ends");
    const auto n = static_cast<std::int32_t>(list.line_ends);
    // Seeded only once the list is in, so the time a load takes varies it.
    const std::uint32_t seed = run.fixed_seed ? *run.fixed_seed : platform::tick_count();
    // The draws, worked out in full before the first is printed. A done list
    // that fails halfway counts as empty, as if it had failed at once.
    const bool failed_before = run.done.failure.has_value();
    DrawPlan pick = plan_draws(list, n, seed, run.done);
    if (!failed_before && run.done.failure) pick = plan_draws(list, n, seed, run.done);
    if (pick.list_failure) return refuse_unreadable_list(run, *pick.list_failure);
    let_go_of_done_list(run);
    // A name too long to be one is read again, whole, to be told in characters.
    const std::optional<std::string> too_long =
        pick.size > max_name_length ? whole_name(*scanned.list, pick.index) : std::nullopt;
    // Nothing may hold the list during the copy: the destination may be the
    // list itself, which the copy replaces like any other file.
    scanned.list.reset();
    print_redraws(run.console, seed, n, pick.redraws);
    if (pick.size > max_name_length) {
        report(run.console, "name too long in line " + std::to_string(pick.line) + " of", run.list_path,
               too_long_reason(too_long, pick.size, true));
        return refused;
    }
    const std::string target = derive_destination(run.destination, pick.name);
    if (!fits_destination(target, run.console)) return refused;
    return record_and_copy(run, n, pick, target);
}

// A done list that is there but cannot be read leaves every name new: the
// run goes on, but it cannot count as a success. The list is counted before
// the done list is opened, so that another run's append never waits for a
// slow list, a pipe say, to come in.
int pick_and_copy(Run& run) {
    run.done_path = platform::done_list_path();
    ScannedList scanned = load_text_file(run.list_path, ListReading{.scan = run.scan});
    run.done = open_done_list(run.done_path, DoneReading{.scan = run.scan});
    const int status = pick_from_list(run, scanned);
    return run.done.failure && status == picked ? incomplete : status;
}

// Answers --help (or -h) or --version, and says whether it did. Only a sole
// argument is a question: beside a destination the same word is the name of
// a list.
bool answer_question(std::span<const std::string> args, const Console& console) {
    if (args.size() != 2) return false;
    if (args[1] == "--help" || args[1] == "-h") std::fprintf(console.out, "%s\n%s\n", usage_text, help_summary);
    else if (args[1] == "--version") std::fprintf(console.out, "lotpick %s\n", version);
    else return false;
    return true;
}

}  // namespace

int run_pick(std::span<const std::string> args, const Console& console) {
    if (answer_question(args, console)) return finish(console, picked);
    if (args.size() < 3) {
        std::fputs(usage_text, console.out);
        return finish(console, refused);
    }
    // Still ignored, as always, but no longer silently: an unquoted space in
    // the destination would otherwise go by unnoticed.
    for (const std::string& extra : args.subspan(3)) report(console, "ignoring extra argument", extra);
    Run run{console, args[1], args[2], std::nullopt, ScanPath::portable, {}, {}};
    if (!read_fixed_seed(console, run.fixed_seed) || !read_scan_path(console, run.scan) ||
        !fits_name(args[2], console) || !destination_names_a_file(args[2], console))
        return finish(console, refused);
    return finish(console, pick_and_copy(run));
}

int run_pick(int argc, char** argv) {
    platform::buffer_standard_output();
    platform::make_failed_writes_reportable();
    std::optional<std::vector<std::string>> args = platform::command_line_arguments();
    if (!args) args.emplace(argv, argv + argc);
    Console console{stdout, stderr, std::nullopt};
    if (const char* seed = std::getenv("LOTPICK_SEED")) console.seed = seed;
    if (const char* path = std::getenv("LOTPICK_FORCE_SCAN")) console.force_scan = path;
    return run_pick(*args, console);
}

}  // namespace lotpick
