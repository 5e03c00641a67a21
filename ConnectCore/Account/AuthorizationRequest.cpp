#include "ConnectCore/Account/AuthorizationRequest.hpp"

#include "ConnectCore/Account/AppConfiguration.hpp"
#include "ConnectCore/Account/URLEncoding.hpp"
#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"

#include <openssl/crypto.h>

namespace tarnwick {
namespace {

/// Enough that no page can guess the state of a sign-in it did not start.
constexpr std::size_t stateBytes = 16;

std::string queryPair(std::string_view key, std::string_view value) {
    return std::string(key) + "=" + URLEncoding::encode(value, URLEncoding::queryValue);
}

/// Compared in constant time: the state is a secret until the sign-in ends.
bool sameText(std::string_view left, std::string_view right) {
    return left.size() == right.size() && CRYPTO_memcmp(left.data(), right.data(), left.size()) == 0;
}

} // namespace

AuthorizationRequest AuthorizationRequest::generate() {
    AuthorizationRequest request;
    request.pkce_ = AuthStore::PKCE::generate();
    request.state_ = Base64::urlEncode(SecureRandom::bytes(stateBytes));
    return request;
}

std::string AuthorizationRequest::url(std::string_view loginURL) const {
    const std::string_view page = loginURL.substr(0, loginURL.find_first_of("?#"));
    return std::string(page) + "?" + queryPair("returnTo", AppConfiguration::redirectURI) + "&" +
           queryPair("code_challenge", pkce_.challenge) + "&code_challenge_method=S256&" +
           queryPair("state", state_);
}

std::optional<std::map<std::string, std::string>>
AuthorizationRequest::answer(std::string_view returnAddress) const {
    const std::string_view expected = AppConfiguration::redirectURI;
    if (!returnAddress.starts_with(expected) || returnAddress.size() == expected.size()) {
        return std::nullopt;
    }
    const char separator = returnAddress[expected.size()];
    if (separator != '?' && separator != '#') {
        return std::nullopt;
    }
    // A query ends where a fragment starts; a fragment runs to the end.
    std::string_view rest = returnAddress.substr(expected.size() + 1);
    if (separator == '?') {
        rest = rest.substr(0, rest.find('#'));
    }
    auto parameters = URLEncoding::parameters(rest);
    const auto state = parameters.find("state");
    if (state == parameters.end() || !sameText(state->second, state_)) {
        return std::nullopt;
    }
    return parameters;
}

} // namespace tarnwick
