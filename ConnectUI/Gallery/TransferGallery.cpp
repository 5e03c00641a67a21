#include "ConnectUI/Gallery/TransferGallery.hpp"

#include <algorithm>

namespace tarnwick {

std::vector<GalleryEntry> TransferGallery::entries(const std::vector<TransferItem>& transfers,
                                                   const std::vector<ReceivedFile>& received) {
    std::vector<GalleryEntry> entries;
    entries.reserve(transfers.size() + received.size());
    std::ranges::transform(transfers, std::back_inserter(entries), GalleryEntry::sent);
    std::ranges::transform(received, std::back_inserter(entries), GalleryEntry::received);
    return entries;
}

std::vector<GalleryEntry>
TransferGallery::newestFirst(std::vector<GalleryEntry> entries,
                             const std::function<std::uint64_t(const GalleryEntry&)>& listedIn) {
    std::ranges::stable_sort(entries, std::greater<>(), listedIn);
    return entries;
}

std::vector<GalleryEntry> TransferGallery::visible(const std::vector<GalleryEntry>& entries, Filter filter) {
    if (filter == Filter::all) {
        return entries;
    }
    const auto kept =
        filter == Filter::received ? GalleryEntry::Direction::received : GalleryEntry::Direction::sent;
    std::vector<GalleryEntry> shown;
    std::ranges::copy_if(entries, std::back_inserter(shown),
                         [kept](const GalleryEntry& entry) { return entry.direction == kept; });
    return shown;
}

std::string TransferGallery::emptyText(Filter filter) {
    switch (filter) {
    case Filter::received:
        return "Nothing received yet.";
    case Filter::sent:
        return "Nothing sent yet.";
    case Filter::all:
        break;
    }
    return "Nothing has moved yet.";
}

TransferGallery::Filter TransferGallery::filterNamed(const std::string& name) {
    if (name == "received") {
        return Filter::received;
    }
    return name == "sent" ? Filter::sent : Filter::all;
}

} // namespace tarnwick
