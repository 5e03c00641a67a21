#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

namespace tarnwick {
namespace {

template <typename Integer> void appendWidth(Bytes& bytes, Integer value) {
    for (int shift = 8 * (sizeof(Integer) - 1); shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

template <typename Integer> Integer readWidth(ByteView bytes, std::size_t at) {
    Integer value = 0;
    for (std::size_t i = 0; i < sizeof(Integer); ++i) {
        value = static_cast<Integer>((value << 8) | bytes[at + i]);
    }
    return value;
}

} // namespace

void appendBigEndian(Bytes& bytes, std::uint16_t value) {
    appendWidth(bytes, value);
}
void appendBigEndian(Bytes& bytes, std::uint32_t value) {
    appendWidth(bytes, value);
}
void appendBigEndian(Bytes& bytes, std::uint64_t value) {
    appendWidth(bytes, value);
}

std::uint16_t bigEndianUInt16(ByteView bytes, std::size_t at) {
    return readWidth<std::uint16_t>(bytes, at);
}
std::uint32_t bigEndianUInt32(ByteView bytes, std::size_t at) {
    return readWidth<std::uint32_t>(bytes, at);
}
std::uint64_t bigEndianUInt64(ByteView bytes, std::size_t at) {
    return readWidth<std::uint64_t>(bytes, at);
}

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

} // namespace tarnwick
