#include "TarnwickConnectProtocol/Crypto/SHA256.hpp"

#include <openssl/evp.h>

#include <new>

namespace tarnwick {

void SHA256::ContextDeleter::operator()(EVP_MD_CTX* context) const {
    EVP_MD_CTX_free(context);
}

SHA256::SHA256() : context_(EVP_MD_CTX_new()) {
    if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1) {
        throw std::bad_alloc();
    }
}

void SHA256::update(ByteView bytes) {
    EVP_DigestUpdate(context_.get(), bytes.data(), bytes.size());
}

Bytes SHA256::finish() {
    Bytes digest(digestSize);
    EVP_DigestFinal_ex(context_.get(), digest.data(), nullptr);
    return digest;
}

Bytes SHA256::digest(ByteView bytes) {
    SHA256 hasher;
    hasher.update(bytes);
    return hasher.finish();
}

} // namespace tarnwick
