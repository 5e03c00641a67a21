#include "ConnectCore/Account/APIError.hpp"

#include <nlohmann/json.hpp>

namespace tarnwick {
namespace {

std::string describeHTTP(int status, const std::string& code) {
    if (status == 401 || (status == 403 && code == "token_expired")) {
        return "Your session has expired.";
    }
    if (status == 403) {
        return code == "tenant_mismatch" ? "This account doesn't have access to that workspace."
                                         : "This account is not allowed to do that.";
    }
    if (status == 404) {
        return "That is no longer available.";
    }
    if (status == 429) {
        return "Too many attempts. Wait a moment and try again.";
    }
    if (status >= 500 && status <= 599) {
        return "Tarnwick is having trouble right now. Try again in a moment.";
    }
    return "Something went wrong. Try again in a moment.";
}

std::string describe(APIError::Case errorCase, int status, const std::string& code) {
    switch (errorCase) {
    case APIError::Case::notSignedIn:
        return "Sign in to Tarnwick first.";
    case APIError::Case::noWorkspace:
        return "This account has no workspace.";
    case APIError::Case::malformedResponse:
        return "Something went wrong at our end. Try again in a moment.";
    case APIError::Case::http:
        break;
    }
    return describeHTTP(status, code);
}

} // namespace

APIError::APIError(Case errorCase, int status, std::string code)
    : case_(errorCase),
      status_(status),
      code_(std::move(code)),
      description_(describe(case_, status_, code_)) {}

APIError APIError::fromAnswer(int status, std::string_view body) {
    const auto answer = nlohmann::json::parse(body, nullptr, false);
    if (answer.is_object() && answer.contains("error") && answer["error"].is_string()) {
        return http(status, answer["error"].get<std::string>());
    }
    return http(status, "unknown");
}

bool APIError::needsSignIn() const {
    return case_ == Case::notSignedIn ||
           (case_ == Case::http && (status_ == 401 || (status_ == 403 && code_ == "token_expired")));
}

} // namespace tarnwick
