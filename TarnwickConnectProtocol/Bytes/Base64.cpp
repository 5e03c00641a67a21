#include "TarnwickConnectProtocol/Bytes/Base64.hpp"

#include <openssl/evp.h>

#include <algorithm>

namespace tarnwick::Base64 {

std::string encode(ByteView bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3), '\0');
    if (!bytes.empty()) {
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                        static_cast<int>(bytes.size()));
    }
    return text;
}

std::optional<Bytes> decode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    // EVP_DecodeBlock skips surrounding white space, so the alphabet is checked here first.
    const auto isAlphabet = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
               c == '/';
    };
    const std::size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
    if (!std::all_of(text.begin(), text.end() - padding, isAlphabet)) {
        return std::nullopt;
    }
    Bytes bytes(3 * (text.size() / 4));
    if (!text.empty() && EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                         static_cast<int>(text.size())) < 0) {
        return std::nullopt;
    }
    bytes.resize(bytes.size() - padding);
    return bytes;
}

std::string urlEncode(ByteView bytes) {
    std::string text = encode(bytes);
    std::erase(text, '=');
    std::replace(text.begin(), text.end(), '+', '-');
    std::replace(text.begin(), text.end(), '/', '_');
    return text;
}

std::optional<Bytes> urlDecode(std::string_view text) {
    std::string standard(text);
    std::replace(standard.begin(), standard.end(), '-', '+');
    std::replace(standard.begin(), standard.end(), '_', '/');
    if (standard.size() % 4 == 1) {
        return std::nullopt;
    }
    standard.append((4 - standard.size() % 4) % 4, '=');
    return decode(standard);
}

} // namespace tarnwick::Base64
