#pragma once

#include "TarnwickConnectProtocol/Messages/EnumRawValues.hpp"

#include <array>
#include <string_view>
#include <utility>

namespace tarnwick {

/// The platform a device announces. Peers accept only these values, so this desktop announces `macOS`.
enum class DevicePlatform { macOS, iOS, iPadOS };

template <> struct EnumRawValues<DevicePlatform> {
    static constexpr std::array<std::pair<DevicePlatform, std::string_view>, 3> cases{{
        {DevicePlatform::macOS, "macOS"},
        {DevicePlatform::iOS, "iOS"},
        {DevicePlatform::iPadOS, "iPadOS"},
    }};
};

} // namespace tarnwick
