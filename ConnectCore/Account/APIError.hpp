#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace tarnwick {

/// Why a registry request failed. `what()` is the user-facing description.
class APIError : public std::exception {
public:
    enum class Case {
        http,              ///< the registry answered with a status outside 200–299; see `status`, `code`
        notSignedIn,       ///< no account is signed in
        noWorkspace,       ///< the account's workspace identifier is empty
        malformedResponse, ///< the answer was not an HTTP response
    };

    /// `code` is the answer's "error" member, or "unknown" when it has none or is not JSON.
    static APIError http(int status, std::string code) { return {Case::http, status, std::move(code)}; }
    static APIError notSignedIn() { return {Case::notSignedIn, 0, {}}; }
    static APIError noWorkspace() { return {Case::noWorkspace, 0, {}}; }
    static APIError malformedResponse() { return {Case::malformedResponse, 0, {}}; }

    /// The "http" error an answer's status and body make.
    static APIError fromAnswer(int status, std::string_view body);

    Case errorCase() const { return case_; }
    int status() const { return status_; }
    const std::string& code() const { return code_; }
    /// Whether signing in again is the way out: no session, 401, or 403 with "token_expired".
    bool needsSignIn() const;
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

    bool operator==(const APIError& other) const {
        return case_ == other.case_ && status_ == other.status_ && code_ == other.code_;
    }

private:
    APIError(Case errorCase, int status, std::string code);

    Case case_;
    int status_;
    std::string code_;
    std::string description_;
};

} // namespace tarnwick
