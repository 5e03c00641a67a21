#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Certificates/PKCS12.hpp"
#include "TarnwickConnectProtocol/Certificates/PlatformError.hpp"
#include "TarnwickConnectProtocol/Certificates/SelfSignedCertificate.hpp"
#include "TarnwickConnectProtocol/Crypto/P256Key.hpp"
#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"
#include "tests/Support/OpenSSLSignature.hpp"

#include <gtest/gtest.h>
#include <openssl/err.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace tarnwick {
namespace {

using namespace std::chrono;

Bytes hex(std::string_view text) {
    Bytes bytes;
    for (std::size_t index = 0; index + 1 < text.size(); index += 2) {
        bytes.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(text.substr(index, 2)), nullptr, 16)));
    }
    return bytes;
}

/// OpenSSL's RFC 7292 derivation over a password already in BMPString form.
Bytes referenceKDF(const Bytes& bmp, const Bytes& salt, int id, int iterations, std::size_t length) {
    Bytes out(length);
    Bytes password = bmp;
    Bytes mutableSalt = salt;
    EXPECT_EQ(PKCS12_key_gen_uni(password.empty() ? nullptr : password.data(),
                                 static_cast<int>(password.size()), mutableSalt.data(),
                                 static_cast<int>(salt.size()), id, iterations, static_cast<int>(length),
                                 out.data(), EVP_sha1()),
              1);
    return out;
}

/// OpenSSL's derivation over a UTF-8 password, converted by OpenSSL.
Bytes referenceKDF(const std::string& password, const Bytes& salt, int id, int iterations,
                   std::size_t length) {
    Bytes out(length);
    Bytes mutableSalt = salt;
    EXPECT_EQ(PKCS12_key_gen_utf8(password.c_str(), static_cast<int>(password.size()), mutableSalt.data(),
                                  static_cast<int>(salt.size()), id, iterations, static_cast<int>(length),
                                  out.data(), EVP_sha1()),
              1);
    return out;
}

TEST(PKCS12KDF, MatchesOpenSSLForKeyIVAndMAC) {
    const Bytes salt = hex("0A58CF64530D823F");
    const std::array<std::pair<std::uint8_t, std::size_t>, 3> uses{{{1, 24}, {2, 8}, {3, 20}}};
    for (const std::string password : {"smeg", "Qm9vdHN0cmFwIHBhc3N3b3JkIG9mIDQ0IGNoYXJzLg==", "pässwörd",
                                       "key 🔑 with a surrogate pair"}) {
        for (const auto& [id, length] : uses) {
            EXPECT_EQ(PKCS12::pkcs12KDF(password, salt, 2048, id, length),
                      referenceKDF(password, salt, id, 2048, length))
                << password << " id " << int(id);
        }
    }
}

// An empty password is still its terminator 00 00, so P is 64 zero bytes, not empty.
TEST(PKCS12KDF, EmptyPasswordIsItsTerminator) {
    const Bytes salt = hex("05DEC959ACFF72F7");
    for (const int id : {1, 2, 3}) {
        const Bytes ours = PKCS12::pkcs12KDF("", salt, 2048, static_cast<std::uint8_t>(id), 24);
        EXPECT_EQ(ours, referenceKDF(Bytes{0x00, 0x00}, salt, id, 2048, 24));
        EXPECT_EQ(ours, referenceKDF(std::string(), salt, id, 2048, 24));
        EXPECT_NE(ours, referenceKDF(Bytes{}, salt, id, 2048, 24));
    }
}

// A salt and password beyond one 64-byte block and an output of several hashes exercise the
// block additions with their carries.
TEST(PKCS12KDF, SpansSeveralBlocks) {
    Bytes salt(70);
    for (std::size_t index = 0; index < salt.size(); ++index) {
        salt[index] = static_cast<std::uint8_t>(0xFF - index % 3);
    }
    const std::string password(45, '\x7F');
    EXPECT_EQ(PKCS12::pkcs12KDF(password, salt, 3, 1, 100), referenceKDF(password, salt, 1, 3, 100));
}

