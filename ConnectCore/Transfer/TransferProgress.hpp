#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

/// How far the send of one file has got; handed to the caller's progress callback after every chunk.
struct TransferProgress {
    std::string fileID;
    /// The name the file was offered under.
    std::string name;
    /// The file offset up to which chunks have been handed to the session, the resume offset included.
    std::uint64_t sentBytes = 0;
    /// The file's size when its send began.
    std::uint64_t totalBytes = 0;
    /// What the peer has confirmed as written.
    std::uint64_t acknowledgedBytes = 0;

    /// The part sent, from 0 to 1; an empty file counts as fully sent.
    double fraction() const {
        return totalBytes == 0 ? 1.0 : static_cast<double>(sentBytes) / static_cast<double>(totalBytes);
    }

    bool operator==(const TransferProgress&) const = default;
};

} // namespace tarnwick
