#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::SafeFilename {

/// Largest UTF-8 byte length of a sanitised name, well inside every common file system's limit.
constexpr std::size_t maximumByteCount = 200;

/// Device names that some file systems never let a file take, whatever its extension.
constexpr std::array<std::string_view, 22> reservedStems{
    "con",  "prn",  "aux",  "nul",  "com1", "com2", "com3", "com4", "com5", "com6", "com7",
    "com8", "com9", "lpt1", "lpt2", "lpt3", "lpt4", "lpt5", "lpt6", "lpt7", "lpt8", "lpt9"};

/// Reduces a name chosen by a peer to one harmless path component: no directories, no controls or
/// reordering marks, no leading dot, no reserved device name, NFC, at most `maximumByteCount` bytes.
/// Ill-formed UTF-8 is read with U+FFFD in place of each bad sequence, so the result is valid UTF-8.
/// Returns `fallback` unchanged when nothing usable is left; the caller passes a safe name there.
std::string sanitize(std::string_view name, std::string_view fallback);

/// A local file's name as it is offered: unchanged when it is valid UTF-8, else with U+FFFD in place of
/// each ill-formed sequence. Linux names are bytes, while names on the wire are text.
std::string offeredName(std::string_view name);

/// Whether a name as received climbs directories, hides itself, reorders its display or holds controls
/// or ill-formed UTF-8.
bool isSuspicious(std::string_view name);

} // namespace tarnwick::SafeFilename