TEST(PKCS12TripleDES, CipherRefusalIsAPlatformError) {
    const std::array<std::uint8_t, 24> key{};
    const std::array<std::uint8_t, 8> iv{};
    try {
        PKCS12::tripleDESCBC(Bytes(7, 0x01), key, iv);
        FAIL() << "an unpadded plaintext was encrypted";
    } catch (const PlatformError& error) {
        EXPECT_EQ(error.domain(), "PKCS12");
        EXPECT_NE(error.code(), 0);
        EXPECT_EQ(std::string(error.what()), "3DES failed: " + std::to_string(error.code()));
    }
    EXPECT_EQ(PKCS12::tripleDESCBC(Bytes(16, 0x01), key, iv).size(), 16u);
}

struct ContainerFree {
    void operator()(::PKCS12* container) const { PKCS12_free(container); }
};
using Container = std::unique_ptr<::PKCS12, ContainerFree>;

Container parseContainer(const Bytes& der) {
    const unsigned char* cursor = der.data();
    return Container(d2i_PKCS12(nullptr, &cursor, static_cast<long>(der.size())));
}

Bytes derOf(X509* certificate) {
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    Bytes bytes(der, der + length);
    OPENSSL_free(der);
    return bytes;
}

Bytes localKeyID(const PKCS12_SAFEBAG* bag) {
    const ASN1_TYPE* attribute = PKCS12_SAFEBAG_get0_attr(bag, NID_localKeyID);
    EXPECT_TRUE(attribute && attribute->type == V_ASN1_OCTET_STRING);
    const ASN1_OCTET_STRING* id = attribute->value.octet_string;
    return Bytes(ASN1_STRING_get0_data(id), ASN1_STRING_get0_data(id) + ASN1_STRING_length(id));
}

/// The one bag of a safe, which must be of the given type.
const PKCS12_SAFEBAG* onlyBag(STACK_OF(PKCS12_SAFEBAG) * bags, int nid) {
    EXPECT_EQ(sk_PKCS12_SAFEBAG_num(bags), 1);
    const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, 0);
    EXPECT_EQ(PKCS12_SAFEBAG_get_nid(bag), nid);
    EXPECT_EQ(PKCS12_SAFEBAG_get0_attr(bag, NID_friendlyName), nullptr);
    return bag;
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

    void expectImportsAsTheIdentity(const Bytes& container, const std::string& with) {
        const SecIdentity identity = PKCS12::identity(container, with);
        EXPECT_EQ(derOf(identity.certificate()), certificate);
        EXPECT_EQ(EVP_PKEY_eq(identity.privateKey(), key.handle()), 1);
        const Bytes message = bytesOf("transcript");
        const Bytes signature = testing::OpenSSLSignature::sign(identity.privateKey(), message);
        EXPECT_TRUE(testing::OpenSSLSignature::verifies(X509_get0_pubkey(identity.certificate()), message,
                                                        signature));
    }

    P256PrivateKey key = P256PrivateKey::generate();
    Bytes certificate;
    std::string password;
};

TEST_F(PKCS12Container, ImportsAsTheSameCertificateAndKey) {
    const Bytes container = PKCS12::make(key.x963(), certificate, password);
    EXPECT_EQ((Bytes(container.begin() + 4, container.begin() + 7)), (Bytes{0x02, 0x01, 0x03}));
    expectImportsAsTheIdentity(container, password);
}

// Text that is not UTF-8 ("caf\xE9" is ISO 8859-1) must still import with the same password.
TEST_F(PKCS12Container, EmptyNonASCIIAndNonUTF8PasswordsImport) {
    for (const std::string with : {"", "pässwörd 🔑", "caf\xE9"}) {
        expectImportsAsTheIdentity(PKCS12::make(key.x963(), certificate, with), with);
    }
}

