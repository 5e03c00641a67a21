#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <filesystem>
#include <optional>

/// Files that hold secrets (the device key, tokens): born readable by their owner only, never
/// loosened afterwards, and replaced whole or not at all. Failures throw std::system_error.
namespace tarnwick::PrivateFile {

/// Creates the folder and any missing parents with mode 0700. A folder that exists is made 0700 too (an
/// older version or the user may have opened it); the parents that exist are left as they are.
void createFolder(const std::filesystem::path& folder);

/// Replaces the file's contents: they go to a new 0600 temporary beside it, reach the disk, and only
/// then take the file's name, so a failed write leaves the old file whole and no temporary behind. The
/// folder is synced after the rename, so the new name survives a crash too.
void write(const std::filesystem::path& file, ByteView contents);

/// The file's contents, or none when it cannot be read or holds more than `limit` bytes.
std::optional<Bytes> read(const std::filesystem::path& file, std::size_t limit);

} // namespace tarnwick::PrivateFile
