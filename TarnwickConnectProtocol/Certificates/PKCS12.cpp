#include "TarnwickConnectProtocol/Certificates/PKCS12.hpp"

#include "TarnwickConnectProtocol/Certificates/DER.hpp"
#include "TarnwickConnectProtocol/Certificates/ObjectIdentifiers.hpp"
#include "TarnwickConnectProtocol/Certificates/PlatformError.hpp"
#include "TarnwickConnectProtocol/Certificates/SelfSignedCertificate.hpp"
#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/pkcs12.h>

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <utility>

namespace tarnwick::PKCS12 {
namespace {

namespace OID = ObjectIdentifiers;

constexpr std::uint8_t keyID = 1;
constexpr std::uint8_t ivID = 2;
constexpr std::uint8_t macID = 3;

/// The most recent OpenSSL status, leaving the error queue empty for the next caller.
std::int64_t takeOpenSSLStatus() {
    const auto status = static_cast<std::int64_t>(ERR_peek_last_error());
    ERR_clear_error();
    return status;
}

PlatformError importFailure(std::int64_t status) {
    return PlatformError(PlatformError::osStatusDomain, status,
                         "SecPKCS12Import failed: " + std::to_string(status));
}

/// PrivateKeyInfo (PKCS #8) around an ECPrivateKey without parameters.
Bytes pkcs8PrivateKey(ByteView privateKeyX963) {
    const ByteView point = privateKeyX963.first(std::min<std::size_t>(65, privateKeyX963.size()));
    const ByteView scalar = privateKeyX963.last(std::min<std::size_t>(32, privateKeyX963.size()));
    const Bytes ecPrivateKey = DER::sequence({DER::integer(std::uint64_t{1}), DER::octetString(scalar),
                                              DER::contextConstructed(1, DER::bitString(point))});
    return DER::sequence({DER::integer(std::uint64_t{0}), SelfSignedCertificate::keyAlgorithm(),
                          DER::octetString(ecPrivateKey)});
}

/// PKCS #7 padding: always 1 to blockSize bytes, each holding their count.
Bytes pad(ByteView bytes, std::size_t blockSize) {
    const std::size_t count = blockSize - bytes.size() % blockSize;
    Bytes padded(bytes.begin(), bytes.end());
    padded.insert(padded.end(), count, static_cast<std::uint8_t>(count));
    return padded;
}

/// Triple-DES CBC of an already padded plaintext.
Bytes tripleDESCBC(ByteView plaintext, std::span<const std::uint8_t, 24> key,
                   std::span<const std::uint8_t, 8> iv) {
    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                                  EVP_CIPHER_CTX_free);
    Bytes ciphertext(plaintext.size() + 8);
    int written = 0;
    int finished = 0;
    const bool encrypted =
        context &&
        EVP_EncryptInit_ex(context.get(), EVP_des_ede3_cbc(), nullptr, key.data(), iv.data()) == 1 &&
        EVP_CIPHER_CTX_set_padding(context.get(), 0) == 1 &&
        EVP_EncryptUpdate(context.get(), ciphertext.data(), &written, plaintext.data(),
                          static_cast<int>(plaintext.size())) == 1 &&
        EVP_EncryptFinal_ex(context.get(), ciphertext.data() + written, &finished) == 1;
    if (!encrypted) {
        const std::int64_t status = takeOpenSSLStatus();
        throw PlatformError(errorDomain, status, "3DES failed: " + std::to_string(status));
    }
    ciphertext.resize(static_cast<std::size_t>(written + finished));
    return ciphertext;
}

/// SEQUENCE { pbeWithSHAAnd3-KeyTripleDES-CBC, SEQUENCE { salt, iterations } }.
Bytes pbeAlgorithm(ByteView salt) {
    return DER::sequence({DER::objectIdentifier(OID::pbeWithSHAAnd3KeyTripleDESCBC),
                          DER::sequence({DER::octetString(salt), DER::integer(std::uint64_t{iterations})})});
}

/// Pads and encrypts under the key and IV derived from the password and salt.
Bytes encrypt(const std::string& password, ByteView salt, ByteView plaintext) {
    const Bytes key = pkcs12KDF(password, salt, iterations, keyID, 24);
    const Bytes iv = pkcs12KDF(password, salt, iterations, ivID, 8);
    return tripleDESCBC(pad(plaintext, 8), std::span<const std::uint8_t, 24>(key.data(), 24),
                        std::span<const std::uint8_t, 8>(iv.data(), 8));
}

/// ContentInfo of type data: SEQUENCE { data, [0] { OCTET STRING content } }.
Bytes dataContentInfo(ByteView content) {
    return DER::sequence(
        {DER::objectIdentifier(OID::data), DER::contextConstructed(0, DER::octetString(content))});
}

/// ContentInfo of type encryptedData around an already encrypted content.
Bytes contentInfo(ByteView encrypted, ByteView salt) {
    const Bytes encryptedContentInfo = DER::sequence(
        {DER::objectIdentifier(OID::data), pbeAlgorithm(salt), DER::contextPrimitive(0, encrypted)});
    const Bytes encryptedData = DER::sequence({DER::integer(std::uint64_t{0}), encryptedContentInfo});
    return DER::sequence(
        {DER::objectIdentifier(OID::encryptedData), DER::contextConstructed(0, encryptedData)});
}

/// SET { SEQUENCE { localKeyId, SET { OCTET STRING id } } }: ties the key to its certificate.
Bytes bagAttributes(ByteView localKeyID) {
    return DER::set(
        {DER::sequence({DER::objectIdentifier(OID::localKeyId), DER::set({DER::octetString(localKeyID)})})});
}

Bytes bag(std::string_view type, const Bytes& value, const Bytes& attributes) {
    return DER::sequence({DER::objectIdentifier(type), DER::contextConstructed(0, value), attributes});
}

Bytes keyContents(ByteView privateKeyX963, const std::string& password, ByteView salt,
                  const Bytes& attributes) {
    const Bytes encryptedKey = encrypt(password, salt, pkcs8PrivateKey(privateKeyX963));
    const Bytes shrouded = DER::sequence({pbeAlgorithm(salt), DER::octetString(encryptedKey)});
    return DER::sequence({bag(OID::pkcs8ShroudedKeyBag, shrouded, attributes)});
}

Bytes certificateContents(ByteView certificateDER, const Bytes& attributes) {
    const Bytes certificate = DER::sequence({DER::objectIdentifier(OID::x509Certificate),
                                             DER::contextConstructed(0, DER::octetString(certificateDER))});
    return DER::sequence({bag(OID::certBag, certificate, attributes)});
}

Bytes hmacSHA1(ByteView key, ByteView message) {
    Bytes mac(20);
    unsigned int written = 0;
    HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()), message.data(), message.size(), mac.data(),
         &written);
    mac.resize(written);
    return mac;
}

