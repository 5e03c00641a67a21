#pragma once

#include "ConnectCore/Discovery/TXTRecord.hpp"

#include <string>
#include <string_view>

namespace tarnwick {
class TWCPIdentity;
}

/// How devices announce themselves with DNS-SD: the service type and the TXT record.
namespace tarnwick::ConnectService {

inline constexpr std::string_view type = "_tarnwick-connect._tcp";
/// The advertiser and the browser pass no domain, which means this one.
inline constexpr std::string_view domain = "local.";

/// The keys of the TXT record.
namespace TXT {
/// The protocol version as decimal text; written, never read.
inline constexpr std::string_view version = "v";
/// The device identifier; a peer needs it.
inline constexpr std::string_view deviceID = "pid";
/// The SPKI fingerprint of the device's certificate key; a peer needs it.
inline constexpr std::string_view fingerprint = "spki";
/// The platform's raw name ("macOS", "iOS", "iPadOS").
inline constexpr std::string_view model = "mdl";
inline constexpr std::string_view osVersion = "os";
/// The capability set's raw value as decimal text.
inline constexpr std::string_view capabilities = "cap";
} // namespace TXT

/// The six entries this device publishes about itself.
TXTRecord txtRecord(const TWCPIdentity& identity);

/// The DNS-SD instance name for a device name: a DNS label holds at most 63 bytes, so a longer name is
/// cut at a character boundary; an empty name becomes "Tarnwick Connect".
std::string instanceName(std::string_view deviceName);

} // namespace tarnwick::ConnectService
