#pragma once

#include "ConnectUI/Gallery/GalleryEntry.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarnwick {

/// What the gallery lists and what it says when a filter leaves nothing.
class TransferGallery {
public:
    enum class Filter { all, received, sent };

    /// Thumbnail edge in points: the slider's range, its default and where it is kept.
    static constexpr double minimumSide = 72;
    static constexpr double maximumSide = 200;
    static constexpr double defaultSide = 108;
    static constexpr const char* sideKey = "connect.gallery.thumbnailSide";

    /// Every sent file, then every received one, each as the application state lists them (newest first).
    static std::vector<GalleryEntry> entries(const std::vector<TransferItem>& transfers,
                                             const std::vector<ReceivedFile>& received);

    /// The entries, newest first by when each was listed (a larger count is newer); entries listed
    /// together keep their order.
    static std::vector<GalleryEntry>
    newestFirst(std::vector<GalleryEntry> entries,
                const std::function<std::uint64_t(const GalleryEntry&)>& listedIn);

    /// The entries a filter keeps, in their order.
    static std::vector<GalleryEntry> visible(const std::vector<GalleryEntry>& entries, Filter filter);

    static std::string emptyText(Filter filter);

    /// Reads the filter's string value ("all", "received", "sent"); anything else is `all`.
    static Filter filterNamed(const std::string& name);
};

} // namespace tarnwick
