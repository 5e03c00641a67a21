#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Certificates/PKCS12.hpp"
#include "TarnwickConnectProtocol/Certificates/PlatformError.hpp"
#include "TarnwickConnectProtocol/Certificates/SelfSignedCertificate.hpp"
#include "TarnwickConnectProtocol/Crypto/P256Key.hpp"
#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"
#include "tests/Support/OpenSSLSignature.hpp"

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <string>

namespace tarnwick {
namespace {

using namespace std::chrono;

Bytes derOf(X509* certificate) {
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    Bytes bytes(der, der + length);
    OPENSSL_free(der);
    return bytes;
}

/// A device key, its certificate and a password drawn the way the device draws it.
class PKCS12Container : public ::testing::Test {
protected:
    PKCS12Container() {
        certificate = SelfSignedCertificate::make(
            key.publicKey().x963(), "Studio Mac", "Tarnwick", std::nullopt, sys_days{2026y / January / 1},
            315'360'000, [this](ByteView toBeSigned) { return key.signature(toBeSigned); });
        password = Base64::encode(SecureRandom::bytes(32));
    }

    P256PrivateKey key = P256PrivateKey::generate();
    Bytes certificate;
    std::string password;
};

// OpenSSL's importer derives the keys and MAC key itself, so an import proves our derivation agrees
// with it for each kind of password: the device's own (longer than one hash block), empty, non-ASCII
// with a character beyond the BMP, and text that is not UTF-8 ("caf\xE9" is ISO 8859-1).
TEST_F(PKCS12Container, ImportsAsTheSameCertificateAndKey) {
    for (const std::string& with :
         {password, std::string(), std::string("pässwörd 🔑"), std::string("caf\xE9")}) {
        SCOPED_TRACE(with);
        const SecIdentity identity = PKCS12::identity(PKCS12::make(key.x963(), certificate, with), with);
        EXPECT_EQ(derOf(identity.certificate()), certificate);
        EXPECT_EQ(EVP_PKEY_eq(identity.privateKey(), key.handle()), 1);
        const Bytes message = bytesOf("transcript");
        const Bytes signature = testing::OpenSSLSignature::sign(identity.privateKey(), message);
        EXPECT_TRUE(testing::OpenSSLSignature::verifies(X509_get0_pubkey(identity.certificate()), message,
                                                        signature));
    }
}

TEST_F(PKCS12Container, WrongPasswordOrGarbageFailsTheImport) {
    const Bytes container = PKCS12::make(key.x963(), certificate, password);
    for (const Bytes& bytes : {container, Bytes{0x30, 0x03, 0x02, 0x01, 0x03}}) {
        try {
            PKCS12::identity(bytes, "not the password");
            FAIL() << "imported with the wrong password";
        } catch (const PlatformError& error) {
            EXPECT_EQ(error.domain(), PlatformError::osStatusDomain);
            EXPECT_NE(error.code(), 0);
        }
    }
}

} // namespace
} // namespace tarnwick
