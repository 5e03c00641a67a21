#include "tools/DevBackend/DevDatabase.hpp"

#include <algorithm>
#include <sqlite3.h>
#include <stdexcept>
#include <utility>

namespace tarnwick::dev {
namespace {

using Clock = std::chrono::system_clock;

constexpr const char* schema = R"(
CREATE TABLE IF NOT EXISTS settings (key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS users (sub TEXT PRIMARY KEY, email TEXT UNIQUE NOT NULL, tenant TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS refresh_tokens (token TEXT PRIMARY KEY, sub TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS codes (code TEXT PRIMARY KEY, sub TEXT NOT NULL, challenge TEXT NOT NULL,
                                  redirect_uri TEXT NOT NULL, expires_at INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS devices (tenant TEXT NOT NULL, device_id TEXT NOT NULL, name TEXT NOT NULL,
                                    platform TEXT NOT NULL, public_key TEXT NOT NULL, spki TEXT NOT NULL,
                                    os_version TEXT NOT NULL, app_version TEXT NOT NULL,
                                    last_seen TEXT NOT NULL, PRIMARY KEY (tenant, device_id));
CREATE TABLE IF NOT EXISTS pairings (tenant TEXT NOT NULL, device_a TEXT NOT NULL, device_b TEXT NOT NULL,
                                     commitment_a TEXT NOT NULL, commitment_b TEXT NOT NULL,
                                     PRIMARY KEY (tenant, device_a, device_b));
CREATE TABLE IF NOT EXISTS wakes (tenant TEXT NOT NULL, target TEXT NOT NULL, at INTEGER NOT NULL);
)";

std::int64_t seconds(Clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

} // namespace

/// One prepared statement with its parameters bound in order; finalised when it goes.
class DevDatabase::Statement {
public:
    template <typename... Values> Statement(sqlite3* db, const char* sql, const Values&... values) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db));
        }
        int index = 0;
        (bind(++index, values), ...);
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    /// Moves to the next row; false when there is none (or the statement wrote and is done).
    bool step() {
        const int result = sqlite3_step(statement_);
        if (result != SQLITE_ROW && result != SQLITE_DONE) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
        return result == SQLITE_ROW;
    }
    std::string text(int column) const {
        const auto* value = sqlite3_column_text(statement_, column);
        return value ? reinterpret_cast<const char*>(value) : "";
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }

private:
    void bind(int index, const std::string& value) {
        sqlite3_bind_text(statement_, index, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }
    void bind(int index, std::int64_t value) { sqlite3_bind_int64(statement_, index, value); }

    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

DevDatabase::DevDatabase(const std::string& file) {
    if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db_);
        sqlite3_close(db_);
        throw std::runtime_error("cannot open " + file + ": " + message);
    }
    execute(schema);
}

DevDatabase::~DevDatabase() {
    sqlite3_close(db_);
}

void DevDatabase::execute(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string error = message ? message : "unknown error";
        sqlite3_free(message);
        throw std::runtime_error(error);
    }
}

std::string DevDatabase::setting(const std::string& key, const std::string& made) {
    const std::lock_guard hold(lock_);
    Statement(db_, "INSERT OR IGNORE INTO settings VALUES (?, ?)", key, made).step();
    Statement read(db_, "SELECT value FROM settings WHERE key = ?", key);
    read.step();
    return read.text(0);
}

DevDatabase::User DevDatabase::signIn(const std::string& email, const std::string& newSub) {
    const auto at = email.find('@');
    std::string tenant = at == std::string::npos ? "" : email.substr(at + 1);
    for (char& c : tenant) {
        c = c == '.' ? '-' : c;
    }
    const std::lock_guard hold(lock_);
    Statement(db_, "INSERT OR IGNORE INTO users VALUES (?, ?, ?)", newSub, email, tenant).step();
    Statement read(db_, "SELECT sub, email, tenant FROM users WHERE email = ?", email);
    read.step();
    return {read.text(0), read.text(1), read.text(2)};
}

std::optional<DevDatabase::User> DevDatabase::user(const std::string& sub) {
    const std::lock_guard hold(lock_);
    Statement read(db_, "SELECT sub, email, tenant FROM users WHERE sub = ?", sub);
    if (!read.step()) {
        return std::nullopt;
    }
    return User{read.text(0), read.text(1), read.text(2)};
}

void DevDatabase::addRefreshToken(const std::string& token, const std::string& sub) {
    const std::lock_guard hold(lock_);
    Statement(db_, "INSERT INTO refresh_tokens VALUES (?, ?)", token, sub).step();
}

std::optional<std::string> DevDatabase::refreshTokenOwner(const std::string& token) {
    const std::lock_guard hold(lock_);
    Statement read(db_, "SELECT sub FROM refresh_tokens WHERE token = ?", token);
    return read.step() ? std::optional<std::string>(read.text(0)) : std::nullopt;
}

void DevDatabase::addCode(const std::string& code, const Code& details) {
    const std::lock_guard hold(lock_);
    Statement(db_, "INSERT INTO codes VALUES (?, ?, ?, ?, ?)", code, details.sub, details.challenge,
              details.redirectURI, seconds(details.expiresAt))
        .step();
}

std::optional<DevDatabase::Code> DevDatabase::takeCode(const std::string& code) {
    const std::lock_guard hold(lock_);
    Statement read(db_, "SELECT sub, challenge, redirect_uri, expires_at FROM codes WHERE code = ?", code);
    if (!read.step()) {
        return std::nullopt;
    }
    Code details{read.text(0), read.text(1), read.text(2),
                 Clock::time_point(std::chrono::seconds(read.integer(3)))};
    Statement(db_, "DELETE FROM codes WHERE code = ?", code).step();
    return details;
}

void DevDatabase::putDevice(const std::string& tenant, const Device& d) {
    const std::lock_guard hold(lock_);
    Statement(db_, "INSERT OR REPLACE INTO devices VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)", tenant, d.deviceId,
              d.name, d.platform, d.publicKeySPKI, d.spkiSHA256, d.osVersion, d.appVersion, d.lastSeenAt)
        .step();
}

namespace {
constexpr const char* deviceColumns =
    "SELECT device_id, name, platform, public_key, spki, os_version, app_version, last_seen FROM devices ";
}

std::optional<DevDatabase::Device> DevDatabase::device(const std::string& tenant,
                                                       const std::string& deviceId) {
    const std::lock_guard hold(lock_);
    Statement read(db_, (std::string(deviceColumns) + "WHERE tenant = ? AND device_id = ?").c_str(), tenant,
                   deviceId);
    if (!read.step()) {
        return std::nullopt;
    }
    return Device{read.text(0), read.text(1), read.text(2), read.text(3),
                  read.text(4), read.text(5), read.text(6), read.text(7)};
}

std::vector<DevDatabase::Device> DevDatabase::devices(const std::string& tenant) {
    const std::lock_guard hold(lock_);
    Statement read(db_, (std::string(deviceColumns) + "WHERE tenant = ? ORDER BY device_id").c_str(), tenant);
    std::vector<Device> found;
    while (read.step()) {
        found.push_back({read.text(0), read.text(1), read.text(2), read.text(3), read.text(4), read.text(5),
                         read.text(6), read.text(7)});
    }
    return found;
}

bool DevDatabase::removeDevice(const std::string& tenant, const std::string& deviceId) {
    const std::lock_guard hold(lock_);
    Statement(db_, "DELETE FROM devices WHERE tenant = ? AND device_id = ?", tenant, deviceId).step();
    const bool removed = sqlite3_changes(db_) > 0;
    Statement(db_, "DELETE FROM pairings WHERE tenant = ? AND (device_a = ? OR device_b = ?)", tenant,
              deviceId, deviceId)
        .step();
    return removed;
}

DevDatabase::Pairing DevDatabase::submitPairing(const std::string& tenant, const std::string& deviceId,
                                                const std::string& peerId, const std::string& commitment) {
    const bool first = deviceId < peerId;
    const std::string& a = first ? deviceId : peerId;
    const std::string& b = first ? peerId : deviceId;
    const std::lock_guard hold(lock_);
    Statement(db_, "INSERT OR IGNORE INTO pairings VALUES (?, ?, ?, '', '')", tenant, a, b).step();
    Statement(db_,
              first
                  ? "UPDATE pairings SET commitment_a = ? WHERE tenant = ? AND device_a = ? AND device_b = ?"
                  : "UPDATE pairings SET commitment_b = ? WHERE tenant = ? AND device_a = ? AND device_b = ?",
              commitment, tenant, a, b)
        .step();
    Statement read(db_,
                   "SELECT commitment_a, commitment_b FROM pairings WHERE tenant = ? AND device_a = ? AND "
                   "device_b = ?",
                   tenant, a, b);
    read.step();
    return {a, b, read.text(0), read.text(1)};
}

std::vector<DevDatabase::Pairing> DevDatabase::pairings(const std::string& tenant) {
    const std::lock_guard hold(lock_);
    Statement read(
        db_,
        "SELECT device_a, device_b, commitment_a, commitment_b FROM pairings WHERE tenant = ? ORDER BY "
        "device_a, device_b",
        tenant);
    std::vector<Pairing> found;
    while (read.step()) {
        found.push_back({read.text(0), read.text(1), read.text(2), read.text(3)});
    }
    return found;
}

bool DevDatabase::removePairing(const std::string& tenant, const std::string& deviceId,
                                const std::string& peerId) {
    const std::lock_guard hold(lock_);
    Statement(db_, "DELETE FROM pairings WHERE tenant = ? AND device_a = ? AND device_b = ?", tenant,
              std::min(deviceId, peerId), std::max(deviceId, peerId))
        .step();
    return sqlite3_changes(db_) > 0;
}

int DevDatabase::recordWake(const std::string& tenant, const std::string& target, Clock::time_point now,
                            Clock::time_point since) {
    const std::lock_guard hold(lock_);
    Statement(db_, "INSERT INTO wakes VALUES (?, ?, ?)", tenant, target, seconds(now)).step();
    Statement read(db_, "SELECT COUNT(*) FROM wakes WHERE tenant = ? AND target = ? AND at >= ?", tenant,
                   target, seconds(since));
    read.step();
    return static_cast<int>(read.integer(0));
}

} // namespace tarnwick::dev
