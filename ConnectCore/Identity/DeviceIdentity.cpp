#include "ConnectCore/Identity/DeviceIdentity.hpp"

#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Certificates/PKCS12.hpp"
#include "TarnwickConnectProtocol/Certificates/SelfSignedCertificate.hpp"
#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"

#include <chrono>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view organization = "Tarnwick Connect";
/// Ten years of 365 days. The certificate is rebuilt at every start, so it never comes near expiry.
constexpr double validity = 315'360'000;
/// Back-dated an hour so that a peer whose clock runs a little behind still accepts it.
constexpr auto backDating = 3600s;

/// The container lives for one import; its password only has to be unguessable for that moment.
std::string containerPassword() {
    return Base64::encode(SecureRandom::bytes(32));
}

} // namespace

DeviceIdentity DeviceIdentity::software(std::string deviceID, std::string deviceName, DevicePlatform platform,
                                        std::string osVersion, std::string appVersion,
                                        P256PrivateKey privateKey) {
    const Bytes point = privateKey.publicKey().x963();
    const Bytes certificate = SelfSignedCertificate::make(
        point, deviceName, organization, std::nullopt, std::chrono::system_clock::now() - backDating,
        validity, [&privateKey](ByteView toBeSigned) { return privateKey.signature(toBeSigned); });
    const std::string password = containerPassword();
    const Bytes container = PKCS12::make(privateKey.x963(), certificate, password);
    auto identityBox = std::make_shared<const SecIdentity>(PKCS12::identity(container, password));
    return DeviceIdentity(std::move(deviceID), std::move(deviceName), platform, std::move(osVersion),
                          std::move(appVersion), SelfSignedCertificate::subjectPublicKeyInfo(point),
                          std::move(identityBox), std::move(privateKey));
}

DeviceIdentity::DeviceIdentity(std::string deviceID, std::string deviceName, DevicePlatform platform,
                               std::string osVersion, std::string appVersion, Bytes spkiDER,
                               SecIdentityBox identityBox, P256PrivateKey signer)
    : deviceID_(std::move(deviceID)),
      deviceName_(std::move(deviceName)),
      platform_(platform),
      osVersion_(std::move(osVersion)),
      appVersion_(std::move(appVersion)),
      spkiDER_(std::move(spkiDER)),
      identityBox_(std::move(identityBox)),
      signer_(std::move(signer)) {}

std::string DeviceIdentity::spkiSHA256() const {
    return SPKIFingerprint::compute(spkiDER_);
}

Bytes DeviceIdentity::sign(ByteView bytes) const {
    return signer_.signature(bytes);
}

} // namespace tarnwick
