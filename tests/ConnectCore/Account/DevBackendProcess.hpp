#pragma once

#include "tests/Support/ChildProcess.hpp"

#include <stdexcept>
#include <string>

namespace tarnwick::testing {

/// The local development back end, started for one test on a free loopback port with a fresh
/// in-memory database, and stopped when the test ends.
class DevBackendProcess {
public:
    explicit DevBackendProcess(int tokenLifetimeSeconds = 3600)
        : process_({TARNWICK_DEV_BACKEND_PROGRAM, "--port", "0", "--token-lifetime",
                    std::to_string(tokenLifetimeSeconds)}) {
        const std::string line = process_.readLine();
        if (!line.starts_with("listening ")) {
            throw std::runtime_error("the development back end did not start: " + line);
        }
        url_ = "http://127.0.0.1:" + line.substr(10);
    }

    /// Its base address, e.g. "http://127.0.0.1:40123": registry, login page and token service at once.
    const std::string& url() const { return url_; }

private:
    ChildProcess process_;
    std::string url_;
};

} // namespace tarnwick::testing
