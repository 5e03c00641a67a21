#include "ConnectCore/Account/AppConfiguration.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tarnwick::AppConfiguration {
namespace {

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

/// The packager's choice, given to CMake as TARNWICK_ENVIRONMENT; none when left empty.
std::optional<std::string> buildSetting() {
    const std::string setting = TARNWICK_ENVIRONMENT_SETTING;
    return setting.empty() ? std::nullopt : std::optional<std::string>(setting);
}

} // namespace

std::string_view rawValue(Environment environment) {
    switch (environment) {
    case Environment::staging:
        return "staging";
    case Environment::prod:
        return "prod";
    case Environment::dev:
        break;
    }
    return "dev";
}

Environment environment(std::optional<std::string> variable, std::optional<std::string> buildSetting) {
    if (variable) {
        const std::string chosen = lowercased(*variable);
        for (const Environment candidate : {Environment::dev, Environment::staging, Environment::prod}) {
            if (chosen == rawValue(candidate)) {
                return candidate;
            }
        }
    }
    if (buildSetting) {
        const std::string chosen = lowercased(*buildSetting);
        if (chosen == "staging") {
            return Environment::staging;
        }
        if (chosen == "prod") {
            return Environment::prod;
        }
    }
    return Environment::dev;
}

Environment environment() {
    return environment(variable("TARNWICK_ENV"), buildSetting());
}

Endpoints endpoints(Environment environment) {
    // Staging and production hosts are deployment values; the packager replaces them.
    constexpr std::string_view hostedAuth = "https://auth.tarnwick.example";
    switch (environment) {
    case Environment::staging:
        return {"https://api.staging.tarnwick.example/v1", "https://app.staging.tarnwick.example/login",
                std::string(hostedAuth)};
    case Environment::prod:
        return {"https://api.tarnwick.example/v1", "https://app.tarnwick.example/login",
                std::string(hostedAuth)};
    case Environment::dev:
        break;
    }
    // The local back end plays the registry, the login page and the OAuth service at once.
    const std::string local =
        variable("TARNWICK_DEV_BACKEND_URL").value_or(std::string(defaultDevBackendURL));
    return {local, local + "/login", local};
}

std::string summary() {
    const Environment chosen = environment();
    return "account environment " + std::string(rawValue(chosen)) + " at " + endpoints(chosen).apiBaseURL;
}

} // namespace tarnwick::AppConfiguration
