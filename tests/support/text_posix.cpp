// Test support, POSIX: text streams write bytes as they are.

#include "support/text.h"

namespace lotpick::test {

std::string console_text(std::string_view text) { return std::string(text); }

}  // namespace lotpick::test
