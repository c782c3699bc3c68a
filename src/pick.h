// The pick command: one run from the command line to the copied file.
#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>

namespace lotpick {

// What a run reads from and writes to besides files: tests hand in their own.
struct Console {
    std::FILE* out = nullptr;
    std::FILE* err = nullptr;
    std::optional<std::string> seed;          // the LOTPICK_SEED variable, when set
    std::optional<std::string> force_scan{};  // the LOTPICK_FORCE_SCAN variable, when set
    // The error of the first write to `out` that failed, kept by whatever
    // printed it: the stream's own flag cannot say why, and by the end of
    // the run errno tells of something else.
    mutable int write_error = 0;
};

// Exit statuses.
inline constexpr int picked = 0;       // also after --help and --version
inline constexpr int refused = 1;      // usage, list not found, bad input
inline constexpr int incomplete = 2;   // summary printed, but not recorded or copied

// One run; `args` holds argument 0 (the command name) first.
int run_pick(std::span<const std::string> args, const Console& console);

// The process entry: the platform's command line, standard streams and
// environment.
int run_pick(int argc, char** argv);

}  // namespace lotpick
