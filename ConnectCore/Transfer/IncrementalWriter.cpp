#include "ConnectCore/Transfer/IncrementalWriter.hpp"

#include "ConnectCore/Transfer/PositionalReader.hpp"

#include <cerrno>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace tarnwick {
namespace {

[[noreturn]] void throwFileError(const char* operation, const std::filesystem::path& path, int error) {
    throw std::filesystem::filesystem_error(operation, path, std::error_code(error, std::generic_category()));
}

} // namespace

IncrementalWriter::IncrementalWriter(std::filesystem::path path, bool resuming) : path_(std::move(path)) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
    if (!resuming) {
        ::unlink(path_.c_str()); // whatever was there (a stale file, a link) goes; a failure shows at open
        flags |= O_EXCL;
    }
    descriptor_ = ::open(path_.c_str(), flags, 0644);
    if (descriptor_ < 0) {
        throwFileError("open", path_, errno);
    }
    const off_t end = ::lseek(descriptor_, 0, SEEK_END);
    if (end < 0) {
        const int error = errno;
        ::close(descriptor_);
        throwFileError("seek", path_, error);
    }
    writtenBytes_ = static_cast<std::uint64_t>(end);
    writeBackFrom_ = writtenBytes_;
    if (writtenBytes_ > 0) {
        try {
            PositionalReader(path_).hashInto(digest_);
        } catch (...) {
            ::close(descriptor_);
            throw;
        }
    }
}

IncrementalWriter::~IncrementalWriter() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

// The digest of a long write is taken on a second thread while the bytes go to the file: where a core is
// free, a chunk takes about the time of the hash alone.
void IncrementalWriter::write(ByteView bytes) {
    if (bytes.size() < parallelHashFrom) {
        digest_.update(bytes);
        writeAll(bytes);
    } else {
        auto hashing = std::async(std::launch::async, [this, bytes] { digest_.update(bytes); });
        writeAll(bytes);
        hashing.get();
    }
    writtenBytes_ += bytes.size();
    if (writtenBytes_ - writeBackFrom_ >= writeBackStep) {
        startWriteBack();
    }
}

void IncrementalWriter::writeAll(ByteView bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::pwrite(descriptor_, bytes.data() + done, bytes.size() - done,
                                       static_cast<off_t>(writtenBytes_ + done));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote < 0) {
            throwFileError("write", path_, errno);
        }
        done += static_cast<std::size_t>(wrote);
    }
}

// Only starts the disk writes and does not wait; an error there is reported by `close`.
void IncrementalWriter::startWriteBack() {
    ::sync_file_range(descriptor_, static_cast<off_t>(writeBackFrom_),
                      static_cast<off_t>(writtenBytes_ - writeBackFrom_), SYNC_FILE_RANGE_WRITE);
    writeBackFrom_ = writtenBytes_;
}

void IncrementalWriter::syncFileSystem() const {
    if (::syncfs(descriptor_) != 0) {
        throwFileError("syncfs", path_, errno);
    }
}

// The wait reports write-back errors of this file only, from whenever they happened since it was opened.
void IncrementalWriter::close() {
    const int descriptor = std::exchange(descriptor_, -1);
    const bool written = ::sync_file_range(descriptor, 0, 0,
                                           SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                               SYNC_FILE_RANGE_WAIT_AFTER) == 0;
    const int writeError = errno;
    if (::close(descriptor) != 0 && written) {
        throwFileError("close", path_, errno);
    }
    if (!written) {
        throwFileError("sync_file_range", path_, writeError);
    }
}

} // namespace tarnwick
