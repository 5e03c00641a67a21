#pragma once

#include "TarnwickConnectProtocol/Framing/TWCPFrame.hpp"

#include <asio/awaitable.hpp>

namespace tarnwick {

/// Where the transfer layer sends its frames.
class TWCPFrameSink {
public:
    virtual ~TWCPFrameSink() = default;
    virtual asio::awaitable<void> send(TWCPFrame frame) = 0;
};

} // namespace tarnwick
