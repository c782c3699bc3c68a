// Test support, Windows: text streams write every LF as CR LF.

#include "support/text.h"

namespace lotpick::test {

std::string console_text(std::string_view text) {
    std::string written;
    for (const char c : text) {
        if (c == '\n') written += '\r';
        written += c;
    }
    return written;
}

}  // namespace lotpick::test
