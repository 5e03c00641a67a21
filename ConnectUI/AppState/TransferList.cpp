#include "ConnectUI/AppState/TransferList.hpp"

#include "TarnwickConnectProtocol/Crypto/UUID.hpp"

#include <algorithm>
#include <system_error>

namespace tarnwick {
namespace {

bool inBatch(const TransferList::Batch& batch, const std::string& id) {
    return std::find(batch.begin(), batch.end(), id) != batch.end();
}

} // namespace

TransferList::Batch TransferList::addBatch(const std::vector<std::filesystem::path>& urls,
                                           const std::string& peerName) {
    Batch batch;
    for (const auto& url : urls) {
        std::error_code unreadable;
        const auto size = std::filesystem::file_size(url, unreadable);
        TransferItem item{UUID::random(),
                          url,
                          url.filename().string(),
                          unreadable ? 0 : size,
                          TransferItem::State::waiting(),
                          peerName};
        batch.push_back(item.id);
        items_.insert(items_.begin(), std::move(item));
    }
    return batch;
}

bool TransferList::applyProgress(const TransferProgress& progress,
                                 std::chrono::duration<double> sinceBatchBegan, const Batch& batch) {
    // A report belongs to its own batch: another batch's active file of the same name is not touched.
    const auto item = std::find_if(items_.begin(), items_.end(), [&](const TransferItem& candidate) {
        return inBatch(batch, candidate.id) && candidate.name == progress.name && candidate.state.isActive();
    });
    if (item == items_.end()) {
        return false;
    }
    const double seconds = sinceBatchBegan.count();
    const double bytesPerSecond = seconds > 0 ? static_cast<double>(progress.sentBytes) / seconds : 0.0;
    const auto state = TransferItem::State::sending(progress.fraction(), bytesPerSecond);
    if (item->state == state) {
        return false;
    }
    item->state = state;
    return true;
}

bool TransferList::finish(const Batch& batch, const TransferItem::State& state) {
    bool changed = false;
    for (auto& item : items_) {
        if (inBatch(batch, item.id) && !(item.state == state)) {
            item.state = state;
            changed = true;
        }
    }
    return changed;
}

bool TransferList::clearFinished() {
    return std::erase_if(items_, [](const TransferItem& item) { return !item.state.isActive(); }) > 0;
}

} // namespace tarnwick
