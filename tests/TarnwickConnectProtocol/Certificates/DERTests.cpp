#include "TarnwickConnectProtocol/Certificates/DER.hpp"
#include "TarnwickConnectProtocol/Certificates/ObjectIdentifiers.hpp"

#include <gtest/gtest.h>
#include <openssl/objects.h>

#include <string>

namespace tarnwick {
namespace {

using namespace std::chrono;

DER::Instant at(year_month_day date, hours h = hours{0}, minutes m = minutes{0}, seconds s = seconds{0}) {
    return sys_days{date} + h + m + s;
}

std::string text(const Bytes& bytes, std::size_t from) {
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end());
}

TEST(DER, IntegerFromMagnitudeIsMinimalAndNeverNegative) {
    EXPECT_EQ(DER::integer(Bytes{0x80}), (Bytes{0x02, 0x02, 0x00, 0x80}));
    EXPECT_EQ(DER::integer(Bytes{0x00, 0x00, 0x01}), (Bytes{0x02, 0x01, 0x01}));
    EXPECT_EQ(DER::integer(Bytes{0x00, 0x90}), (Bytes{0x02, 0x02, 0x00, 0x90}));
    EXPECT_EQ(DER::integer(Bytes{0x00, 0x00, 0x90}), (Bytes{0x02, 0x02, 0x00, 0x90}));
    EXPECT_EQ(DER::integer(Bytes{0x00, 0x00}), (Bytes{0x02, 0x01, 0x00}));
    EXPECT_EQ(DER::integer(Bytes{}), (Bytes{0x02, 0x00}));
}

// OpenSSL's own encoder is the witness for every identifier we write.
TEST(DER, ObjectIdentifiersMatchOpenSSL) {
    namespace OID = ObjectIdentifiers;
    for (const std::string_view dotted :
         {OID::ecPublicKey, OID::prime256v1, OID::ecdsaWithSHA256, OID::organizationName, OID::commonName,
          OID::basicConstraints, OID::keyUsage, OID::extKeyUsage, OID::subjectAltName, OID::serverAuth,
          OID::clientAuth, OID::data, OID::encryptedData, OID::pkcs8ShroudedKeyBag, OID::certBag,
          OID::x509Certificate, OID::localKeyId, OID::pbeWithSHAAnd3KeyTripleDESCBC, OID::sha1}) {
        ASN1_OBJECT* object = OBJ_txt2obj(std::string(dotted).c_str(), 1);
        ASSERT_NE(object, nullptr) << dotted;
        unsigned char* der = nullptr;
        const int length = i2d_ASN1_OBJECT(object, &der);
        EXPECT_EQ(DER::objectIdentifier(dotted), Bytes(der, der + length)) << dotted;
        OPENSSL_free(der);
        ASN1_OBJECT_free(object);
    }
}

// Fractions are dropped, not rounded: the last moment of 2049 is still UTCTime.
TEST(DER, TimeSwitchesToGeneralizedTimeIn2050) {
    const Bytes last =
        DER::time(at(2049y / December / 31, hours{23}, minutes{59}, seconds{59}) + milliseconds{999});
    EXPECT_EQ(last[0], 0x17);
    EXPECT_EQ(last[1], 13);
    EXPECT_EQ(text(last, 2), "491231235959Z");

    const Bytes first = DER::time(at(2050y / January / 1, hours{5}, minutes{6}, seconds{7}));
    EXPECT_EQ(first[0], 0x18);
    EXPECT_EQ(first[1], 15);
    EXPECT_EQ(text(first, 2), "20500101050607Z");
}

} // namespace
} // namespace tarnwick
