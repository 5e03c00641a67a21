#include "ConnectCore/Account/AuthSession.hpp"

#include "ConnectCore/Account/DecodingError.hpp"

#include <nlohmann/json.hpp>

#include <cmath>

namespace tarnwick {
namespace {

/// 2001-01-01 00:00:00 UTC, the reference date of the stored form, in Unix seconds.
constexpr std::chrono::seconds referenceDate{978307200};
/// Far enough for any token, near enough that the time point cannot overflow.
constexpr double latestSeconds = 1e11;

std::string text(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) {
        throw DecodingError(std::string("the session's \"") + key + "\"");
    }
    return found->get<std::string>();
}

AuthSession::TimePoint dateFromReference(const nlohmann::json& value) {
    if (!value.is_number() || !std::isfinite(value.get<double>()) ||
        std::abs(value.get<double>()) > latestSeconds) {
        throw DecodingError("the session's \"expiresAt\"");
    }
    const std::chrono::duration<double, std::milli> sinceReference(value.get<double>() * 1000);
    return AuthSession::TimePoint(referenceDate) +
           std::chrono::round<std::chrono::milliseconds>(sinceReference);
}

} // namespace

std::string AuthSession::encode() const {
    const std::chrono::duration<double> sinceReference = expiresAt - TimePoint(referenceDate);
    nlohmann::json object = {{"idToken", idToken},           {"accessToken", accessToken},
                             {"refreshToken", refreshToken}, {"expiresAt", sinceReference.count()},
                             {"tenantSlug", tenantSlug},     {"userSub", userSub}};
    if (email) {
        object["email"] = *email;
    }
    return object.dump();
}

AuthSession AuthSession::decode(std::string_view json) {
    const auto object = nlohmann::json::parse(json, nullptr, false);
    if (!object.is_object() || !object.contains("expiresAt")) {
        throw DecodingError("a stored session");
    }
    AuthSession session{text(object, "idToken"),
                        text(object, "accessToken"),
                        text(object, "refreshToken"),
                        dateFromReference(object["expiresAt"]),
                        text(object, "tenantSlug"),
                        text(object, "userSub"),
                        std::nullopt};
    if (object.contains("email") && !object["email"].is_null()) {
        session.email = text(object, "email");
    }
    return session;
}

} // namespace tarnwick
