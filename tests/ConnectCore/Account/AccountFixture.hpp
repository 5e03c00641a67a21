#pragma once

#include "ConnectCore/Account/AppConfiguration.hpp"
#include "ConnectCore/Account/AuthStore.hpp"
#include "ConnectCore/Account/KeychainStore.hpp"
#include "ConnectCore/Account/URLEncoding.hpp"
#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "tests/Support/RunCoroutine.hpp"
#include "tests/Support/ScopedEnvironment.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <asio/thread_pool.hpp>
#include <gtest/gtest.h>

#include <httplib.h>
#include <memory>
#include <string>

namespace tarnwick::testing {

/// A token without a signature that carries the claims, the way the sign-in services hand them out.
inline std::string unsignedToken(const nlohmann::json& claims) {
    return "eyJhbGciOiJub25lIn0." + Base64::urlEncode(bytesOf(claims.dump())) + ".c2ln";
}

/// The three services at one base address, as the development back end plays them.
inline AppConfiguration::Endpoints endpointsAt(const std::string& url) {
    return {url, url + "/login", url};
}

/// Plays the browser on a login address: posts the page's form as `email` with the parameters the address
/// carries, the way the page's hidden fields do, and returns the address the page sends the browser back
/// to. An address without a query asks for the implicit form: tokens in the fragment, no state.
inline std::string signInThroughPage(const std::string& loginAddress, const std::string& email) {
    const auto query = loginAddress.find('?');
    const std::string page = loginAddress.substr(0, query);
    const auto slash = page.find('/', page.find("//") + 2);
    httplib::Params form{{"email", email}};
    for (const auto& [key, value] :
         URLEncoding::parameters(query == std::string::npos ? "" : loginAddress.substr(query + 1))) {
        form.emplace(key, value);
    }
    if (!form.contains("returnTo")) {
        form.emplace("returnTo", std::string(AppConfiguration::redirectURI));
    }
    httplib::Client browser(page.substr(0, slash));
    const auto result = browser.Post(page.substr(slash), form);
    if (!result || result->status != 303) {
        throw std::runtime_error("the login page did not redirect");
    }
    return result->get_header_value("Location");
}

/// Account tests run with no Secret Service, so the key store is a file in a fresh config folder and
/// nobody's real keyring is touched.
class AccountTest : public ::testing::Test {
protected:
    AccountTest() { environment.set("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tarnwick-no-bus"); }

    template <typename T> T run(asio::awaitable<T> body) { return engine.run(std::move(body)); }

    std::shared_ptr<AuthStore> makeStore(const std::string& backendURL, HTTPClient http = {}) {
        return std::make_shared<AuthStore>(engine.executor(), pool.get_executor(), keychain,
                                           endpointsAt(backendURL), http);
    }

    ScopedEnvironment environment;
    Engine engine;
    asio::thread_pool pool{2};
    TemporaryDirectory config;
    KeychainStore keychain{"io.tarnwick.connect.test", config.path()};
};

} // namespace tarnwick::testing
