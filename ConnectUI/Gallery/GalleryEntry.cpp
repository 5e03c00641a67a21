#include "ConnectUI/Gallery/GalleryEntry.hpp"

namespace tarnwick {

GalleryEntry GalleryEntry::sent(const TransferItem& item) {
    GalleryEntry entry{item.id, item.name, item.url, item.byteCount, Direction::sent, item.peerName, {}, {}};
    if (item.state.state == TransferItem::State::Case::sending) {
        entry.fraction = item.state.fraction;
    } else if (item.state.state == TransferItem::State::Case::failed) {
        entry.failure = item.state.message;
    }
    return entry;
}

GalleryEntry GalleryEntry::received(const ReceivedFile& file) {
    return {file.fileID, file.name, file.path, file.byteCount, Direction::received, {}, {}, {}};
}

} // namespace tarnwick
