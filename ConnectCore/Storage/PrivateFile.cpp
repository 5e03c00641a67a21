#include "ConnectCore/Storage/PrivateFile.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace tarnwick::PrivateFile {
namespace {

[[noreturn]] void fail(const char* what, const std::filesystem::path& path, int error = errno) {
    throw std::system_error(error, std::generic_category(), std::string(what) + " " + path.string());
}

/// An open descriptor, closed when it goes; a temporary file also loses its name unless kept.
class Descriptor {
public:
    Descriptor(int descriptor, std::filesystem::path temporary = {})
        : descriptor_(descriptor),
          temporary_(std::move(temporary)) {}
    ~Descriptor() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
        if (!temporary_.empty()) {
            ::unlink(temporary_.c_str());
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return descriptor_; }
    /// Closes now so that the error of a delayed write is seen.
    void close() {
        const int descriptor = std::exchange(descriptor_, -1);
        if (::close(descriptor) != 0) {
            fail("cannot close", temporary_);
        }
    }
    void keep() { temporary_.clear(); }

private:
    int descriptor_;
    std::filesystem::path temporary_;
};

void writeAll(int descriptor, ByteView bytes, const std::filesystem::path& path) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno != EINTR) {
            fail("cannot write", path);
        }
        bytes = bytes.subspan(static_cast<std::size_t>(std::max<ssize_t>(written, 0)));
    }
}

/// Makes a folder that exists 0700: secrets inside must not be listed or reached by others.
void tighten(const std::filesystem::path& folder) {
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) {
        fail("cannot inspect folder", folder);
    }
    if ((status.st_mode & 07777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) {
        fail("cannot make private", folder);
    }
}

/// Makes a rename in the folder durable: without this a crash can lose a file's new name.
void syncFolder(const std::filesystem::path& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        fail("cannot open folder", folder);
    }
    Descriptor opened(descriptor);
    if (::fsync(opened.get()) != 0) {
        fail("cannot flush folder", folder);
    }
}

void createMissing(const std::filesystem::path& folder) {
    if (folder.empty() || std::filesystem::is_directory(folder)) {
        return;
    }
    createMissing(folder.parent_path());
    if (::mkdir(folder.c_str(), 0700) != 0) {
        const int error = errno;
        // A folder made meanwhile by someone else is as good as ours.
        if (error != EEXIST || !std::filesystem::is_directory(folder)) {
            fail("cannot create folder", folder, error);
        }
    }
}

} // namespace

void createFolder(const std::filesystem::path& folder) {
    createMissing(folder);
    if (!folder.empty()) {
        tighten(folder);
    }
}

void write(const std::filesystem::path& file, ByteView contents) {
    // mkostemp opens with O_CREAT | O_EXCL and mode 0600, so the bytes are private from the first one.
    std::string temporary = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        fail("cannot create", temporary);
    }
    Descriptor opened(descriptor, temporary);
    writeAll(opened.get(), contents, temporary);
    if (::fsync(opened.get()) != 0) {
        fail("cannot flush", temporary);
    }
    opened.close();
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        fail("cannot replace", file);
    }
    opened.keep();
    syncFolder(file.parent_path().empty() ? "." : file.parent_path());
}

std::optional<Bytes> read(const std::filesystem::path& file, std::size_t limit) {
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    Descriptor opened(descriptor);
    // One byte beyond the limit tells a file that is too long from one that fits exactly.
    Bytes bytes(limit + 1);
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(opened.get(), bytes.data() + filled, bytes.size() - filled);
        if (got == 0) {
            break;
        }
        if (got < 0 && errno != EINTR) {
            return std::nullopt;
        }
        filled += static_cast<std::size_t>(std::max<ssize_t>(got, 0));
    }
    if (filled > limit) {
        return std::nullopt;
    }
    bytes.resize(filled);
    return bytes;
}

} // namespace tarnwick::PrivateFile
