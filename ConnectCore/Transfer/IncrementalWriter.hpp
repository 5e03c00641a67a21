#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <cstdint>
#include <filesystem>

namespace tarnwick {

/// Appends to one partial file with positional writes. Its calls block: run them on the blocking-work
/// pool, one at a time. Failures are `std::filesystem::filesystem_error` with the path.
/// Dropping a writer without `finish` abandons it: the file is closed and stays as it is.
class IncrementalWriter {
public:
    /// Opens the file for appending. Unless `resuming` and a file exists there, any file at the path is
    /// replaced by an empty one. Symbolic links are never followed.
    IncrementalWriter(std::filesystem::path path, bool resuming);
    ~IncrementalWriter();
    IncrementalWriter(const IncrementalWriter&) = delete;
    IncrementalWriter& operator=(const IncrementalWriter&) = delete;

    const std::filesystem::path& path() const { return path_; }
    /// The file's length, which is where the next write goes.
    std::uint64_t writtenBytes() const { return writtenBytes_; }

    /// Writes all the bytes at the end; empty input does nothing.
    void write(ByteView bytes);
    /// Flushes the file to stable storage and closes it.
    void finish();

private:
    std::filesystem::path path_;
    int descriptor_ = -1;
    std::uint64_t writtenBytes_ = 0;
};

} // namespace tarnwick
