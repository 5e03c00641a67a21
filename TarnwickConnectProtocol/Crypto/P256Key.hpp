#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <memory>

using EVP_PKEY = struct evp_pkey_st;

namespace tarnwick {

/// A P-256 public key that checks ECDSA-SHA256 signatures in DER form.
class P256PublicKey {
public:
    /// From the 65-byte uncompressed point 04 ‖ X ‖ Y; throws TWCPError::internalFailure when it is not one.
    static P256PublicKey fromX963(ByteView point);
    /// From a DER SubjectPublicKeyInfo of a P-256 key, with its point in either form; throws
    /// TWCPError::internalFailure for anything else, trailing bytes included.
    static P256PublicKey fromDER(ByteView subjectPublicKeyInfo);

    /// The 65-byte uncompressed point.
    Bytes x963() const;
    /// Whether the DER signature is valid for the message, which is hashed with SHA-256 first.
    /// Throws TWCPError::authenticationFailed when the bytes are not a DER ECDSA signature.
    bool isValidSignature(ByteView derSignature, ByteView message) const;

    EVP_PKEY* handle() const { return key_.get(); }

private:
    explicit P256PublicKey(std::shared_ptr<EVP_PKEY> key) : key_(std::move(key)) {}
    friend class P256PrivateKey;
    std::shared_ptr<EVP_PKEY> key_;
};

/// A P-256 signing key held in memory.
class P256PrivateKey {
public:
    static P256PrivateKey generate();
    /// From the 32-byte private scalar; throws TWCPError::internalFailure when it is not a valid one.
    static P256PrivateKey fromRaw(ByteView scalar);

    /// The 32-byte private scalar.
    Bytes rawRepresentation() const;
    /// 04 ‖ X ‖ Y ‖ d, 97 bytes.
    Bytes x963() const;
    P256PublicKey publicKey() const;
    /// ECDSA over the SHA-256 of the message, in DER form.
    Bytes signature(ByteView message) const;

    EVP_PKEY* handle() const { return key_.get(); }

private:
    explicit P256PrivateKey(std::shared_ptr<EVP_PKEY> key) : key_(std::move(key)) {}
    std::shared_ptr<EVP_PKEY> key_;
};

} // namespace tarnwick
