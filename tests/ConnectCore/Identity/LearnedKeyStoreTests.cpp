#include "ConnectCore/Identity/LearnedKeyStore.hpp"
#include "TarnwickConnectProtocol/Certificates/SelfSignedCertificate.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"
#include "tests/Support/OpenSSLSignature.hpp"

#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/x509.h>

#include <thread>
#include <vector>

namespace tarnwick {
namespace {

using OpenSSLKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

Bytes spkiOf(EVP_PKEY* key) {
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(key, &der);
    Bytes bytes(der, der + length);
    OPENSSL_free(der);
    return bytes;
}

Bytes spkiOf(const P256PrivateKey& key) {
    return SelfSignedCertificate::subjectPublicKeyInfo(key.publicKey().x963());
}

bool knows(const LearnedKeyStore& store, const Bytes& der) {
    return store.key(SPKIFingerprint::compute(der)).has_value();
}

TEST(LearnedKeyStore, FilesAKeyUnderTheFingerprintOfTheBytesReceived) {
    LearnedKeyStore store;
    const P256PrivateKey key = P256PrivateKey::generate();
    store.store(spkiOf(key));
    EXPECT_EQ(store.key(SPKIFingerprint::compute(spkiOf(key)))->x963(), key.publicKey().x963());

    // The same key with its point compressed is other bytes, so another fingerprint, but still this key.
    OpenSSLKey compressed(EVP_EC_gen("P-256"), EVP_PKEY_free);
    ASSERT_EQ(EVP_PKEY_set_utf8_string_param(compressed.get(), OSSL_PKEY_PARAM_EC_POINT_CONVERSION_FORMAT,
                                             "compressed"),
              1);
    const Bytes compressedDER = spkiOf(compressed.get());
    ASSERT_EQ(compressedDER.size(), 59u);
    store.store(compressedDER);
    const auto found = store.key(SPKIFingerprint::compute(compressedDER));
    ASSERT_TRUE(found);
    const Bytes message = bytesOf("transcript");
    EXPECT_TRUE(found->isValidSignature(testing::OpenSSLSignature::sign(compressed.get(), message), message));
}

TEST(LearnedKeyStore, IgnoresAnythingButAP256SubjectPublicKeyInfo) {
    const Bytes good = spkiOf(P256PrivateKey::generate());
    Bytes trailing = good;
    trailing.push_back(0x00);
    Bytes offCurve = good;
    offCurve.back() ^= 0x01;
    OpenSSLKey p384(EVP_EC_gen("P-384"), EVP_PKEY_free);
    OpenSSLKey ed25519(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), EVP_PKEY_free);

    LearnedKeyStore store;
    for (const Bytes& garbage :
         {Bytes{}, Bytes{0x30, 0x00}, Bytes(91, 0x30), trailing, offCurve,
          Bytes(good.begin(), good.end() - 1), spkiOf(p384.get()), spkiOf(ed25519.get())}) {
        store.store(garbage);
        EXPECT_FALSE(knows(store, garbage));
    }
}

// Meaningful under ThreadSanitizer: TLS verification writes while sessions read.
TEST(LearnedKeyStore, StoresAndLookupsMayRunAtOnce) {
    std::vector<Bytes> keys;
    for (int index = 0; index < 4; ++index) {
        keys.push_back(spkiOf(P256PrivateKey::generate()));
    }
    LearnedKeyStore store;
    {
        std::vector<std::jthread> threads;
        for (int thread = 0; thread < 4; ++thread) {
            threads.emplace_back([&, thread] {
                for (int round = 0; round < 100; ++round) {
                    const Bytes& der = keys[static_cast<std::size_t>((thread + round) % 4)];
                    thread % 2 ? store.store(der) : static_cast<void>(knows(store, der));
                }
            });
        }
    }
    for (const Bytes& der : keys) {
        EXPECT_TRUE(knows(store, der));
    }
}

} // namespace
} // namespace tarnwick
