#pragma once

#include <optional>
#include <string>
#include <string_view>

/// Which account back end the application talks to, and where each of its services lives.
namespace tarnwick::AppConfiguration {

enum class Environment { dev, staging, prod };

/// The raw text of an environment: "dev", "staging" or "prod".
std::string_view rawValue(Environment environment);

/// The environment chosen by a "TARNWICK_ENV" value, else by the build's "TarnwickEnvironment" setting,
/// else dev. Both are compared in lower case.
Environment environment(std::optional<std::string> variable, std::optional<std::string> buildSetting);
/// The same, from the process environment and this build's setting; read anew on each call.
Environment environment();

/// Where the services of one environment live, handed to the account store and the registry client.
struct Endpoints {
    std::string apiBaseURL;    ///< the registry; dev has no path, staging and prod end in "/v1"
    std::string loginURL;      ///< the hosted login page, path "/login"
    std::string hostedAuthURL; ///< the OAuth service, no path; its token endpoint is "oauth2/token"
};

/// The local development back end when "TARNWICK_DEV_BACKEND_URL" is unset.
inline constexpr std::string_view defaultDevBackendURL = "http://127.0.0.1:47800";

/// The addresses of an environment. Dev points every service at the local development back end
/// ("TARNWICK_DEV_BACKEND_URL", else `defaultDevBackendURL`).
Endpoints endpoints(Environment environment);

/// "account environment dev at http://127.0.0.1:47800": the environment in use and its registry, said at
/// start so that a build talking to the wrong back end shows at once.
std::string summary();

inline constexpr std::string_view cognitoRegion = "eu-central-1";
inline constexpr std::string_view userPoolID = "eu-central-1_Tw7cN4x2Q";
/// The public OAuth client: token requests carry no secret.
inline constexpr std::string_view clientID = "4k7tarnwick0connect2desk9p";
/// Where the login page sends the browser back with the tokens.
inline constexpr std::string_view redirectURI = "tarnwickconnect://auth/callback";

} // namespace tarnwick::AppConfiguration
