#pragma once

#include <memory>

using EVP_PKEY = struct evp_pkey_st;
using X509 = struct x509_st;

namespace tarnwick {

/// The in-memory TLS identity: a certificate and its private key, ready to be installed in an
/// SSL_CTX. It owns both and is moved, never copied; share it through a reference-counted holder.
class SecIdentity {
public:
    struct Free {
        void operator()(EVP_PKEY* key) const;
        void operator()(X509* certificate) const;
    };
    using KeyHandle = std::unique_ptr<EVP_PKEY, Free>;
    using CertificateHandle = std::unique_ptr<X509, Free>;

    /// Takes both; neither may be null.
    SecIdentity(KeyHandle privateKey, CertificateHandle certificate);

    EVP_PKEY* privateKey() const { return privateKey_.get(); }
    X509* certificate() const { return certificate_.get(); }

private:
    KeyHandle privateKey_;
    CertificateHandle certificate_;
};

} // namespace tarnwick
