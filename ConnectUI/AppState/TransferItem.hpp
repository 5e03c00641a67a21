#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tarnwick {

/// One outgoing file as the transfer list shows it.
struct TransferItem {
    struct State {
        enum class Case { waiting, sending, finished, failed };
        Case state = Case::waiting;
        /// While sending: the part sent, 0 to 1, and the average rate since the batch began.
        double fraction = 0;
        double bytesPerSecond = 0;
        /// When failed: the user-facing reason.
        std::string message;

        static State waiting() { return {}; }
        static State sending(double fraction, double bytesPerSecond) {
            return {Case::sending, fraction, bytesPerSecond, {}};
        }
        static State finished() { return {Case::finished, 0, 0, {}}; }
        static State failed(std::string message) { return {Case::failed, 0, 0, std::move(message)}; }

        bool isActive() const { return state == Case::waiting || state == Case::sending; }
        bool operator==(const State&) const = default;
    };

    /// A fresh UUID per item.
    std::string id;
    std::filesystem::path url;
    /// The file's last path component: the name it is offered under.
    std::string name;
    /// 0 when the size could not be read.
    std::uint64_t byteCount = 0;
    State state;
    /// The destination device's name.
    std::string peerName;

    bool operator==(const TransferItem&) const = default;
};

} // namespace tarnwick
