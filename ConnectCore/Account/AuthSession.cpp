#include "ConnectCore/Account/AuthSession.hpp"

#include "ConnectCore/Account/JSONFields.hpp"

#include <cmath>

namespace tarnwick {
namespace {

/// 2001-01-01 00:00:00 UTC, the reference date of the stored form, in Unix seconds.
constexpr std::chrono::seconds referenceDate{978307200};
/// Far enough for any token, near enough that the time point cannot overflow.
constexpr double latestSeconds = 1e11;

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
    using JSONFields::text;
    AuthSession session{text(object, "idToken"),
                        text(object, "accessToken"),
                        text(object, "refreshToken"),
                        dateFromReference(object["expiresAt"]),
                        text(object, "tenantSlug"),
                        text(object, "userSub"),
                        std::nullopt};
    session.email = JSONFields::optionalText(object, "email");
    return session;
}

} // namespace tarnwick
