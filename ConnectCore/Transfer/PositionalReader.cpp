#include "ConnectCore/Transfer/PositionalReader.hpp"

#include "TarnwickConnectProtocol/Crypto/SHA256.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tarnwick {
namespace {

[[noreturn]] void throwFileError(const char* operation, const std::filesystem::path& path, int error) {
    throw std::filesystem::filesystem_error(operation, path, std::error_code(error, std::generic_category()));
}

} // namespace

PositionalReader::PositionalReader(std::filesystem::path path) : path_(std::move(path)) {
    // Non-blocking, so that opening a named pipe cannot stall a pool thread; regular files ignore it.
    descriptor_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor_ < 0) {
        throwFileError("open", path_, errno);
    }
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0) {
        const int error = errno;
        ::close(descriptor_);
        throwFileError("stat", path_, error);
    }
    byteCount_ = static_cast<std::uint64_t>(status.st_size);
}

PositionalReader::~PositionalReader() {
    ::close(descriptor_);
}

Bytes PositionalReader::read(std::uint64_t offset, std::int64_t length) const {
    if (length <= 0 || offset >= byteCount_) {
        return {};
    }
    Bytes bytes(static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(length), byteCount_ - offset)));
    bytes.resize(readInto(offset, bytes));
    return bytes;
}

std::size_t PositionalReader::readInto(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
    if (offset >= byteCount_) {
        return 0;
    }
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), byteCount_ - offset));
    std::size_t done = 0;
    while (done < want) {
        const ssize_t got =
            ::pread(descriptor_, buffer.data() + done, want - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throwFileError("read", path_, errno);
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

Bytes PositionalReader::sha256() const {
    SHA256 hash;
    hashInto(hash);
    return hash.finish();
}

// The next block is read on a second thread while this one is hashed: where a core is free, a large file
// takes about the time of the hash alone.
void PositionalReader::hashInto(SHA256& hash) const {
    Bytes current(static_cast<std::size_t>(std::min<std::uint64_t>(hashReadSize, byteCount_)));
    Bytes next(current.size());
    std::size_t got = readInto(0, current);
    for (std::uint64_t offset = 0; got > 0;) {
        offset += got;
        std::future<std::size_t> reading;
        if (offset < byteCount_) {
            reading =
                std::async(std::launch::async, [this, offset, &next] { return readInto(offset, next); });
        }
        hash.update(ByteView(current).first(got));
        got = reading.valid() ? reading.get() : 0;
        std::swap(current, next);
    }
}

} // namespace tarnwick
