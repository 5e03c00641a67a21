#pragma once

#include "ConnectCore/Identity/DeviceIdentity.hpp"

#include <filesystem>
#include <string>
#include <string_view>

/// Keeps this device's key and identifier across starts in two small files of one folder (the
/// application-support folder in the application) and rebuilds everything else from them.
namespace tarnwick::PersistentIdentity {

/// The 32-byte raw private scalar, nothing else.
inline constexpr std::string_view keyFileName = "device.key";
/// The identifier as UTF-8 text without a line break.
inline constexpr std::string_view idFileName = "device.id";

/// The identity kept in `folder`. Missing, unreadable or unusable files give a new key and identifier,
/// written back when the folder allows and used for this run regardless. Throws only when the
/// certificate, the container or the import fails.
DeviceIdentity loadOrCreate(const std::filesystem::path& folder, std::string deviceName,
                            DevicePlatform platform, std::string appVersion);

/// Deletes both files, ignoring errors.
void clear(const std::filesystem::path& folder);

} // namespace tarnwick::PersistentIdentity
