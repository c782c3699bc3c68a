// Splitting a whole command-line string into arguments, for platforms that
// hand the process one string instead of an argument vector.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lotpick {

// Runs of blanks and tabs outside quotes separate arguments. A double quote
// switches quoting on or off and is dropped; a backslash right before a double
// quote makes that quote a literal one that switches nothing; every other
// backslash is literal. Quotes alone ("") make an empty argument.
std::vector<std::string> split_command_line(std::string_view line);

}  // namespace lotpick
