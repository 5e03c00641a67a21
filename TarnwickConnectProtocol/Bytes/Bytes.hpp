#pragma once

#include "TarnwickConnectProtocol/Bytes/UninitializedAllocator.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tarnwick {

/// An owned byte buffer: payloads, digests, keys, DER. `Bytes(n)` and `resize(n)` leave the new bytes
/// unset: fill every one, or ask for zeros with `Bytes(n, 0)`.
using Bytes = std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>>;
/// A borrowed, read-only view of bytes.
using ByteView = std::span<const std::uint8_t>;

/// Appends the value most significant byte first.
void appendBigEndian(Bytes& bytes, std::uint16_t value);
void appendBigEndian(Bytes& bytes, std::uint32_t value);
void appendBigEndian(Bytes& bytes, std::uint64_t value);

/// Reads a big-endian value starting at `at`; the caller has checked that the bytes are present.
std::uint16_t bigEndianUInt16(ByteView bytes, std::size_t at);
std::uint32_t bigEndianUInt32(ByteView bytes, std::size_t at);
std::uint64_t bigEndianUInt64(ByteView bytes, std::size_t at);

/// The UTF-8 (or any) bytes of a text, unchanged.
Bytes bytesOf(std::string_view text);

} // namespace tarnwick
