#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

namespace tarnwick::test {

/// A fresh P-256 key from OpenSSL with the raw forms our writers take, for tests and benchmarks.
class TestP256Key {
public:
    TestP256Key() : key_(EVP_EC_gen("P-256"), EVP_PKEY_free) {
        if (!key_) {
            throw std::runtime_error("P-256 key generation failed");
        }
    }

    EVP_PKEY* get() const { return key_.get(); }

    /// 04 ‖ X ‖ Y.
    Bytes publicKeyX963() const {
        Bytes point(65);
        std::size_t written = 0;
        EVP_PKEY_get_octet_string_param(get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size(), &written);
        point.resize(written);
        return point;
    }

    /// 04 ‖ X ‖ Y ‖ d.
    Bytes privateKeyX963() const {
        BIGNUM* scalar = nullptr;
        EVP_PKEY_get_bn_param(get(), OSSL_PKEY_PARAM_PRIV_KEY, &scalar);
        Bytes x963 = publicKeyX963();
        x963.resize(65 + 32);
        BN_bn2binpad(scalar, x963.data() + 65, 32);
        BN_clear_free(scalar);
        return x963;
    }

    /// ECDSA over the SHA-256 of the message, DER form, as the device's signer returns it.
    Bytes sign(ByteView message) const { return signWith(get(), message); }

    static Bytes signWith(EVP_PKEY* key, ByteView message) {
        std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
        Bytes signature(80);
        std::size_t length = signature.size();
        if (EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
            EVP_DigestSign(context.get(), signature.data(), &length, message.data(), message.size()) != 1) {
            throw std::runtime_error("ECDSA signing failed");
        }
        signature.resize(length);
        return signature;
    }

    /// Whether `signature` is a valid ECDSA-SHA256 signature of `message` under `key`.
    static bool verifies(EVP_PKEY* key, ByteView message, ByteView signature) {
        std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
        return EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key) == 1 &&
               EVP_DigestVerify(context.get(), signature.data(), signature.size(), message.data(),
                                message.size()) == 1;
    }

private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key_;
};

} // namespace tarnwick::test
