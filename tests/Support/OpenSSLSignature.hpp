#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

/// OpenSSL's own ECDSA-SHA256 on raw key handles (an imported identity's key, a certificate's key):
/// a witness that does not go through the project's key type.
namespace tarnwick::testing::OpenSSLSignature {

using Context = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

/// The DER signature of the message's SHA-256 under `key`.
inline Bytes sign(EVP_PKEY* key, ByteView message) {
    Context context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    Bytes signature(80);
    std::size_t length = signature.size();
    if (EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
        EVP_DigestSign(context.get(), signature.data(), &length, message.data(), message.size()) != 1) {
        throw std::runtime_error("ECDSA signing failed");
    }
    signature.resize(length);
    return signature;
}

/// Whether `signature` is a valid DER ECDSA-SHA256 signature of `message` under `key`.
inline bool verifies(EVP_PKEY* key, ByteView message, ByteView signature) {
    Context context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    return EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key) == 1 &&
           EVP_DigestVerify(context.get(), signature.data(), signature.size(), message.data(),
                            message.size()) == 1;
}

} // namespace tarnwick::testing::OpenSSLSignature
