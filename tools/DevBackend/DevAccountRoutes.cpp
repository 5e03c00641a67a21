// The login page and the OAuth token endpoint of the development back end.
#include "ConnectCore/Account/AppConfiguration.hpp"
#include "ConnectCore/Account/URLEncoding.hpp"
#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Crypto/SHA256.hpp"
#include "tools/DevBackend/DevBackend.hpp"

#include <httplib.h>

namespace tarnwick::dev {
namespace {

using namespace std::chrono_literals;

/// Only the application's own return address is redirected to: the page is no open redirector.
constexpr std::string_view returnScheme = "tarnwickconnect://";
constexpr auto codeLifetime = 5min;
/// What the login address carries and the form posts back unchanged.
constexpr const char* forwardedFields[] = {"returnTo", "code_challenge", "code_challenge_method", "state"};

std::string htmlEscaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped.push_back(c);
        }
    }
    return escaped;
}

std::string encoded(const std::string& value) {
    return URLEncoding::encode(value, URLEncoding::formValue);
}

} // namespace

DevBackend::DevBackend(DevDatabase& database, std::chrono::seconds tokenLifetime)
    : database_(database),
      tokens_(database.setting("jwtSecret", DevTokens::randomToken(32))),
      tokenLifetime_(tokenLifetime) {}

void answer(httplib::Response& response, int status, const nlohmann::json& body) {
    response.status = status;
    response.set_content(body.dump(), "application/json");
}

void fail(httplib::Response& response, int status, const std::string& code) {
    answer(response, status, {{"error", code}});
}

void DevBackend::showLogin(const httplib::Request& request, httplib::Response& response) const {
    std::string hidden;
    for (const char* name : forwardedFields) {
        hidden += "<input type=\"hidden\" name=\"" + std::string(name) + "\" value=\"" +
                  htmlEscaped(request.get_param_value(name)) + "\">\n";
    }
    const std::string page = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>Sign in to Tarnwick (development)</title></head>
<body><h1>Sign in to Tarnwick</h1>
<p>Development back end: any address signs in; its domain is the workspace.</p>
<form method="post" action="/login">
)" + hidden + R"(<label>E-mail <input type="email" name="email" autofocus required></label>
<button type="submit">Sign in</button>
</form></body></html>
)";
    response.set_content(page, "text/html; charset=utf-8");
}

void DevBackend::signIn(const httplib::Request& request, httplib::Response& response) {
    const std::string returnTo = request.get_param_value("returnTo");
    const std::string email = request.get_param_value("email");
    if (!returnTo.starts_with(returnScheme) || returnTo.find_first_of("?#") != std::string::npos ||
        email.empty()) {
        response.status = 400;
        response.set_content("A return address of the application and an e-mail address are needed.\n",
                             "text/plain");
        return;
    }
    const std::string challenge = request.get_param_value("code_challenge");
    if (!challenge.empty() && request.get_param_value("code_challenge_method") != "S256") {
        response.status = 400;
        response.set_content("Only S256 challenges are accepted.\n", "text/plain");
        return;
    }
    const auto user = database_.signIn(email, DevTokens::randomToken(16));
    // The state goes back as it came, so that the application can tell its own sign-in from another's.
    const std::string state = request.get_param_value("state");
    const std::string echoed = state.empty() ? "" : "&state=" + encoded(state);
    // With a PKCE challenge the page hands out a code to redeem; without one, the tokens themselves.
    if (!challenge.empty()) {
        const std::string code = DevTokens::randomToken(24);
        database_.addCode(code, {user.sub, challenge, returnTo, DevTokens::Clock::now() + codeLifetime});
        response.set_redirect(returnTo + "?code=" + code + echoed, 303);
        return;
    }
    const auto tokens = tokenAnswer(user, true);
    std::string fragment = "#id_token=" + encoded(tokens["id_token"].get<std::string>()) +
                           "&access_token=" + encoded(tokens["access_token"].get<std::string>()) +
                           "&refresh_token=" + encoded(tokens["refresh_token"].get<std::string>()) +
                           "&expires_in=" + std::to_string(tokenLifetime_.count());
    if (!user.tenant.empty()) {
        fragment += "&tenant_slug=" + encoded(user.tenant);
    }
    response.set_redirect(returnTo + fragment + echoed, 303);
}

void DevBackend::grantToken(const httplib::Request& request, httplib::Response& response) {
    if (request.get_param_value("client_id") != AppConfiguration::clientID) {
        fail(response, 401, "invalid_client");
        return;
    }
    const std::string grant = request.get_param_value("grant_type");
    if (grant == "authorization_code") {
        redeemCode(request, response);
        return;
    }
    if (grant != "refresh_token") {
        fail(response, 400, "unsupported_grant_type");
        return;
    }
    const auto owner = database_.refreshTokenOwner(request.get_param_value("refresh_token"));
    const auto user = owner ? database_.user(*owner) : std::nullopt;
    if (!user) {
        fail(response, 400, "invalid_grant");
        return;
    }
    // Like hosted services, a refresh keeps the refresh token it was given.
    answer(response, 200, tokenAnswer(*user, false));
}

void DevBackend::redeemCode(const httplib::Request& request, httplib::Response& response) {
    const auto code = database_.takeCode(request.get_param_value("code"));
    const std::string verifier = request.get_param_value("code_verifier");
    const bool proven = code && Base64::urlEncode(SHA256::digest(bytesOf(verifier))) == code->challenge;
    const auto user = proven ? database_.user(code->sub) : std::nullopt;
    if (!user || code->redirectURI != request.get_param_value("redirect_uri") ||
        DevTokens::Clock::now() >= code->expiresAt) {
        fail(response, 400, "invalid_grant");
        return;
    }
    answer(response, 200, tokenAnswer(*user, true));
}

nlohmann::json DevBackend::tokenAnswer(const DevDatabase::User& user, bool withRefreshToken) {
    nlohmann::json idClaims = {{"sub", user.sub}, {"email", user.email}, {"token_use", "id"}};
    idClaims["custom:tenantSlug"] = user.tenant;
    nlohmann::json tokens = {
        {"id_token", tokens_.mint(idClaims, tokenLifetime_)},
        {"access_token", tokens_.mint({{"sub", user.sub}, {"token_use", "access"}}, tokenLifetime_)},
        {"expires_in", tokenLifetime_.count()},
        {"token_type", "Bearer"}};
    if (withRefreshToken) {
        const std::string refreshToken = DevTokens::randomToken(32);
        database_.addRefreshToken(refreshToken, user.sub);
        tokens["refresh_token"] = refreshToken;
    }
    return tokens;
}

} // namespace tarnwick::dev
