// The floor under an all-done run: N lines shaped like lotpick's redraw
// lines, written the way lotpick writes them (one write(2) a line, at once),
// and nothing else. Usage: line_writes N

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    const long lines = std::strtol(argv[1], nullptr, 10);
    constexpr std::string_view text = "Selecting new file ";
    char line[text.size() + 16];
    text.copy(line, text.size());
    for (long i = 0; i < lines; ++i) {
        char* end = std::to_chars(line + text.size(), line + sizeof line - 1, i * 7919 % (lines + 1)).ptr;
        *end++ = '\n';
        if (::write(STDOUT_FILENO, line, static_cast<std::size_t>(end - line)) < 0) return 1;
    }
    return 0;
}
