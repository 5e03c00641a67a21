#include "TarnwickConnectProtocol/Crypto/UUID.hpp"

#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"

#include <cstdint>

namespace tarnwick::UUID {

std::string random() {
    Bytes bytes = SecureRandom::bytes(16);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    constexpr const char* digits = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text.push_back('-');
        }
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    return text;
}

} // namespace tarnwick::UUID
