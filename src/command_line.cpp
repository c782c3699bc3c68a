// The command-line splitter: one string in, the argument vector out, by
// lotpick's own quoting rules rather than any C runtime's.

#include "command_line.h"

#include <utility>

namespace lotpick {

std::vector<std::string> split_command_line(std::string_view line) {
    std::vector<std::string> args;
    std::string current;
    bool started = false;  // a quote alone starts an argument too, so "" is one
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if ((c == ' ' || c == '\t') && !quoted) {
            if (started) args.push_back(std::exchange(current, {}));
            started = false;
            continue;
        }
        started = true;
        if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
            current += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else {
            current += c;
        }
    }
    if (started) args.push_back(std::move(current));
    return args;
}

}  // namespace lotpick
