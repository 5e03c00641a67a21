#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <cstdint>
#include <filesystem>
#include <span>

namespace tarnwick {

class SHA256;

/// Reads one file by absolute offsets (pread), keeping no file position between calls. Its calls block:
/// run them on the blocking-work pool. Failures are `std::filesystem::filesystem_error` with the path.
class PositionalReader {
public:
    /// Opens the file read-only and measures it.
    explicit PositionalReader(std::filesystem::path path);
    ~PositionalReader();
    PositionalReader(const PositionalReader&) = delete;
    PositionalReader& operator=(const PositionalReader&) = delete;

    /// The file's size when it was opened.
    std::uint64_t byteCount() const { return byteCount_; }
    const std::filesystem::path& path() const { return path_; }

    /// Up to `length` bytes from `offset`, fewer only at the end of the file; empty at or past the size
    /// measured at opening.
    Bytes read(std::uint64_t offset, std::int64_t length) const;
    /// Fills `buffer` from `offset` as `read` would, and returns how many bytes it filled.
    std::size_t readInto(std::uint64_t offset, std::span<std::uint8_t> buffer) const;
    /// The SHA-256 of the file's bytes up to the size measured at opening, read 4 MiB at a time.
    Bytes sha256() const;
    /// Feeds those bytes to a running hash instead.
    void hashInto(SHA256& hash) const;

    /// Bytes read at a time while hashing: large enough for full disk speed, small enough to stay bounded.
    static constexpr std::size_t hashReadSize = 0x400000;

private:
    std::filesystem::path path_;
    int descriptor_ = -1;
    std::uint64_t byteCount_ = 0;
};

} // namespace tarnwick