/// MacData: SEQUENCE { DigestInfo { SHA-1, HMAC }, salt, iterations }.
Bytes macData(const std::string& password, ByteView salt, ByteView authenticatedSafe) {
    const Bytes mac = hmacSHA1(pkcs12KDF(password, salt, iterations, macID, 20), authenticatedSafe);
    const Bytes digestAlgorithm = DER::sequence({DER::objectIdentifier(OID::sha1), DER::null()});
    return DER::sequence({DER::sequence({digestAlgorithm, DER::octetString(mac)}), DER::octetString(salt),
                          DER::integer(std::uint64_t{iterations})});
}

struct ContainerFree {
    void operator()(::PKCS12* container) const { PKCS12_free(container); }
};

} // namespace

Bytes make(ByteView privateKeyX963, ByteView certificateDER, const std::string& password) {
    const Bytes keySalt = SecureRandom::bytes(8);
    const Bytes certificateSalt = SecureRandom::bytes(8);
    const Bytes attributes = bagAttributes(SecureRandom::bytes(20));
    const Bytes encryptedCertificates =
        encrypt(password, certificateSalt, certificateContents(certificateDER, attributes));
    // The key bag is shrouded itself, so it travels as plain data; the certificate bag is encrypted.
    const Bytes authenticatedSafe =
        DER::sequence({dataContentInfo(keyContents(privateKeyX963, password, keySalt, attributes)),
                       contentInfo(encryptedCertificates, certificateSalt)});
    return DER::sequence({DER::integer(std::uint64_t{3}), dataContentInfo(authenticatedSafe),
                          macData(password, certificateSalt, authenticatedSafe)});
}

SecIdentity identity(ByteView from, const std::string& password) {
    const unsigned char* cursor = from.data();
    const std::unique_ptr<::PKCS12, ContainerFree> container(
        d2i_PKCS12(nullptr, &cursor, static_cast<long>(from.size())));
    if (!container) {
        throw importFailure(takeOpenSSLStatus());
    }
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    const int parsed = PKCS12_parse(container.get(), password.c_str(), &key, &certificate, nullptr);
    SecIdentity::KeyHandle keyHandle(key);
    SecIdentity::CertificateHandle certificateHandle(certificate);
    if (parsed != 1) {
        throw importFailure(takeOpenSSLStatus());
    }
    if (!keyHandle || !certificateHandle) {
        throw importFailure(0);
    }
    return SecIdentity(std::move(keyHandle), std::move(certificateHandle));
}

} // namespace tarnwick::PKCS12
