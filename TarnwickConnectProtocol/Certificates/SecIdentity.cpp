#include "TarnwickConnectProtocol/Certificates/SecIdentity.hpp"

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <utility>

namespace tarnwick {

void SecIdentity::Free::operator()(EVP_PKEY* key) const {
    EVP_PKEY_free(key);
}

void SecIdentity::Free::operator()(X509* certificate) const {
    X509_free(certificate);
}

SecIdentity::SecIdentity(KeyHandle privateKey, CertificateHandle certificate)
    : privateKey_(std::move(privateKey)),
      certificate_(std::move(certificate)) {}

} // namespace tarnwick
