#include "ConnectCore/Identity/DeviceIdentity.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"

#include <gtest/gtest.h>
#include <openssl/x509.h>

namespace tarnwick {
namespace {

DeviceIdentity makeIdentity(const std::string& name, const P256PrivateKey& key) {
    return DeviceIdentity::software("6F1A1C7E-7D3B-4B8E-9C21-0A4D5E6F7A8B", name, DevicePlatform::macOS,
                                    "Debian GNU/Linux 12 (bookworm)", "1.0.0", key);
}

Bytes spkiOf(X509* certificate) {
    unsigned char* der = nullptr;
    const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &der);
    Bytes bytes(der, der + length);
    OPENSSL_free(der);
    return bytes;
}

class DeviceIdentityTest : public ::testing::Test {
protected:
    P256PrivateKey key = P256PrivateKey::generate();
    DeviceIdentity identity = makeIdentity("Studio Mac", key);
    X509* certificate = identity.secIdentity()->certificate();
};

// Peers fingerprint the key the TLS certificate carries; the handshake names the same one.
TEST_F(DeviceIdentityTest, FingerprintIsThatOfTheTLSCertificatesKey) {
    EXPECT_EQ(identity.spkiDER().size(), 91u);
    EXPECT_EQ(spkiOf(certificate), identity.spkiDER());
    EXPECT_EQ(SPKIFingerprint::compute(spkiOf(certificate)), identity.spkiSHA256());
    EXPECT_EQ(X509_check_private_key(certificate, identity.secIdentity()->privateKey()), 1);
    EXPECT_EQ(EVP_PKEY_eq(identity.secIdentity()->privateKey(), key.handle()), 1);
}

// Pairings are kept by fingerprint, so they survive a new computer name.
TEST_F(DeviceIdentityTest, RenamingKeepsTheFingerprint) {
    EXPECT_EQ(makeIdentity("Jürgen’s Mac", key).spkiSHA256(), identity.spkiSHA256());
}

} // namespace
} // namespace tarnwick
