#include "TarnwickConnectProtocol/Bytes/Base64.hpp"

#include <cstdlib>
#include <string_view>

// Decoding either form must never crash, and whatever decodes must encode back to an equivalent text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto bytes = tarnwick::Base64::decode(text)) {
        if (tarnwick::Base64::decode(tarnwick::Base64::encode(*bytes)) != bytes) {
            std::abort();
        }
    }
    if (const auto bytes = tarnwick::Base64::urlDecode(text)) {
        if (tarnwick::Base64::urlDecode(tarnwick::Base64::urlEncode(*bytes)) != bytes) {
            std::abort();
        }
    }
    return 0;
}
