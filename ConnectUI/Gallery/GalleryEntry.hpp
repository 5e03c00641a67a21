#pragma once

#include "ConnectCore/Transfer/ReceivedFile.hpp"
#include "ConnectUI/AppState/TransferItem.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick {

/// One file the gallery shows: sent or received in this run of the application.
struct GalleryEntry {
    enum class Direction { sent, received };

    std::string id;
    std::string name;
    std::filesystem::path url;
    std::uint64_t byteCount = 0;
    Direction direction = Direction::sent;
    /// Empty for received files.
    std::string peerName;
    /// Progress 0…1 while a send is in flight.
    std::optional<double> fraction;
    /// Why a send failed.
    std::optional<std::string> failure;

    static GalleryEntry sent(const TransferItem& item);
    static GalleryEntry received(const ReceivedFile& file);

    bool operator==(const GalleryEntry&) const = default;
};

} // namespace tarnwick
