#pragma once

#include "ConnectCore/Identity/DeviceIdentity.hpp"

#include <memory>
#include <string>

namespace tarnwick::testing {

/// A device's TLS identity with its key at hand, built as a start builds it.
struct TLSIdentity {
    P256PrivateKey key = P256PrivateKey::generate();
    DeviceIdentity device;
    std::shared_ptr<const SecIdentity> identity;
    std::string spkiSHA256;

    explicit TLSIdentity(const std::string& name = "Test Device")
        : device(DeviceIdentity::software(name + "-ID", name, DevicePlatform::macOS, "", "", key)),
          identity(device.secIdentity()),
          spkiSHA256(device.spkiSHA256()) {}
};

} // namespace tarnwick::testing
