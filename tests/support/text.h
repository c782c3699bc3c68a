// Test support: what text looks like once the program under test has written
// it to standard output or standard error, which are text streams.
#pragma once

#include <string>
#include <string_view>

namespace lotpick::test {

// `text` as a text stream of this platform writes it: unchanged on POSIX
// systems, every LF as CR LF on Windows.
std::string console_text(std::string_view text);

}  // namespace lotpick::test
