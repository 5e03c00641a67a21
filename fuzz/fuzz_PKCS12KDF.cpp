#include "TarnwickConnectProtocol/Certificates/PKCS12.hpp"

#include <openssl/evp.h>
#include <openssl/pkcs12.h>

#include <cstdlib>
#include <string_view>

// Our derivation reads any password text exactly as OpenSSL's importer does. Input: one byte for the
// id, eight for the salt, the rest the password; one iteration keeps each run fast.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) {
        return 0;
    }
    const auto id = static_cast<std::uint8_t>(1 + data[0] % 3);
    tarnwick::Bytes salt(data + 1, data + 9);
    const std::string_view password(reinterpret_cast<const char*>(data + 9),
                                    std::min<std::size_t>(size - 9, 300));
    const tarnwick::Bytes ours = tarnwick::PKCS12::pkcs12KDF(password, salt, 1, id, 24);
    tarnwick::Bytes theirs(24);
    // OpenSSL refuses scalars beyond U+10FFFF outright; there is nothing to compare then.
    if (PKCS12_key_gen_utf8(password.data(), static_cast<int>(password.size()), salt.data(),
                            static_cast<int>(salt.size()), id, 1, 24, theirs.data(), EVP_sha1()) == 1 &&
        ours != theirs) {
        std::abort();
    }
    return 0;
}
