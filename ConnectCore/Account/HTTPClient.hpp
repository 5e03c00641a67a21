#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {

/// One HTTP exchange over libcurl, blocking: run it on a pool that drives no sockets. Redirects are
/// not followed and only http and https are spoken. Failures without a complete answer throw
/// `TransportError`; every status, 200 or not, is an answer.
class HTTPClient {
public:
    struct Request {
        std::string method; ///< "GET", "POST", "DELETE", …
        std::string url;
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body; ///< sent when not empty
    };

    struct Response {
        long status = 0;
        std::string body;
    };

    struct Limits {
        /// The whole exchange, connecting included, must finish within this.
        std::chrono::milliseconds timeout = std::chrono::seconds(60);
        /// Account answers are small; a longer body is refused rather than held in memory.
        std::size_t maxBodySize = 1 << 20;
    };

    HTTPClient() = default;
    explicit HTTPClient(Limits limits) : limits_(limits) {}

    const Limits& limits() const { return limits_; }

    Response perform(const Request& request) const;
    /// Ends the exchanges of this client and of its copies, those running (within about a second) and
    /// those to come, with `TransportError` (failed): a program that stops does not wait out a server
    /// that never answers.
    void abort() const { aborted_->store(true); }

    /// A form body: key "=" value pairs joined by "&", each value percent-encoded keeping only letters,
    /// digits and "-._~"; keys are sent as they are.
    static std::string formBody(const std::map<std::string, std::string>& fields);

private:
    Limits limits_;
    /// Shared by copies, so that whoever owns the first can stop every request made with them.
    std::shared_ptr<std::atomic<bool>> aborted_ = std::make_shared<std::atomic<bool>>(false);
};

} // namespace tarnwick
