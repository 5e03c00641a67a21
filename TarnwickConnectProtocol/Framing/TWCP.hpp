#pragma once

#include <cstddef>
#include <cstdint>

/// Constants of TWCP version 1.
namespace tarnwick::TWCP {

/// "TWCP" in ASCII: the first word of every frame.
inline constexpr std::uint32_t magic = 0x54574350;
/// The one protocol version this library speaks.
inline constexpr std::uint8_t version = 1;
/// Bytes of the fixed frame header that precedes every payload.
inline constexpr std::size_t headerSize = 20;
/// Largest payload one frame may carry (8 MiB).
inline constexpr std::uint32_t maxPayloadLength = 0x800000;

} // namespace tarnwick::TWCP
