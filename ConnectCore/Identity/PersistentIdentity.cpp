#include "ConnectCore/Identity/PersistentIdentity.hpp"

#include "ConnectCore/Host/HostFacts.hpp"
#include "ConnectCore/Storage/PrivateFile.hpp"
#include "TarnwickConnectProtocol/Crypto/UUID.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <unicode/utf8.h>

#include <optional>

namespace tarnwick::PersistentIdentity {
namespace {

/// Both files hold a few dozen bytes; anything longer than this is not ours and is not read whole.
constexpr std::size_t fileLimit = 4096;

struct Stored {
    P256PrivateKey key;
    std::string deviceID;
};

bool isUTF8(std::string_view text) {
    for (std::int32_t index = 0; index < static_cast<std::int32_t>(text.size());) {
        UChar32 scalar = 0;
        U8_NEXT(text.data(), index, static_cast<std::int32_t>(text.size()), scalar);
        if (scalar < 0) {
            return false;
        }
    }
    return true;
}

/// The key and identifier when both files are there and usable.
std::optional<Stored> load(const std::filesystem::path& folder) {
    const auto keyBytes = PrivateFile::read(folder / keyFileName, fileLimit);
    const auto idBytes = PrivateFile::read(folder / idFileName, fileLimit);
    if (!keyBytes || !idBytes || idBytes->empty()) {
        return std::nullopt;
    }
    std::string deviceID(idBytes->begin(), idBytes->end());
    if (!isUTF8(deviceID)) {
        return std::nullopt;
    }
    try {
        return Stored{P256PrivateKey::fromRaw(*keyBytes), std::move(deviceID)};
    } catch (const TWCPError&) {
        return std::nullopt;
    }
}

/// Writes both files; one that cannot be written is skipped. Without the folder nothing is written.
void save(const std::filesystem::path& folder, const Stored& stored) {
    try {
        PrivateFile::createFolder(folder);
    } catch (const std::system_error&) {
        return;
    }
    const std::pair<std::string_view, Bytes> files[] = {{keyFileName, stored.key.rawRepresentation()},
                                                        {idFileName, bytesOf(stored.deviceID)}};
    for (const auto& [name, contents] : files) {
        try {
            PrivateFile::write(folder / name, contents);
        } catch (const std::system_error&) {
            // The identity still serves this run; the next start makes another.
        }
    }
}

Stored create(const std::filesystem::path& folder) {
    Stored stored{P256PrivateKey::generate(), UUID::random()};
    save(folder, stored);
    return stored;
}

} // namespace

DeviceIdentity loadOrCreate(const std::filesystem::path& folder, std::string deviceName,
                            DevicePlatform platform, std::string appVersion) {
    std::optional<Stored> stored = load(folder);
    if (!stored) {
        stored = create(folder);
    }
    return DeviceIdentity::software(std::move(stored->deviceID), std::move(deviceName), platform,
                                    HostFacts::osVersion(), std::move(appVersion), std::move(stored->key));
}

void clear(const std::filesystem::path& folder) {
    std::error_code ignored;
    std::filesystem::remove(folder / keyFileName, ignored);
    std::filesystem::remove(folder / idFileName, ignored);
}

} // namespace tarnwick::PersistentIdentity
