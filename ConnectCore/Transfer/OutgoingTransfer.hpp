#pragma once

#include "TarnwickConnectProtocol/Messages/FileDescriptor.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// Local files as described for an offer: what a send offers, and what a retry offers again with the same
/// file IDs, so that a receiver keeping partial files resumes them. Outlives the connection it was sent on.
struct OutgoingTransfer {
    /// One described file.
    struct File {
        std::filesystem::path path;
        FileDescriptor descriptor;
        /// When it was last changed as it was described: with the size, what makes it the same file later.
        std::filesystem::file_time_type modified;
    };

    /// Names the transfer across its retries (each of which is a new offer with an ID of its own).
    std::string transferID;
    std::optional<std::string> origin;
    std::vector<File> files;
};

} // namespace tarnwick
