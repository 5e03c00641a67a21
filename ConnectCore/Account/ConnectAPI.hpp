#pragma once

#include "ConnectCore/Account/AuthStore.hpp"
#include "ConnectCore/Account/HTTPClient.hpp"
#include "ConnectCore/Account/RegisteredDevice.hpp"
#include "ConnectCore/Account/RegisteredPairing.hpp"
#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// The client of the workspace's device and pairing registry. Every request carries the account's ID
/// token and workspace. It keeps no mutable state, so its requests need no strand: they run on the
/// caller's executor and interleave while they wait on the network, which runs on the blocking pool.
/// Failures are `APIError`, `AuthError`, `TransportError` or `DecodingError`; none changes anything here.
class ConnectAPI {
public:
    /// `auth` is shared with the application: the source of the session and of fresh tokens.
    ConnectAPI(asio::any_io_executor blocking, std::shared_ptr<AuthStore> auth, std::string apiBaseURL,
               HTTPClient http = {});

    /// Registers (or updates) this device with its DER public key; the fingerprint is computed here.
    asio::awaitable<RegisteredDevice> registerDevice(std::string deviceId, std::string name,
                                                     std::string platform, Bytes publicKeySPKI,
                                                     std::string osVersion, std::string appVersion);
    asio::awaitable<std::vector<RegisteredDevice>> listDevices();
    asio::awaitable<void> revokeDevice(std::string deviceId);
    /// The pairing's state as the registry reports it: "active" once both devices committed to the same
    /// value, "mismatch" when they differ, "pending" until both are in.
    asio::awaitable<std::string> submitPairing(std::string deviceId, std::string peerDeviceId,
                                               std::string sasCommitment);
    asio::awaitable<std::vector<RegisteredPairing>> listPairings();
    asio::awaitable<void> revokePairing(std::string deviceId, std::string peerDeviceId);
    /// Asks the registry to wake a device; returns its "delivered" text.
    asio::awaitable<std::string> wake(std::string targetDeviceId, std::string summary);

private:
    /// One request; `path` may carry a query.
    struct Call {
        std::string method;
        std::string path;
        std::optional<nlohmann::ordered_json> body;
    };

    /// Sends the call and returns the answer's JSON object.
    asio::awaitable<nlohmann::json> send(Call call);

    asio::any_io_executor blocking_;
    std::shared_ptr<AuthStore> auth_;
    std::string apiBaseURL_;
    HTTPClient http_;
};

} // namespace tarnwick
