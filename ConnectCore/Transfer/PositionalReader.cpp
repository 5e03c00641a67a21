#include "ConnectCore/Transfer/PositionalReader.hpp"

#include "TarnwickConnectProtocol/Crypto/SHA256.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
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

void PositionalReader::hashInto(SHA256& hash) const {
    Bytes buffer(static_cast<std::size_t>(std::min<std::uint64_t>(hashReadSize, byteCount_)));
    for (std::uint64_t offset = 0; offset < byteCount_;) {
        const std::size_t got = readInto(offset, buffer);
        if (got == 0) {
            break;
        }
        hash.update(ByteView(buffer).first(got));
        offset += got;
    }
}

} // namespace tarnwick
