#include "TarnwickConnectProtocol/Certificates/SelfSignedCertificate.hpp"

#include "TarnwickConnectProtocol/Certificates/ObjectIdentifiers.hpp"
#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"

namespace tarnwick::SelfSignedCertificate {
namespace {

namespace OID = ObjectIdentifiers;

/// A random serial is positive and at most 16 bytes, as RFC 5280 asks.
Bytes randomSerialNumber() {
    Bytes serial = SecureRandom::bytes(16);
    serial[0] &= 0x7F;
    return serial;
}

Bytes signatureAlgorithm() {
    return DER::sequence({DER::objectIdentifier(OID::ecdsaWithSHA256)});
}

Bytes attribute(std::string_view type, std::string_view value) {
    return DER::set({DER::sequence({DER::objectIdentifier(type), DER::utf8String(value)})});
}

/// Organization first, then common name; issuer and subject are the same name.
Bytes name(std::string_view commonName, std::string_view organization) {
    return DER::sequence(
        {attribute(OID::organizationName, organization), attribute(OID::commonName, commonName)});
}

Bytes validityPeriod(DER::Instant notBefore, double seconds) {
    const auto span =
        std::chrono::duration_cast<DER::Instant::duration>(std::chrono::duration<double>(seconds));
    return DER::sequence({DER::time(notBefore), DER::time(notBefore + span)});
}

Bytes extension(std::string_view identifier, bool critical, const Bytes& value) {
    std::vector<Bytes> fields{DER::objectIdentifier(identifier)};
    if (critical) {
        fields.push_back(DER::boolean(true));
    }
    fields.push_back(DER::octetString(value));
    return DER::sequence(fields);
}

/// Not a CA; signs (TLS 1.3 handshakes) and, for older key exchanges, enciphers keys; serves both
/// TLS roles; names the device as a DNS name.
Bytes extensions(std::string_view commonName) {
    constexpr std::uint8_t digitalSignatureAndKeyEncipherment = 0xA0;
    const Bytes keyUsageBits =
        DER::encode(DER::Tag::bitString, Bytes{0x05, digitalSignatureAndKeyEncipherment});
    const Bytes extendedUsages =
        DER::sequence({DER::objectIdentifier(OID::serverAuth), DER::objectIdentifier(OID::clientAuth)});
    const Bytes dnsName = DER::contextPrimitive(2, bytesOf(commonName));
    return DER::sequence({
        extension(OID::basicConstraints, true, DER::sequence({})),
        extension(OID::keyUsage, true, keyUsageBits),
        extension(OID::extKeyUsage, false, extendedUsages),
        extension(OID::subjectAltName, false, DER::sequence({dnsName})),
    });
}

} // namespace

Bytes keyAlgorithm() {
    return DER::sequence({DER::objectIdentifier(OID::ecPublicKey), DER::objectIdentifier(OID::prime256v1)});
}

Bytes subjectPublicKeyInfo(ByteView publicKeyX963) {
    return DER::sequence({keyAlgorithm(), DER::bitString(publicKeyX963)});
}

Bytes make(ByteView publicKeyX963, std::string_view commonName, std::string_view organization,
           const std::optional<Bytes>& serialNumber, DER::Instant notBefore, double validity,
           const Signer& sign) {
    const Bytes version = DER::contextConstructed(0, DER::integer(2));
    const Bytes serial = DER::integer(serialNumber ? *serialNumber : randomSerialNumber());
    const Bytes subject = name(commonName, organization);
    const Bytes toBeSigned = DER::sequence({
        version,
        serial,
        signatureAlgorithm(),
        subject,
        validityPeriod(notBefore, validity),
        subject,
        subjectPublicKeyInfo(publicKeyX963),
        DER::contextConstructed(3, extensions(commonName)),
    });
    const Bytes signature = sign(toBeSigned);
    return DER::sequence({toBeSigned, signatureAlgorithm(), DER::bitString(signature)});
}

} // namespace tarnwick::SelfSignedCertificate
