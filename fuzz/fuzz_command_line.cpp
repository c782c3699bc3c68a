// Fuzz target for the command-line splitter: any bytes split as a plain
// reference splits them, and any arguments, quoted by the rules, come back
// exactly as they went in.
//
// Input: the command line; the same bytes cut at zero bytes are the arguments
// of the round trip.

#include "command_line.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Args = std::vector<std::string>;

Args reference_split(std::string_view line) {
    Args args;
    std::optional<std::string> arg;  // present from the first byte that is not a separating blank
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (!quoted && (c == ' ' || c == '\t')) {
            if (arg) args.push_back(*arg);
            arg.reset();
            continue;
        }
        if (!arg) arg.emplace();
        if (line.substr(i, 2) == "\\\"") {
            *arg += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else {
            *arg += c;
        }
    }
    if (arg) args.push_back(*arg);
    return args;
}

// Inside quotes every quote is escaped. Trailing backslashes go after the
// closing quote, where no quote follows them, so they stay literal.
std::string quote(std::string_view arg) {
    const std::size_t body = arg.find_last_not_of('\\') + 1;
    std::string quoted = "\"";
    for (const char c : arg.substr(0, body)) {
        if (c == '"') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    quoted += arg.substr(body);
    return quoted;
}

Args cut_at_zero_bytes(std::string_view bytes) {
    Args pieces(1);
    for (const char c : bytes) {
        if (c == '\0') pieces.emplace_back();
        else pieces.back() += c;
    }
    return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // Exactly sized, so a read past the line is caught.
    const std::vector<char> line(input.begin(), input.end());
    if (lotpick::split_command_line({line.data(), line.size()}) != reference_split(input)) std::abort();

    const Args args = cut_at_zero_bytes(input);
    std::string joined;
    for (const std::string& arg : args) joined += (joined.empty() ? "" : " ") + quote(arg);
    if (lotpick::split_command_line(joined) != args) std::abort();
    return 0;
}
