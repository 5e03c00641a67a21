#pragma once

#include "ConnectCore/Account/AuthSession.hpp"
#include "ConnectCore/Discovery/DiscoveredPeer.hpp"
#include "ConnectCore/Identity/DeviceIdentity.hpp"
#include "ConnectCore/Transfer/IncomingOffer.hpp"
#include "ConnectCore/Transfer/ReceivedFile.hpp"
#include "ConnectCore/Transfer/TransferProgress.hpp"
#include "TarnwickConnectProtocol/Messages/DevicePlatform.hpp"
#include "TarnwickConnectProtocol/Messages/RejectMessage.hpp"

#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tarnwick {

class ServiceAdvertiser;
class ServiceBrowser;

/// What a `ConnectDevice` tells its front end, in the order it happened.
namespace DeviceEvents {

/// The listener runs (and, when asked, the service is published and browsed).
struct Started {
    DeviceIdentity identity;
    std::uint16_t port = 0;
    std::shared_ptr<ServiceAdvertiser> advertiser;
    /// None without discovery, or when browsing could not start.
    std::shared_ptr<ServiceBrowser> browser;
};
/// The device could not start; `reason` is the failure's own text.
struct StartFailed {
    std::string reason;
};
/// Everything DNS-SD sees right now, this device included.
struct PeersChanged {
    std::vector<DiscoveredPeer> peers;
};
/// A dial to the peer began; no other dial to it starts until `DialEnded`.
struct DialStarted {
    std::string peerID;
};
/// The peer could not be reached at all (no TCP or TLS).
struct DialFailed {
    DiscoveredPeer peer;
};
/// The dial is over, whatever its outcome; after `Connected` when it succeeded.
struct DialEnded {
    std::string peerID;
};
/// A first contact waits for the user to compare `code`; answer with `answerPairing(prompt, …)`.
struct PairingRequested {
    std::uint64_t prompt = 0;
    std::string code;
    std::string peerName;
    std::string fingerprint;
    /// The identifier the peer announced.
    std::string deviceID;
    /// Where the peer connected from (or was dialled at).
    std::string address;
    /// A device paired under this identifier or name had another key: a reset device, or an impostor.
    bool keyChanged = false;
};
/// The prompt was answered or its session gave up waiting.
struct PairingEnded {
    std::uint64_t prompt = 0;
};
/// A confirmed peer proved its key and is trusted from now on.
struct Paired {
    std::string fingerprint;
    /// The identifier the peer announced.
    std::string deviceID;
    std::string name;
    /// This side's pairing commitment to the handshake it saw (`PairingCode::commitment`); the peer's is the
    /// same unless something in the middle ran two handshakes.
    std::string commitment;
};
/// A session is ready; the device is known by the key its session authenticated.
struct Connected {
    std::string fingerprint;
    std::string deviceID;
    std::string name;
    DevicePlatform platform = DevicePlatform::iOS;
    /// The peer identifier its dial was given; none for a connection the device accepted.
    std::optional<std::string> dialedAs;
};
struct Disconnected {
    std::string fingerprint;
};
struct Received {
    std::string fingerprint;
    ReceivedFile file;
};
/// An offer from the device was refused before anyone was asked, with the reject sent to it (reason
/// `TransferReceiver::insufficientSpaceReason`: its files would not fit in the receive folder).
struct ReceiveRefused {
    std::string fingerprint;
    RejectMessage refusal;
};
/// An offer from the device is being received: once accepted, as it progresses, and when it ended.
struct ReceiveProgressed {
    std::string fingerprint;
    IncomingOffer offer;
};
struct TransferProgressed {
    std::uint64_t transfer = 0;
    TransferProgress progress;
};
/// A send ended: every file arrived (no failure), or why not.
struct TransferEnded {
    std::uint64_t transfer = 0;
    std::exception_ptr failure;
};

/// A file finished arriving in a watched folder (once per version of the file).
struct FileSettled {
    std::filesystem::path file;
};

/// Whether this host has a usable network path: its first reading, then every change.
struct NetworkChanged {
    bool satisfied = true;
};

/// The stored account was read at start, whether there was one or not.
struct AccountLoaded {
    std::optional<AuthSession> session;
};
/// A browser sign-in ended with a session; the registration of this device follows.
struct SignedIn {
    AuthSession session;
};
/// A browser sign-in could not finish: an `AuthError`, or the token service could not be reached.
struct SignInFailed {
    std::exception_ptr failure;
};
struct SignedOut {};
/// The registry knows this device under `deviceId`.
struct Registered {
    std::string deviceId;
};
/// Registering this device failed; the account stays signed in.
struct RegistrationFailed {
    std::exception_ptr failure;
};
/// The registry found that both sides of a first contact committed to the same handshake.
struct PairingVerified {
    std::string fingerprint;
};
/// The registry found two handshakes behind a first contact (a relay in the middle): the session has been
/// closed, and the pairing should be forgotten.
struct PairingRefuted {
    std::string fingerprint;
    std::string name;
};

} // namespace DeviceEvents

using DeviceEvent = std::variant<
    DeviceEvents::Started, DeviceEvents::StartFailed, DeviceEvents::PeersChanged, DeviceEvents::DialStarted,
    DeviceEvents::DialFailed, DeviceEvents::DialEnded, DeviceEvents::PairingRequested,
    DeviceEvents::PairingEnded, DeviceEvents::Paired, DeviceEvents::Connected, DeviceEvents::Disconnected,
    DeviceEvents::Received, DeviceEvents::ReceiveRefused, DeviceEvents::ReceiveProgressed,
    DeviceEvents::TransferProgressed, DeviceEvents::TransferEnded, DeviceEvents::FileSettled,
    DeviceEvents::NetworkChanged, DeviceEvents::AccountLoaded, DeviceEvents::SignedIn,
    DeviceEvents::SignInFailed, DeviceEvents::SignedOut, DeviceEvents::Registered,
    DeviceEvents::RegistrationFailed, DeviceEvents::PairingVerified, DeviceEvents::PairingRefuted>;

} // namespace tarnwick
