#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tarnwick::testing {

/// A loopback server that answers every connection with the same bytes, after an optional delay, and
/// closes it. It plays a misbehaving registry: odd statuses, bodies that are not JSON, truncated or
/// huge answers, answers that are not HTTP, or answers that come too late.
class ScriptedHTTPServer {
public:
    explicit ScriptedHTTPServer(std::string reply, std::chrono::milliseconds delay = {})
        : reply_(std::move(reply)),
          delay_(delay) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on loopback");
        }
        url_ = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
        thread_ = std::jthread([this](std::stop_token stop) { serve(stop); });
    }
    ~ScriptedHTTPServer() {
        thread_.request_stop();
        thread_.join();
        ::close(listener_);
    }
    ScriptedHTTPServer(const ScriptedHTTPServer&) = delete;
    ScriptedHTTPServer& operator=(const ScriptedHTTPServer&) = delete;

    /// A complete answer with the status line's code, a JSON content type and the body.
    static std::string answer(int status, const std::string& body,
                              const std::string& type = "application/json") {
        return "HTTP/1.1 " + std::to_string(status) + " Scripted\r\nContent-Type: " + type +
               "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }

    const std::string& url() const { return url_; }
    int connections() const { return connections_; }

private:
    void serve(const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 20) <= 0) {
                continue;
            }
            const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) {
                continue;
            }
            ++connections_;
            readRequest(connection);
            for (auto until = std::chrono::steady_clock::now() + delay_;
                 std::chrono::steady_clock::now() < until && !stop.stop_requested();) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            // A client that gave up has closed its end; the reply then goes nowhere, which is fine.
            [[maybe_unused]] const auto sent = ::send(connection, reply_.data(), reply_.size(), MSG_NOSIGNAL);
            ::close(connection);
        }
    }

    /// Reads the request until it pauses (the client sends small ones at once); its content is not needed.
    static void readRequest(int connection) {
        char buffer[4096];
        pollfd readable{connection, POLLIN, 0};
        while (::poll(&readable, 1, 100) > 0 && ::recv(connection, buffer, sizeof buffer, 0) > 0) {
        }
    }

    std::string reply_;
    std::chrono::milliseconds delay_;
    int listener_ = -1;
    std::string url_;
    std::atomic<int> connections_{0};
    std::jthread thread_;
};

} // namespace tarnwick::testing
