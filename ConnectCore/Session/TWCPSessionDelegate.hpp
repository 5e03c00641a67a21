#pragma once

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPFrame.hpp"

#include <asio/awaitable.hpp>

#include <exception>

namespace tarnwick {

class TWCPSession;

/// An observer of a session, held weakly. A slow delegate holds back the next frame.
class TWCPSessionDelegate {
public:
    virtual ~TWCPSessionDelegate() = default;
    /// Every frame routed while ready, except pings.
    virtual asio::awaitable<void> sessionDidReceive(TWCPSession& session, TWCPFrame frame) = 0;
    /// The channel's inbound sequence ended with this error.
    virtual asio::awaitable<void> sessionDidClose(TWCPSession& session, std::exception_ptr error) = 0;
};

} // namespace tarnwick
