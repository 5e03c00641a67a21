#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

/// One signed-in account: its tokens, when they expire and the workspace it belongs to.
struct AuthSession {
    using Clock = std::chrono::system_clock;
    /// Milliseconds survive the stored form's seconds-as-a-number exactly; finer ticks would not.
    using TimePoint = std::chrono::time_point<Clock, std::chrono::milliseconds>;

    std::string idToken; ///< a JWT; the token the registry is given
    std::string accessToken;
    std::string refreshToken;
    TimePoint expiresAt;    ///< when the ID and access tokens expire
    std::string tenantSlug; ///< the account's workspace; may be empty
    std::string userSub;    ///< the ID token's subject
    std::optional<std::string> email;

    bool isExpired(Clock::time_point now = Clock::now()) const { return now >= expiresAt; }
    /// Within the last minute of the tokens' life, or past it.
    bool needsRefresh(Clock::time_point now = Clock::now()) const {
        return now >= expiresAt - std::chrono::seconds(60);
    }

    /// The stored form: a JSON object with every field ("email" only when present), "expiresAt" in
    /// seconds since 2001-01-01 00:00:00 UTC.
    std::string encode() const;
    /// The stored form read back; throws `DecodingError` for anything else.
    static AuthSession decode(std::string_view json);

    bool operator==(const AuthSession&) const = default;
};

} // namespace tarnwick
