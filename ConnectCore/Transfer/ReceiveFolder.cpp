#include "ConnectCore/Transfer/ReceiveFolder.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <system_error>

namespace tarnwick {
namespace {

// The candidate for attempt n: the name itself, then "base n.ext" ("photo 2.jpg", "notes 2").
std::string candidateName(const std::string& name, int attempt) {
    if (attempt == 1) {
        return name;
    }
    const std::filesystem::path path(name);
    const std::string extension = path.extension().string();
    return path.stem().string() + " " + std::to_string(attempt) + extension;
}

bool isTaken(const std::filesystem::path& path) {
    std::error_code error;
    // A dangling link counts as taken.
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

// Moves without replacing; false when the target appeared since it was chosen.
bool moveIfFree(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    if (errno == EINVAL || errno == ENOSYS) {
        std::filesystem::rename(from, to); // a file system without the no-replace flag
        return true;
    }
    throw std::filesystem::filesystem_error("rename", from, to,
                                            std::error_code(errno, std::generic_category()));
}

void deleteAndRefuse(const std::filesystem::path& partial, const std::string& fileID) {
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    throw TWCPError::integrityMismatch(fileID);
}

} // namespace

ReceiveFolder::ReceiveFolder(std::filesystem::path directory) : directory_(std::move(directory)) {
    std::filesystem::create_directories(directory_);
}

bool ReceiveFolder::isPlainFileID(std::string_view fileID) {
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    return !fileID.empty() && fileID.size() <= maximumFileIDByteCount &&
           fileID.find_first_of("/\\") == std::string_view::npos &&
           fileID.find("..") == std::string_view::npos &&
           std::none_of(fileID.begin(), fileID.end(), isControl);
}

std::filesystem::path ReceiveFolder::partialPath(const FileDescriptor& descriptor) const {
    return directory_ / ("." + descriptor.fileID + "-" + std::to_string(descriptor.byteCount) + ".part");
}

std::uint64_t ReceiveFolder::resumableLength(const FileDescriptor& descriptor) const {
    const auto path = partialPath(descriptor);
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    const auto length =
        std::filesystem::is_regular_file(status) ? std::filesystem::file_size(path, error) : 0;
    return !error && length < descriptor.byteCount ? length : 0;
}

std::shared_ptr<IncrementalWriter> ReceiveFolder::openPartial(const FileDescriptor& descriptor,
                                                              std::uint64_t resumeFrom) const {
    auto writer = std::make_shared<IncrementalWriter>(partialPath(descriptor), resumeFrom > 0);
    // Something else wrote to it since the offer was answered: the peer would send the wrong bytes.
    if (writer->writtenBytes() != resumeFrom) {
        throw TWCPError::integrityMismatch(descriptor.fileID);
    }
    return writer;
}

std::uint64_t ReceiveFolder::availableBytes() const {
    struct statvfs status {};
    if (::statvfs(directory_.c_str(), &status) != 0) {
        throw std::filesystem::filesystem_error("statvfs", directory_,
                                                std::error_code(errno, std::generic_category()));
    }
    return static_cast<std::uint64_t>(status.f_bavail) * status.f_frsize;
}

void ReceiveFolder::removePartial(const FileDescriptor& descriptor) const {
    std::error_code ignored;
    std::filesystem::remove(partialPath(descriptor), ignored);
}

std::size_t ReceiveFolder::removeStalePartials(std::chrono::system_clock::duration maximumAge) const {
    const auto oldest = std::filesystem::file_time_type::clock::now() - maximumAge;
    std::size_t removed = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory_, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(".") || !name.ends_with(".part") || !entry.is_regular_file(error)) {
            continue;
        }
        const auto written = entry.last_write_time(error);
        if (!error && written < oldest && std::filesystem::remove(entry.path(), error)) {
            removed += 1;
        }
    }
    return removed;
}

std::filesystem::path ReceiveFolder::uniquePath(const std::string& name) const {
    for (int attempt = 1;; ++attempt) {
        auto candidate = directory_ / candidateName(name, attempt);
        if (!isTaken(candidate)) {
            return candidate;
        }
    }
}

std::vector<ReceiveFolder::Placement> ReceiveFolder::placeAll(const std::vector<Arrival>& arrivals) const {
    std::vector<Placement> placements;
    if (arrivals.empty()) {
        return placements;
    }
    std::exception_ptr syncFailure;
    try {
        arrivals.front().writer->syncFileSystem();
    } catch (...) {
        syncFailure = std::current_exception();
    }
    for (const auto& arrival : arrivals) {
        try {
            arrival.writer->close();
            if (syncFailure) {
                std::rethrow_exception(syncFailure);
            }
            placements.emplace_back(place(*arrival.writer, arrival.complete, arrival.name));
        } catch (...) {
            placements.emplace_back(std::current_exception());
        }
    }
    return placements;
}

std::filesystem::path ReceiveFolder::place(IncrementalWriter& writer, const CompleteMessage& complete,
                                           const std::string& name) const {
    const auto& partial = writer.path();
    // The writer's digest covers a resumed file's earlier bytes too.
    if (writer.writtenBytes() != complete.byteCount || writer.sha256() != complete.sha256) {
        deleteAndRefuse(partial, complete.fileID);
    }
    for (;;) {
        auto target = uniquePath(name);
        if (moveIfFree(partial, target)) {
            return target;
        }
    }
}

} // namespace tarnwick
