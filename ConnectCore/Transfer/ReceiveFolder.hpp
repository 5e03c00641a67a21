#pragma once

#include "ConnectCore/Transfer/IncrementalWriter.hpp"
#include "TarnwickConnectProtocol/Messages/CompleteMessage.hpp"
#include "TarnwickConnectProtocol/Messages/FileDescriptor.hpp"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tarnwick {

/// The folder incoming files are written to: hidden partial files that a later offer can resume, and
/// verified files placed under unique names. Nothing is ever created outside it. Its calls block: run
/// them on the blocking-work pool. File-system failures are `std::filesystem::filesystem_error`.
class ReceiveFolder {
public:
    /// Longest file ID accepted from a peer.
    static constexpr std::size_t maximumFileIDByteCount = 64;

    /// Creates the folder and any missing parents.
    explicit ReceiveFolder(std::filesystem::path directory);

    const std::filesystem::path& directory() const { return directory_; }

    /// Whether a peer's file ID can name a partial file: 1 to 64 bytes, no "/", "\", "..", NUL or controls.
    static bool isPlainFileID(std::string_view fileID);

    /// ".<fileID>-<byteCount>.part": only an offer of the same file ID and size finds it again.
    std::filesystem::path partialPath(const FileDescriptor& descriptor) const;

    /// The length of the file's partial file when it holds some but not all of the offered bytes (it can
    /// be resumed), else 0. Only looks: nothing is opened or created. The file ID must be plain.
    std::uint64_t resumableLength(const FileDescriptor& descriptor) const;

    /// A writer on the file's partial file: continuing it from `resumeFrom` when that is not 0 (its length
    /// must still be that, else `integrityMismatch`), and starting it afresh otherwise.
    std::shared_ptr<IncrementalWriter> openPartial(const FileDescriptor& descriptor,
                                                   std::uint64_t resumeFrom) const;

    /// Bytes an unprivileged writer may still put on the folder's file system.
    std::uint64_t availableBytes() const;

    /// Removes the file's partial file, if any; a failure is ignored.
    void removePartial(const FileDescriptor& descriptor) const;

    /// Removes hidden partial files last written more than `maximumAge` ago: transfers nobody resumed.
    /// Returns how many went. Meant for the start of the program.
    std::size_t removeStalePartials(std::chrono::system_clock::duration maximumAge = stalePartialAge) const;

    /// How long an untouched partial file is kept for a resume.
    static constexpr std::chrono::hours stalePartialAge{7 * 24};

    /// The first name not taken in the folder among "name", "base 2.ext", "base 3.ext", …
    std::filesystem::path uniquePath(const std::string& name) const;

    /// A file whose bytes have all arrived: its writer, the sender's `complete` and the sanitised name
    /// to place it under.
    struct Arrival {
        std::shared_ptr<IncrementalWriter> writer;
        CompleteMessage complete;
        std::string name;
    };
    /// Where a file went, or the error that kept it out.
    using Placement = std::variant<std::filesystem::path, std::exception_ptr>;

    /// Makes the files' bytes durable with one sync, then checks each against the sender's size and
    /// SHA-256 (on a mismatch its partial file is deleted and the placement is `integrityMismatch`) and
    /// moves it to a unique path made from its name, without ever replacing a file. A file whose bytes
    /// could not be written keeps its partial file and the error.
    std::vector<Placement> placeAll(const std::vector<Arrival>& arrivals) const;

private:
    std::filesystem::path place(IncrementalWriter& writer, const CompleteMessage& complete,
                                const std::string& name) const;

    std::filesystem::path directory_;
};

} // namespace tarnwick
