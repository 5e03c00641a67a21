#include "TarnwickConnectProtocol/Certificates/SelfSignedCertificate.hpp"
#include "TarnwickConnectProtocol/Crypto/P256Key.hpp"

#include <gtest/gtest.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <ctime>
#include <string>

namespace tarnwick {
namespace {

using namespace std::chrono;

constexpr double tenYears = 315'360'000;

struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using Certificate = std::unique_ptr<X509, X509Free>;

/// OpenSSL's own parser, which must consume every byte.
Certificate parse(const Bytes& der) {
    const unsigned char* cursor = der.data();
    Certificate certificate(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
    EXPECT_EQ(cursor, der.data() + der.size());
    return certificate;
}

std::string entry(const X509_NAME* name, int nid) {
    const X509_NAME_ENTRY* found = X509_NAME_get_entry(name, X509_NAME_get_index_by_NID(name, nid, -1));
    const ASN1_STRING* value = X509_NAME_ENTRY_get_data(found);
    EXPECT_EQ(ASN1_STRING_type(value), V_ASN1_UTF8STRING);
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                       static_cast<std::size_t>(ASN1_STRING_length(value)));
}

std::string dnsName(X509* certificate) {
    auto* names =
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
    EXPECT_EQ(sk_GENERAL_NAME_num(names), 1);
    int type = 0;
    const auto* value =
        static_cast<const ASN1_STRING*>(GENERAL_NAME_get0_value(sk_GENERAL_NAME_value(names, 0), &type));
    EXPECT_EQ(type, GEN_DNS);
    std::string text(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                     static_cast<std::size_t>(ASN1_STRING_length(value)));
    GENERAL_NAMES_free(names);
    return text;
}

sys_seconds timeOf(const ASN1_TIME* time) {
    std::tm fields{};
    EXPECT_EQ(ASN1_TIME_to_tm(time, &fields), 1);
    return sys_seconds{seconds{timegm(&fields)}};
}

bool contains(const Bytes& haystack, const Bytes& needle, std::size_t& at) {
    const auto found = std::search(haystack.begin() + static_cast<std::ptrdiff_t>(at), haystack.end(),
                                   needle.begin(), needle.end());
    at = static_cast<std::size_t>(found - haystack.begin());
    return found != haystack.end();
}

class SelfSignedCertificateTest : public ::testing::Test {
protected:
    Bytes make(std::string_view commonName, const std::optional<Bytes>& serial = Bytes{0x01, 0x02}) {
        return SelfSignedCertificate::make(key.publicKey().x963(), commonName, "Tarnwick", serial, notBefore,
                                           tenYears, [this](ByteView toBeSigned) {
                                               signedBytes = Bytes(toBeSigned.begin(), toBeSigned.end());
                                               return key.signature(toBeSigned);
                                           });
    }

    P256PrivateKey key = P256PrivateKey::generate();
    DER::Instant notBefore = sys_days{2026y / January / 1};
    Bytes signedBytes;
};

TEST_F(SelfSignedCertificateTest, SubjectPublicKeyInfoIsTheStandardEncoding) {
    const Bytes info = SelfSignedCertificate::subjectPublicKeyInfo(key.publicKey().x963());
    const Bytes prefix{0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01, 0x06,
                       0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};
    ASSERT_EQ(info.size(), 91u);
    EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), info.begin()));

    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(key.handle(), &der);
    EXPECT_EQ(info, Bytes(der, der + length));
    OPENSSL_free(der);
}

TEST_F(SelfSignedCertificateTest, OpenSSLReadsNamesValidityKeyAndSignature) {
    const Bytes der = make("Mac");
    const Certificate certificate = parse(der);
    ASSERT_TRUE(certificate);

    EXPECT_EQ(X509_get_version(certificate.get()), 2);
    EXPECT_EQ(ASN1_INTEGER_get(X509_get0_serialNumber(certificate.get())), 0x0102);
    EXPECT_EQ(X509_get_signature_nid(certificate.get()), NID_ecdsa_with_SHA256);
    const X509_NAME* subject = X509_get_subject_name(certificate.get());
    EXPECT_EQ(entry(subject, NID_organizationName), "Tarnwick");
    EXPECT_EQ(entry(subject, NID_commonName), "Mac");
    EXPECT_EQ(X509_NAME_get_index_by_NID(subject, NID_organizationName, -1), 0);
    EXPECT_EQ(X509_NAME_cmp(subject, X509_get_issuer_name(certificate.get())), 0);

    // Ten years of 365 days: leap days are not added.
    EXPECT_EQ(timeOf(X509_get0_notBefore(certificate.get())), sys_days{2026y / January / 1});
    EXPECT_EQ(timeOf(X509_get0_notAfter(certificate.get())), sys_days{2035y / December / 30});

    unsigned char* spki = nullptr;
    const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate.get()), &spki);
    EXPECT_EQ(Bytes(spki, spki + length),
              SelfSignedCertificate::subjectPublicKeyInfo(key.publicKey().x963()));
    OPENSSL_free(spki);

    EXPECT_EQ(X509_verify(certificate.get(), key.handle()), 1);
    EXPECT_EQ(X509_self_signed(certificate.get(), 1), 1);
}

