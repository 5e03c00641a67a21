#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace tarnwick::dev {

/// The development back end's data in one SQLite file: accounts, refresh tokens, pending
/// authorization codes, and each workspace's devices, pairings and wake requests. Every call holds
/// one lock, since the HTTP server answers on several threads.
class DevDatabase {
public:
    struct User {
        std::string sub;
        std::string email;
        std::string tenant; ///< empty for an address without a domain: an account with no workspace
    };

    struct Code {
        std::string sub;
        std::string challenge;
        std::string redirectURI;
        std::chrono::system_clock::time_point expiresAt;
    };

    struct Device {
        std::string deviceId;
        std::string name;
        std::string platform;
        std::string publicKeySPKI;
        std::string spkiSHA256;
        std::string osVersion;
        std::string appVersion;
        std::string lastSeenAt;
    };

    struct Pairing {
        std::string deviceA; ///< the lesser identifier of the two
        std::string deviceB;
        std::string commitmentA; ///< empty until that side has submitted
        std::string commitmentB;
    };

    /// Opens or creates the file (":memory:" keeps nothing).
    explicit DevDatabase(const std::string& file);
    ~DevDatabase();
    DevDatabase(const DevDatabase&) = delete;
    DevDatabase& operator=(const DevDatabase&) = delete;

    /// The value kept under `key`, made by `make` and kept the first time it is asked for.
    std::string setting(const std::string& key, const std::string& made);

    /// The account of an e-mail address, created on first sign-in with `newSub`.
    User signIn(const std::string& email, const std::string& newSub);
    std::optional<User> user(const std::string& sub);

    void addRefreshToken(const std::string& token, const std::string& sub);
    std::optional<std::string> refreshTokenOwner(const std::string& token);

    void addCode(const std::string& code, const Code& details);
    /// The code's details, removed so that it is redeemed at most once.
    std::optional<Code> takeCode(const std::string& code);

    void putDevice(const std::string& tenant, const Device& device);
    std::optional<Device> device(const std::string& tenant, const std::string& deviceId);
    std::vector<Device> devices(const std::string& tenant);
    /// Removes the device and its pairings; false when there was none.
    bool removeDevice(const std::string& tenant, const std::string& deviceId);

    /// Records one side's commitment and returns the pairing as it now stands.
    Pairing submitPairing(const std::string& tenant, const std::string& deviceId, const std::string& peerId,
                          const std::string& commitment);
    std::vector<Pairing> pairings(const std::string& tenant);
    bool removePairing(const std::string& tenant, const std::string& deviceId, const std::string& peerId);

    /// Records a wake request and returns how many the target got since `since`, this one included.
    int recordWake(const std::string& tenant, const std::string& target,
                   std::chrono::system_clock::time_point now, std::chrono::system_clock::time_point since);

private:
    class Statement;

    void execute(const char* sql);

    std::mutex lock_;
    sqlite3* db_ = nullptr;
};

} // namespace tarnwick::dev
