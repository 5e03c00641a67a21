#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::Base64 {

/// Standard base64 (RFC 4648 section 4) with "=" padding and no line breaks.
std::string encode(ByteView bytes);
/// Strict standard base64: padding required, no white space; none for anything else.
std::optional<Bytes> decode(std::string_view text);

/// Unpadded URL-safe base64 (RFC 4648 section 5), the form of fingerprints.
std::string urlEncode(ByteView bytes);
/// Reads unpadded URL-safe base64; none for malformed input.
std::optional<Bytes> urlDecode(std::string_view text);

} // namespace tarnwick::Base64
