#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

/// Text from other devices made safe to print on a terminal.
class TerminalText {
public:
    /// `text` with every character that could move the cursor, end the line, start an escape sequence or
    /// reorder what follows (C0 and C1 controls, DEL, line and paragraph separators, bidirectional
    /// overrides and isolates) written as `\u{XXXX}`, and `\` as `\\`, so that a device's name cannot forge
    /// a line of output. Bytes that are not UTF-8 become U+FFFD.
    static std::string escaped(std::string_view text);
};

} // namespace tarnwick
