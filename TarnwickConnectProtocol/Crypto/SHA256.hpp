#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <memory>

using EVP_MD_CTX = struct evp_md_ctx_st;

namespace tarnwick {

/// Incremental SHA-256 (FIPS 180-4) through OpenSSL.
class SHA256 {
public:
    static constexpr std::size_t digestSize = 32;

    SHA256();
    void update(ByteView bytes);
    /// The 32-byte digest; the hasher is spent afterwards.
    Bytes finish();

    /// The digest of one buffer.
    static Bytes digest(ByteView bytes);

private:
    struct ContextDeleter {
        void operator()(EVP_MD_CTX* context) const;
    };
    std::unique_ptr<EVP_MD_CTX, ContextDeleter> context_;
};

} // namespace tarnwick
