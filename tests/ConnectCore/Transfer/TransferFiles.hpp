#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace tarnwick::testing {

/// A fresh folder under the system's temporary directory, removed with everything in it.
class TemporaryFolder {
public:
    TemporaryFolder() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("tarnwick-transfer-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    /// Writes a file in the folder and returns its path.
    std::filesystem::path write(const std::string& name, const Bytes& bytes) const {
        const auto path = path_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    /// The names in the folder, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Reproducible bytes that differ from one seed to another.
inline Bytes patternBytes(std::size_t count, std::uint32_t seed = 1) {
    std::mt19937 generator(seed);
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; i += 4) {
        const std::uint32_t word = generator();
        std::memcpy(bytes.data() + i, &word, std::min<std::size_t>(4, count - i));
    }
    return bytes;
}

constexpr std::uint64_t MiB = 0x100000;

} // namespace tarnwick::testing
