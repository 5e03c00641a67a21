#include "ConnectCore/Account/KeychainStore.hpp"

#include "ConnectCore/Storage/PrivateFile.hpp"

#include <libsecret/secret.h>

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

/// Ends a libsecret call: true when it got an answer, false (and the error dropped) when it did not.
bool answered(GError* error) {
    if (error) {
        g_error_free(error);
        return false;
    }
    return true;
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

bool store(const std::string& service, const std::string& secret) {
    GError* error = nullptr;
    const std::string label = "Tarnwick Connect account (" + service + ")";
    const gboolean stored = secret_password_store_sync(
        itemSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(), nullptr, &error, "service",
        service.c_str(), "account", KeychainStore::account, static_cast<char*>(nullptr));
    return answered(error) && stored;
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
      configFolder_(std::move(configFolder)) {}

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
        if (store(service_, encoded)) {
            // The Secret Service holds it now; an older copy on disk must not outlive it.
            std::filesystem::remove(fallbackFile());
            return;
        }
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
