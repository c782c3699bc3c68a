// List files: the line-end rule and the walk from a pick index to a name.

#include "line_list.h"

#include <cstring>

namespace lotpick {
namespace {

constexpr char cr = '\r';
constexpr char lf = '\n';

bool is_line_end_at(std::string_view text, std::size_t i) {
    return text[i] == cr || (text[i] == lf && (i == 0 || text[i - 1] != cr));
}

// Offset just past the next line end at or after `from`, or text.size().
std::size_t skip_line_end(std::string_view text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i)
        if (is_line_end_at(text, i)) return i + 1;
    return text.size();
}

}  // namespace

platform::Loaded load_text_file(const std::string& path) {
    return platform::read_file(path, platform::Lock::none);
}

std::uint64_t count_line_ends(std::string_view text) {
    std::uint64_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) count += is_line_end_at(text, i) ? 1 : 0;
    return count;
}

std::string_view copy_line(std::string_view text, std::int64_t k) {
    std::size_t at = 0;
    for (std::int64_t skipped = 1; skipped < k && at < text.size(); ++skipped) at = skip_line_end(text, at);
    while (at < text.size() && (text[at] == cr || text[at] == lf)) ++at;
    std::size_t end = at;
    while (end < text.size() && text[end] != cr && text[end] != lf && text[end] != '\0') ++end;
    return text.substr(at, end - at);
}

std::uint64_t line_number_at(std::string_view text, std::size_t offset) {
    return count_line_ends(text.substr(0, offset)) + 1;
}

}  // namespace lotpick