TEST_F(PKCS12Container, MacVerifiesOnlyWithThePassword) {
    const Container container = parseContainer(PKCS12::make(key.x963(), certificate, password));
    ASSERT_TRUE(container);
    EXPECT_EQ(PKCS12_verify_mac(container.get(), password.c_str(), -1), 1);
    EXPECT_EQ(PKCS12_verify_mac(container.get(), "not the password", -1), 0);

    const ASN1_OCTET_STRING* mac = nullptr;
    const X509_ALGOR* algorithm = nullptr;
    const ASN1_OCTET_STRING* salt = nullptr;
    const ASN1_INTEGER* iterations = nullptr;
    PKCS12_get0_mac(&mac, &algorithm, &salt, &iterations, container.get());
    const ASN1_OBJECT* digest = nullptr;
    X509_ALGOR_get0(&digest, nullptr, nullptr, algorithm);
    EXPECT_EQ(OBJ_obj2nid(digest), NID_sha1);
    EXPECT_EQ(ASN1_STRING_length(mac), 20);
    EXPECT_EQ(ASN1_STRING_length(salt), 8);
    EXPECT_EQ(ASN1_INTEGER_get(iterations), 2048);
    ERR_clear_error();
}

// The shrouded key travels as plain data and the certificate encrypted; one localKeyId ties them.
TEST_F(PKCS12Container, BagsShareOneLocalKeyID) {
    const Container container = parseContainer(PKCS12::make(key.x963(), certificate, password));
    ASSERT_TRUE(container);
    STACK_OF(PKCS7)* safes = PKCS12_unpack_authsafes(container.get());
    ASSERT_EQ(sk_PKCS7_num(safes), 2);
    PKCS7* keySafe = sk_PKCS7_value(safes, 0);
    PKCS7* certificateSafe = sk_PKCS7_value(safes, 1);
    EXPECT_EQ(OBJ_obj2nid(keySafe->type), NID_pkcs7_data);
    EXPECT_EQ(OBJ_obj2nid(certificateSafe->type), NID_pkcs7_encrypted);

    STACK_OF(PKCS12_SAFEBAG)* keyBags = PKCS12_unpack_p7data(keySafe);
    STACK_OF(PKCS12_SAFEBAG)* certificateBags =
        PKCS12_unpack_p7encdata(certificateSafe, password.c_str(), -1);
    ASSERT_TRUE(keyBags && certificateBags);
    const Bytes keyID = localKeyID(onlyBag(keyBags, NID_pkcs8ShroudedKeyBag));
    EXPECT_EQ(keyID.size(), 20u);
    EXPECT_EQ(localKeyID(onlyBag(certificateBags, NID_certBag)), keyID);

    sk_PKCS12_SAFEBAG_pop_free(keyBags, PKCS12_SAFEBAG_free);
    sk_PKCS12_SAFEBAG_pop_free(certificateBags, PKCS12_SAFEBAG_free);
    sk_PKCS7_pop_free(safes, PKCS7_free);
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
            EXPECT_EQ(std::string(error.what()), "SecPKCS12Import failed: " + std::to_string(error.code()));
        }
    }
}

// The openssl tool is a second, independent reader of a container written to a file.
TEST_F(PKCS12Container, OpenSSLToolReadsAWrittenFile) {
    if (std::system("openssl version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "the openssl tool is not installed";
    }
    const auto path =
        std::filesystem::temp_directory_path() / ("tarnwick-pkcs12-" + std::to_string(::getpid()) + ".p12");
    const Bytes container = PKCS12::make(key.x963(), certificate, password);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(container.data()),
               static_cast<std::streamsize>(container.size()));
    const auto run = [&](const std::string& with, std::string& output) {
        const std::string command =
            "openssl pkcs12 -info -nokeys -passin 'pass:" + with + "' -in '" + path.string() + "' 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        std::array<char, 256> buffer{};
        while (pipe && std::fgets(buffer.data(), buffer.size(), pipe)) {
            output += buffer.data();
        }
        return pipe ? pclose(pipe) : -1;
    };
    std::string output;
    EXPECT_EQ(run(password, output), 0) << output;
    for (const char* line :
         {"MAC: sha1, Iteration 2048", "Shrouded Keybag: pbeWithSHA1And3-KeyTripleDES-CBC, Iteration 2048",
          "PKCS7 Encrypted data: pbeWithSHA1And3-KeyTripleDES-CBC, Iteration 2048",
          "subject=O = Tarnwick, CN = Studio Mac", "-----BEGIN CERTIFICATE-----"}) {
        EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
    }
    std::string refused;
    EXPECT_NE(run("not the password", refused), 0) << refused;
    std::filesystem::remove(path);
}

} // namespace
} // namespace tarnwick
