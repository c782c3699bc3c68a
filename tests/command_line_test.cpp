// The command-line splitter: blanks, quotes and backslashes, one case a row.

#include "command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace lotpick {
namespace {

using Args = std::vector<std::string>;

struct SplitCase {
    std::string_view line;
    Args args;
};

TEST(SplitCommandLine, SplitsByBlanksQuotesAndBackslashes) {
    const SplitCase cases[] = {
        {"", {}},
        {" \t  ", {}},
        {"lotpick list.txt wall.bmp", {"lotpick", "list.txt", "wall.bmp"}},
        {"  a \t\t b  ", {"a", "b"}},
        {"\"my list.txt\" wall", {"my list.txt", "wall"}},
        {"\"a\tb\"", {"a\tb"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\"", {""}},
        {"\"\" x \"\"", {"", "x", ""}},
        {"\"\"\"\"", {""}},
        {"\"unclosed quote", {"unclosed quote"}},
        {"a\\\"b", {"a\"b"}},
        {"\"a \\\" b\"", {"a \" b"}},
        {"\\\"a b\\\"", {"\"a", "b\""}},
        {"C:\\dir\\file.txt", {"C:\\dir\\file.txt"}},
        {"\\\\server\\share", {"\\\\server\\share"}},
        {"a\\", {"a\\"}},
        {"\"C:\\dir\"\\ x", {"C:\\dir\\", "x"}},
        {"\"C:\\dir\\\" x", {"C:\\dir\" x"}},
        {"a\\\\\"b c\"", {"a\\\"b", "c"}},
        {"a\nb", {"a\nb"}},
    };
    for (const SplitCase& c : cases) EXPECT_EQ(split_command_line(c.line), c.args) << c.line;
}

}  // namespace
}  // namespace lotpick
