#include "TarnwickConnectProtocol/Certificates/DER.hpp"

#include <openssl/objects.h>

#include <array>
#include <cstdlib>
#include <string_view>

// Any text either names no identifier (empty output) or yields an encoding that OpenSSL reads back
// and whose dotted form we encode to the very same bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view dotted(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 512));
    const tarnwick::Bytes encoded = tarnwick::DER::objectIdentifier(dotted);
    if (encoded.empty()) {
        return 0;
    }
    const unsigned char* cursor = encoded.data();
    ASN1_OBJECT* object = d2i_ASN1_OBJECT(nullptr, &cursor, static_cast<long>(encoded.size()));
    if (!object || cursor != encoded.data() + encoded.size()) {
        std::abort();
    }
    std::array<char, 1200> text{};
    const int length = OBJ_obj2txt(text.data(), static_cast<int>(text.size()), object, 1);
    ASN1_OBJECT_free(object);
    if (length <= 0 || static_cast<std::size_t>(length) >= text.size() ||
        tarnwick::DER::objectIdentifier(std::string_view(text.data(), static_cast<std::size_t>(length))) !=
            encoded) {
        std::abort();
    }
    return 0;
}
