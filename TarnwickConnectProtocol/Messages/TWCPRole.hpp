#pragma once

#include "TarnwickConnectProtocol/Messages/EnumRawValues.hpp"

#include <array>
#include <string_view>
#include <utility>

namespace tarnwick {

/// Which side of the connection a device is: the one that dialed or the one that accepted.
enum class TWCPRole { initiator, responder };

template <> struct EnumRawValues<TWCPRole> {
    static constexpr std::array<std::pair<TWCPRole, std::string_view>, 2> cases{{
        {TWCPRole::initiator, "initiator"},
        {TWCPRole::responder, "responder"},
    }};
};

} // namespace tarnwick
