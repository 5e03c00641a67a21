#pragma once

#include "ConnectCore/Account/AuthSession.hpp"

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tarnwick {

/// Keeps the signed-in session across launches: as the item (service, "session") of the Secret Service
/// when the session bus has one, and only when there is none at all in a 0600 file in the application's
/// config folder (said once on standard output). Blocking (D-Bus and disk): run it on a pool. Failures
/// never surface; a failed save means signing in again.
class KeychainStore {
public:
    static constexpr const char* account = "session";

    /// `configFolder` holds the fallback file: `$XDG_CONFIG_HOME/Tarnwick` for the application.
    KeychainStore(std::string service, std::filesystem::path configFolder);

    const std::string& service() const { return service_; }
    /// Where the session is kept when no Secret Service answers.
    std::filesystem::path fallbackFile() const;

    /// The stored session; none when there is none or it cannot be read.
    std::optional<AuthSession> loadSession() const;
    void save(const AuthSession& session) const;
    void clear() const;

private:
    std::string service_;
    std::filesystem::path configFolder_;
    /// Shared by copies, so that the fallback is said once per store, not once per save.
    std::shared_ptr<std::once_flag> toldOfFile_;
};

} // namespace tarnwick
