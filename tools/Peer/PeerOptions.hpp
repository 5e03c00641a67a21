#pragma once

#include "ConnectCore/Discovery/DeviceAddress.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

/// The command line of the peer tool: one device that either receives or sends.
///   tarnwick-peer receive --home DIR --into DIR [--name NAME] [--port N] [--advertise]
///   tarnwick-peer send --home DIR (--to NAME | --address HOST:PORT) [--stay] FILE...
struct PeerOptions {
    enum class Mode { receive, send };
    Mode mode = Mode::receive;
    std::filesystem::path home;
    std::string name = "Tarnwick Peer";
    std::filesystem::path into;
    std::optional<std::uint16_t> port;
    bool advertise = false;
    std::optional<std::string> to;
    std::optional<DeviceAddress> address;
    std::vector<std::filesystem::path> files;
    /// After sending, stay connected and keep receiving until stopped.
    bool stay = false;

    /// Throws std::invalid_argument with the reason when the arguments do not make a command.
    static PeerOptions parse(const std::vector<std::string>& arguments);
};

} // namespace tarnwick
