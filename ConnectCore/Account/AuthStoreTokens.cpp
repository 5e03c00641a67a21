// The pure half of the account store: reading return addresses, tokens and token answers.
#include "ConnectCore/Account/AuthError.hpp"
#include "ConnectCore/Account/AuthStore.hpp"
#include "ConnectCore/Account/JSONFields.hpp"
#include "ConnectCore/Account/URLEncoding.hpp"
#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Crypto/SHA256.hpp"
#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"

#include <charconv>
#include <cmath>

namespace tarnwick {
namespace {

using Fields = std::map<std::string, std::string>;

constexpr double defaultLifetime = 3600;
/// Ten years: longer lifetimes are not tokens but garbage, and would overflow the clock.
constexpr double longestLifetime = 10 * 365.25 * 86400;

std::optional<std::string> textClaim(const nlohmann::json::object_t& claims, const char* name) {
    const auto found = claims.find(name);
    if (found == claims.end() || !found->second.is_string()) {
        return std::nullopt;
    }
    return found->second.get<std::string>();
}

std::string subject(const nlohmann::json::object_t& claims) {
    auto sub = textClaim(claims, "sub");
    if (!sub) {
        throw AuthError::tokenExchangeFailed("token has no subject");
    }
    return *sub;
}

AuthSession::TimePoint after(AuthSession::Clock::time_point now, double seconds) {
    const std::chrono::duration<double> lifetime(seconds);
    return std::chrono::floor<std::chrono::milliseconds>(
        now + std::chrono::duration_cast<AuthSession::Clock::duration>(lifetime));
}

/// An absolute address with a scheme and nothing a browser would have escaped.
bool isAddress(std::string_view url) {
    const auto colon = url.find(':');
    if (colon == 0 || colon == std::string_view::npos) {
        return false;
    }
    for (std::size_t i = 0; i < url.size(); ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        const bool schemeCharacter = std::isalnum(c) || c == '+' || c == '-' || c == '.';
        if (c <= 0x20 || c >= 0x7F || (i < colon && !schemeCharacter)) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> field(const Fields& fields, const char* key) {
    const auto found = fields.find(key);
    return found == fields.end() ? std::nullopt : std::optional<std::string>(found->second);
}

/// A lifetime no token has (and that would overflow the clock) counts as none.
double plausible(double seconds) {
    return std::abs(seconds) > longestLifetime ? defaultLifetime : seconds;
}

/// Whole decimal seconds or a fraction; anything else gives the default.
double lifetime(const std::optional<std::string>& text) {
    if (!text) {
        return defaultLifetime;
    }
    double seconds = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, seconds);
    if (error != std::errc() || stop != end || !std::isfinite(seconds)) {
        return defaultLifetime;
    }
    return plausible(seconds);
}

} // namespace

AuthStore::PKCE AuthStore::PKCE::generate() {
    PKCE pair;
    pair.verifier = Base64::urlEncode(SecureRandom::bytes(32));
    pair.challenge = Base64::urlEncode(SHA256::digest(bytesOf(pair.verifier)));
    return pair;
}

AuthStore::TokenResponse AuthStore::TokenResponse::decode(std::string_view json) {
    const auto object = nlohmann::json::parse(json, nullptr, false);
    TokenResponse response{JSONFields::text(object, "id_token"), JSONFields::text(object, "access_token"),
                           JSONFields::optionalText(object, "refresh_token"), 0};
    if (!object.contains("expires_in") || !object["expires_in"].is_number_integer()) {
        throw DecodingError("the token answer's \"expires_in\"");
    }
    response.expiresIn = object["expires_in"].get<long long>();
    return response;
}

nlohmann::json::object_t AuthStore::decodeClaims(std::string_view token) {
    const auto first = token.find('.');
    const auto second = first == std::string_view::npos ? first : token.find('.', first + 1);
    if (second == std::string_view::npos || token.find('.', second + 1) != std::string_view::npos) {
        throw AuthError::tokenExchangeFailed("malformed token");
    }
    const auto payload = Base64::urlDecode(token.substr(first + 1, second - first - 1));
    if (!payload) {
        throw AuthError::tokenExchangeFailed("malformed token");
    }
    auto claims = nlohmann::json::parse(payload->begin(), payload->end(), nullptr, false);
    if (!claims.is_object()) {
        return {};
    }
    return claims.get<nlohmann::json::object_t>();
}

AuthSession AuthStore::sessionFromCallback(std::string_view url, AuthSession::Clock::time_point now) {
    const auto hash = url.find('#');
    if (!isAddress(url) || hash == std::string_view::npos) {
        throw AuthError::noAuthorizationCode();
    }
    const Fields fields = URLEncoding::parameters(url.substr(hash + 1));
    const auto idToken = field(fields, "id_token");
    if (!idToken) {
        throw AuthError::tokenExchangeFailed(field(fields, "error").value_or("no token returned"));
    }
    const auto refreshToken = field(fields, "refresh_token");
    if (!refreshToken) {
        throw AuthError::tokenExchangeFailed("no refresh token returned");
    }
    const auto claims = decodeClaims(*idToken);
    AuthSession session;
    session.userSub = subject(claims);
    session.tenantSlug =
        field(fields, "tenant_slug").value_or(textClaim(claims, "custom:tenantSlug").value_or(""));
    if (session.tenantSlug.empty()) {
        throw AuthError::noWorkspace();
    }
    session.idToken = *idToken;
    session.accessToken = field(fields, "access_token").value_or(*idToken);
    session.refreshToken = *refreshToken;
    session.expiresAt = after(now, lifetime(field(fields, "expires_in")));
    session.email = textClaim(claims, "email");
    return session;
}

AuthSession AuthStore::buildSession(const TokenResponse& response, std::optional<std::string> existingRefresh,
                                    AuthSession::Clock::time_point now) {
    auto refreshToken = response.refreshToken ? response.refreshToken : std::move(existingRefresh);
    if (!refreshToken) {
        throw AuthError::tokenExchangeFailed("no refresh token");
    }
    const auto claims = decodeClaims(response.idToken);
    AuthSession session;
    session.userSub = subject(claims);
    session.tenantSlug =
        textClaim(claims, "custom:tenantSlug").value_or(textClaim(claims, "custom:tenant_slug").value_or(""));
    session.idToken = response.idToken;
    session.accessToken = response.accessToken;
    session.refreshToken = *refreshToken;
    session.expiresAt = after(now, plausible(static_cast<double>(response.expiresIn)));
    session.email = textClaim(claims, "email");
    return session;
}

} // namespace tarnwick
