#include "ConnectCore/Account/KeychainStore.hpp"

#include "ConnectCore/Storage/PrivateFile.hpp"

#include <libsecret/secret.h>

#include <iostream>
#include <string_view>

namespace tarnwick {
namespace {

/// A stored session is a few kilobytes; anything far larger is not ours.
constexpr std::size_t fileLimit = 64 * 1024;

const SecretSchema* itemSchema() {
    static const SecretSchema schema = [] {
        SecretSchema made{};
        made.name = "io.tarnwick.connect.Item";
        // Items are found by service and account alone, as a generic password is.
        made.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        made.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return made;
    }();
    return &schema;
}

/// How a libsecret call ended.
enum class Outcome {
    answered, ///< the Secret Service answered
    absent,   ///< there is no Secret Service: no session bus, or nothing owns or provides its name
    failed,   ///< a Secret Service is there but did not do it (locked, dismissed, broken)
};

/// Ends a libsecret call, dropping its error.
Outcome outcome(GError* error) {
    if (!error) {
        return Outcome::answered;
    }
    // No bus to connect to is an I/O error; a bus that timed out may well have a busy keyring.
    const bool absent =
        (error->domain == G_IO_ERROR && error->code != G_IO_ERROR_TIMED_OUT) ||
        (error->domain == G_DBUS_ERROR &&
         (error->code == G_DBUS_ERROR_SERVICE_UNKNOWN || error->code == G_DBUS_ERROR_NAME_HAS_NO_OWNER ||
          error->code == G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND));
    g_error_free(error);
    return absent ? Outcome::absent : Outcome::failed;
}

bool answered(GError* error) {
    return outcome(error) == Outcome::answered;
}

std::optional<std::string> lookUp(const std::string& service) {
    GError* error = nullptr;
    gchar* secret =
        secret_password_lookup_sync(itemSchema(), nullptr, &error, "service", service.c_str(), "account",
                                    KeychainStore::account, static_cast<char*>(nullptr));
    if (!answered(error) || !secret) {
        return std::nullopt;
    }
    std::string value(secret);
    secret_password_free(secret);
    return value;
}

Outcome store(const std::string& service, const std::string& secret) {
    GError* error = nullptr;
    const std::string label = "Tarnwick Connect account (" + service + ")";
    const gboolean stored = secret_password_store_sync(
        itemSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(), nullptr, &error, "service",
        service.c_str(), "account", KeychainStore::account, static_cast<char*>(nullptr));
    const Outcome result = outcome(error);
    return result == Outcome::answered && !stored ? Outcome::failed : result;
}

void remove(const std::string& service) {
    GError* error = nullptr;
    secret_password_clear_sync(itemSchema(), nullptr, &error, "service", service.c_str(), "account",
                               KeychainStore::account, static_cast<char*>(nullptr));
    answered(error);
}

} // namespace

KeychainStore::KeychainStore(std::string service, std::filesystem::path configFolder)
    : service_(std::move(service)),
      configFolder_(std::move(configFolder)),
      toldOfFile_(std::make_shared<std::once_flag>()) {}

std::filesystem::path KeychainStore::fallbackFile() const {
    return configFolder_ / (service_ + ".session");
}

std::optional<AuthSession> KeychainStore::loadSession() const {
    auto stored = lookUp(service_);
    if (!stored) {
        // Saved while no Secret Service answered, or none at all.
        const auto bytes = PrivateFile::read(fallbackFile(), fileLimit);
        if (!bytes) {
            return std::nullopt;
        }
        stored = std::string(bytes->begin(), bytes->end());
    }
    try {
        return AuthSession::decode(*stored);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void KeychainStore::save(const AuthSession& session) const {
    const std::string encoded = session.encode();
    try {
        switch (store(service_, encoded)) {
        case Outcome::answered:
            // The Secret Service holds it now; an older copy on disk must not outlive it.
            std::filesystem::remove(fallbackFile());
            return;
        case Outcome::failed:
            // A keyring that refused once (locked, a prompt dismissed) is still the user's choice: the
            // tokens do not move to a plain file behind its back.
            return;
        case Outcome::absent:
            break;
        }
        std::call_once(*toldOfFile_, [this] {
            std::cout << "key store: no Secret Service on the session bus, so the account is kept in "
                      << fallbackFile().string() << std::endl;
        });
        PrivateFile::createFolder(configFolder_);
        PrivateFile::write(fallbackFile(), bytesOf(encoded));
    } catch (const std::exception&) {
        // The next launch starts signed out; nothing else depends on the save.
    }
}

void KeychainStore::clear() const {
    remove(service_);
    std::error_code ignored;
    std::filesystem::remove(fallbackFile(), ignored);
}

} // namespace tarnwick
