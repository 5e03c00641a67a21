#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick::UTTypeIdentifier {

/// The uniform type a peer expects for files with this name's extension (case-insensitive), such as
/// "public.jpeg" or "com.apple.quicktime-movie"; "public.data" when the extension is unknown or absent.
std::string forFile(const std::filesystem::path& file);

/// Whether the type names movie or sound content, whose container must be complete before it is sent.
bool isAudioVisual(std::string_view uti);

} // namespace tarnwick::UTTypeIdentifier