TEST_F(SelfSignedCertificateTest, OpenSSLReadsTheFourExtensionsInOrder) {
    const Certificate certificate = parse(make("Mac"));
    ASSERT_TRUE(certificate);
    ASSERT_EQ(X509_get_ext_count(certificate.get()), 4);
    const int expected[][2] = {
        {NID_basic_constraints, 1}, {NID_key_usage, 1}, {NID_ext_key_usage, 0}, {NID_subject_alt_name, 0}};
    for (int index = 0; index < 4; ++index) {
        X509_EXTENSION* extension = X509_get_ext(certificate.get(), index);
        EXPECT_EQ(OBJ_obj2nid(X509_EXTENSION_get_object(extension)), expected[index][0]);
        EXPECT_EQ(X509_EXTENSION_get_critical(extension), expected[index][1]);
    }
    EXPECT_EQ(X509_check_ca(certificate.get()), 0);
    EXPECT_EQ(X509_get_key_usage(certificate.get()),
              static_cast<std::uint32_t>(KU_DIGITAL_SIGNATURE | KU_KEY_ENCIPHERMENT));
    EXPECT_EQ(X509_get_extended_key_usage(certificate.get()),
              static_cast<std::uint32_t>(XKU_SSL_SERVER | XKU_SSL_CLIENT));
    EXPECT_EQ(dnsName(certificate.get()), "Mac");
}

// Peers may compare these bytes; they are fixed whatever the key.
TEST_F(SelfSignedCertificateTest, ExtensionBytesAreExact) {
    const Bytes der = make("Mac");
    const Bytes extensions[] = {
        {0x30, 0x0C, 0x06, 0x03, 0x55, 0x1D, 0x13, 0x01, 0x01, 0xFF, 0x04, 0x02, 0x30, 0x00},
        {0x30, 0x0E, 0x06, 0x03, 0x55, 0x1D, 0x0F, 0x01, 0x01, 0xFF, 0x04, 0x04, 0x03, 0x02, 0x05, 0xA0},
        {0x30, 0x1D, 0x06, 0x03, 0x55, 0x1D, 0x25, 0x04, 0x16, 0x30, 0x14, 0x06, 0x08, 0x2B, 0x06, 0x01,
         0x05, 0x05, 0x07, 0x03, 0x01, 0x06, 0x08, 0x2B, 0x06, 0x01, 0x05, 0x05, 0x07, 0x03, 0x02},
        {0x30, 0x0E, 0x06, 0x03, 0x55, 0x1D, 0x11, 0x04, 0x07, 0x30, 0x05, 0x82, 0x03, 0x4D, 0x61, 0x63},
    };
    std::size_t at = 0;
    for (const Bytes& extension : extensions) {
        EXPECT_TRUE(contains(der, extension, at));
    }
    const Bytes algorithm{0x30, 0x0A, 0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x03, 0x02};
    std::size_t first = 0;
    EXPECT_TRUE(contains(der, algorithm, first));
    const Bytes version{0xA0, 0x03, 0x02, 0x01, 0x02};
    EXPECT_TRUE(std::equal(version.begin(), version.end(), der.begin() + 8));
}

TEST_F(SelfSignedCertificateTest, DeviceNameIsWrittenUnchanged) {
    const std::string name = "Jürgen’s MacBook Pro ☕";
    const Certificate certificate = parse(make(name));
    ASSERT_TRUE(certificate);
    EXPECT_EQ(entry(X509_get_subject_name(certificate.get()), NID_commonName), name);
    EXPECT_EQ(dnsName(certificate.get()), name);
    EXPECT_EQ(X509_verify(certificate.get(), key.handle()), 1);
}

// The serial's first byte sits at offset 14: 30 82 LL LL 30 82 LL LL A0 03 02 01 02 02 <length>.
TEST_F(SelfSignedCertificateTest, SerialLeadingZeroIsDroppedOnlyWhenRedundant) {
    Bytes shortened(16, 0x11);
    shortened[0] = 0x00;
    shortened[1] = 0x7F;
    EXPECT_EQ(make("Mac", shortened)[14], 15);

    Bytes kept = shortened;
    kept[1] = 0x90;
    EXPECT_EQ(make("Mac", kept)[14], 16);
}

TEST_F(SelfSignedCertificateTest, RandomSerialIsPositiveAndFresh) {
    const Certificate first = parse(make("Mac", std::nullopt));
    const Certificate second = parse(make("Mac", std::nullopt));
    ASSERT_TRUE(first && second);
    for (const auto& certificate : {first.get(), second.get()}) {
        const ASN1_INTEGER* serial = X509_get0_serialNumber(certificate);
        EXPECT_EQ(ASN1_STRING_type(serial), V_ASN1_INTEGER);
        EXPECT_LE(ASN1_STRING_length(serial), 16);
    }
    EXPECT_NE(ASN1_INTEGER_cmp(X509_get0_serialNumber(first.get()), X509_get0_serialNumber(second.get())), 0);
}

// ECDSA signatures are randomised, everything they sign is not.
TEST_F(SelfSignedCertificateTest, SameInputsDifferOnlyInSignature) {
    const Bytes first = make("Mac");
    const Bytes firstSigned = signedBytes;
    const Bytes second = make("Mac");
    EXPECT_EQ(signedBytes, firstSigned);
    EXPECT_NE(first, second);
    EXPECT_TRUE(std::equal(firstSigned.begin(), firstSigned.end(), second.begin() + 4));
}

TEST_F(SelfSignedCertificateTest, SignerFailureIsPassedOn) {
    struct SignerRefused {};
    EXPECT_THROW(SelfSignedCertificate::make(key.publicKey().x963(), "Mac", "Tarnwick", std::nullopt,
                                             notBefore, tenYears,
                                             [](ByteView) -> Bytes { throw SignerRefused{}; }),
                 SignerRefused);
}

} // namespace
} // namespace tarnwick
