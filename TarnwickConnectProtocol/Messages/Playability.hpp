#pragma once

#include "TarnwickConnectProtocol/Messages/EnumRawValues.hpp"

#include <array>
#include <string_view>
#include <utility>

namespace tarnwick {

/// Whether the receiving side can play a media file as it is.
enum class Playability { native, needsTranscode, unsupported };

template <> struct EnumRawValues<Playability> {
    static constexpr std::array<std::pair<Playability, std::string_view>, 3> cases{{
        {Playability::native, "native"},
        {Playability::needsTranscode, "needsTranscode"},
        {Playability::unsupported, "unsupported"},
    }};
};

} // namespace tarnwick
