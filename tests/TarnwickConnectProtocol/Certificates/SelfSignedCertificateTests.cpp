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
                                           tenYears,
                                           [this](ByteView toBeSigned) { return key.signature(toBeSigned); });
    }

    P256PrivateKey key = P256PrivateKey::generate();
    DER::Instant notBefore = sys_days{2026y / January / 1};
};

// The device name goes into subject and alternative name unchanged, whatever its characters.
TEST_F(SelfSignedCertificateTest, OpenSSLReadsNamesValidityKeyAndSignature) {
    const std::string name = "Jürgen’s MacBook Pro ☕";
    const Certificate certificate = parse(make(name));
    ASSERT_TRUE(certificate);

    EXPECT_EQ(X509_get_version(certificate.get()), 2);
    EXPECT_EQ(ASN1_INTEGER_get(X509_get0_serialNumber(certificate.get())), 0x0102);
    EXPECT_EQ(X509_get_signature_nid(certificate.get()), NID_ecdsa_with_SHA256);
    const X509_NAME* subject = X509_get_subject_name(certificate.get());
    EXPECT_EQ(entry(subject, NID_organizationName), "Tarnwick");
    EXPECT_EQ(entry(subject, NID_commonName), name);
    EXPECT_EQ(dnsName(certificate.get()), name);
    EXPECT_EQ(X509_NAME_get_index_by_NID(subject, NID_organizationName, -1), 0);
    EXPECT_EQ(X509_NAME_cmp(subject, X509_get_issuer_name(certificate.get())), 0);

    // Ten years of 365 days: leap days are not added.
    EXPECT_EQ(timeOf(X509_get0_notBefore(certificate.get())), sys_days{2026y / January / 1});
    EXPECT_EQ(timeOf(X509_get0_notAfter(certificate.get())), sys_days{2035y / December / 30});

    // Signed by our key and verified under the certificate's own: the certificate holds our key.
    EXPECT_EQ(X509_verify(certificate.get(), key.handle()), 1);
    EXPECT_EQ(X509_self_signed(certificate.get(), 1), 1);
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
}

// Peers refuse serials over 20 octets; positivity is the DER integer's own rule, tested there.
TEST_F(SelfSignedCertificateTest, RandomSerialIsShortAndFresh) {
    const Certificate first = parse(make("Mac", std::nullopt));
    const Certificate second = parse(make("Mac", std::nullopt));
    ASSERT_TRUE(first && second);
    EXPECT_LE(ASN1_STRING_length(X509_get0_serialNumber(first.get())), 16);
    EXPECT_NE(ASN1_INTEGER_cmp(X509_get0_serialNumber(first.get()), X509_get0_serialNumber(second.get())), 0);
}

} // namespace
} // namespace tarnwick
