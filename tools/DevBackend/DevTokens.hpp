#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <optional>
#include <string>

namespace tarnwick::dev {

/// HMAC-SHA-256 signed JWTs (alg "HS256") for the development back end's ID and access tokens.
class DevTokens {
public:
    using Clock = std::chrono::system_clock;

    explicit DevTokens(std::string secret) : secret_(std::move(secret)) {}

    /// A token with the claims and "iat" and "exp" `lifetime` after now.
    std::string mint(nlohmann::json claims, std::chrono::seconds lifetime) const;
    /// The claims of a token this back end signed; none for anything else. Expiry is left to the caller.
    std::optional<nlohmann::json> verify(const std::string& token) const;

    /// `count` random bytes as unpadded base64url: refresh tokens, codes, subjects.
    static std::string randomToken(std::size_t count);

private:
    std::string signature(const std::string& signedPart) const;

    std::string secret_;
};

} // namespace tarnwick::dev
