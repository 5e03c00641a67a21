#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

/// A minimal writer of ITU-T X.690 distinguished encodings, enough for our certificate and PKCS#12
/// container. It only writes and never fails; every operation returns tag, length and content.
namespace tarnwick::DER {

/// The universal tags we write; the raw value is the complete tag byte.
enum class Tag : std::uint8_t {
    boolean = 0x01,
    integer = 0x02,
    bitString = 0x03,
    octetString = 0x04,
    null = 0x05,
    objectIdentifier = 0x06,
    utf8String = 0x0C,
    printableString = 0x13,
    utcTime = 0x17,
    generalizedTime = 0x18,
    sequence = 0x30,
    set = 0x31,
};

/// A point in time as the certificate's validity sees it.
using Instant = std::chrono::system_clock::time_point;

/// Tag byte, definite length octets, content.
Bytes encode(Tag tag, ByteView content);
Bytes encode(std::uint8_t tag, ByteView content);

/// The definite-form length octets alone (short form below 128, else 0x80 + k and k bytes).
Bytes length(std::size_t count);

/// Context-specific tag n, constructed (0xA0 | n) or primitive (0x80 | n).
Bytes contextConstructed(std::uint8_t n, ByteView content);
Bytes contextPrimitive(std::uint8_t n, ByteView content);

/// The encodings in the given order; `set` does not sort (ours always hold one member).
Bytes sequence(const std::vector<Bytes>& elements);
Bytes set(const std::vector<Bytes>& elements);

/// An INTEGER from an unsigned big-endian magnitude: redundant leading zeros dropped, a zero put in
/// front when the top bit is set.
Bytes integer(ByteView magnitude);
/// An INTEGER from a non-negative machine integer.
Bytes integer(std::uint64_t value);

/// A BIT STRING with no unused bits.
Bytes bitString(ByteView bytes);
Bytes octetString(ByteView bytes);
Bytes utf8String(std::string_view text);
Bytes null();
Bytes boolean(bool flag);

/// An OBJECT IDENTIFIER from its dotted decimal form; empty for a string that names no identifier
/// (fewer than two arcs, a piece that is not a decimal number, or a first arc above 2).
Bytes objectIdentifier(std::string_view dotted);

/// UTCTime before 2050, GeneralizedTime from 2050 on, whole seconds in UTC.
Bytes time(Instant instant);

} // namespace tarnwick::DER
