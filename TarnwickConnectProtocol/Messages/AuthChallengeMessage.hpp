#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"

namespace tarnwick {

/// A nonce the peer must bind into its signature.
struct AuthChallengeMessage {
    Bytes nonce{};

    bool operator==(const AuthChallengeMessage&) const = default;

    /// The JSON shape: the name used in errors, then each field under its key in declaration order.
    static constexpr const char* typeName = "AuthChallengeMessage";
    template <class Self, class Visit> static void fields(Self& self, Visit&& visit) {
        visit("nonce", self.nonce);
    }
};

} // namespace tarnwick
