#pragma once

#include "tools/DevBackend/DevDatabase.hpp"
#include "tools/DevBackend/DevTokens.hpp"

#include <chrono>
#include <optional>
#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace tarnwick::dev {

/// The account services the application needs, played locally for development and tests: the hosted
/// login page, the OAuth token endpoint, and the workspace's device and pairing registry.
class DevBackend {
public:
    /// Tokens are signed with a secret kept in the database, so they outlive a restart.
    DevBackend(DevDatabase& database, std::chrono::seconds tokenLifetime);

    void install(httplib::Server& server);

private:
    // The login page and the token endpoint.
    void showLogin(const httplib::Request& request, httplib::Response& response) const;
    void signIn(const httplib::Request& request, httplib::Response& response);
    void grantToken(const httplib::Request& request, httplib::Response& response);
    void redeemCode(const httplib::Request& request, httplib::Response& response);
    nlohmann::json tokenAnswer(const DevDatabase::User& user, bool withRefreshToken);

    // The registry.
    /// The caller's workspace when its ID token and workspace header hold; otherwise the error is set.
    std::optional<std::string> authorize(const httplib::Request& request, httplib::Response& response) const;
    void registerDevice(const std::string& tenant, const nlohmann::json& body, httplib::Response& response);
    void submitPairing(const std::string& tenant, const nlohmann::json& body, httplib::Response& response);
    void listPairings(const std::string& tenant, httplib::Response& response);
    void wake(const std::string& tenant, const nlohmann::json& body, httplib::Response& response);

    DevDatabase& database_;
    DevTokens tokens_;
    std::chrono::seconds tokenLifetime_;
};

/// Sets a JSON answer.
void answer(httplib::Response& response, int status, const nlohmann::json& body);
/// Sets the error answer the registry and token endpoint give: {"error": code}.
void fail(httplib::Response& response, int status, const std::string& code);

} // namespace tarnwick::dev
