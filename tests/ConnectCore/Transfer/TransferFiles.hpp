#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace tarnwick::testing {

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
