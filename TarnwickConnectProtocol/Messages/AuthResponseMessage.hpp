#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

namespace tarnwick {

/// A signature over the handshake transcript.
struct AuthResponseMessage {
    Bytes signature{};

    bool operator==(const AuthResponseMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "AuthResponseMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("signature", self.signature);
    }
};

} // namespace tarnwick
