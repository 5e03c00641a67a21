#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Crypto/SHA256.hpp"

#include <cstdint>
#include <filesystem>

namespace tarnwick {

/// Appends to one partial file with positional writes, hashing every byte on the way, so verifying a
/// received file needs no second pass over it. Its calls block: run them on the blocking-work pool, one
/// at a time. Failures are `std::filesystem::filesystem_error` with the path.
/// Dropping a writer without `close` abandons it: the file is closed and stays as it is.
class IncrementalWriter {
public:
    /// Opens the file for appending. Unless `resuming` and a file exists there, any file at the path is
    /// replaced by an empty one; a resumed file's bytes are read once into the digest. Symbolic links are
    /// never followed.
    IncrementalWriter(std::filesystem::path path, bool resuming);
    ~IncrementalWriter();
    IncrementalWriter(const IncrementalWriter&) = delete;
    IncrementalWriter& operator=(const IncrementalWriter&) = delete;

    const std::filesystem::path& path() const { return path_; }
    /// The file's length, which is where the next write goes.
    std::uint64_t writtenBytes() const { return writtenBytes_; }

    /// Writes all the bytes at the end; empty input does nothing.
    void write(ByteView bytes);
    /// Syncs the whole file system the file is on. Several files written one after another are made
    /// durable by one such sync instead of one sync each, which would flush the disk's cache every time.
    void syncFileSystem() const;
    /// Waits until the bytes written are on the disk (a sync of its file system has usually written them
    /// already), reports a failure to write them back, and closes the file.
    void close();
    /// The SHA-256 of the whole file: what was there when resuming, then every byte written. Call once.
    Bytes sha256() { return digest_.finish(); }

    /// Written bytes are handed to the disk in steps of this size, so that `finish` waits for the last
    /// step only instead of for the whole file.
    static constexpr std::uint64_t writeBackStep = 32 * 1024 * 1024;
    /// Writes at least this long are hashed on a second thread while they go to the file; shorter ones
    /// cost less than starting that thread.
    static constexpr std::size_t parallelHashFrom = 256 * 1024;

private:
    void writeAll(ByteView bytes);
    void startWriteBack();

    std::filesystem::path path_;
    int descriptor_ = -1;
    std::uint64_t writtenBytes_ = 0;
    std::uint64_t writeBackFrom_ = 0;
    SHA256 digest_;
};

} // namespace tarnwick
