#pragma once

#include "ConnectCore/Transfer/TransferProgress.hpp"
#include "ConnectUI/AppState/TransferItem.hpp"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick {

/// The outgoing files, newest first, grouped in batches (one per send). Each change reports whether it
/// changed anything, so that the owner notifies only then; items change in place, never by rebuilding.
class TransferList {
public:
    /// The identifiers of one batch's items.
    using Batch = std::vector<std::string>;

    const std::vector<TransferItem>& items() const { return items_; }

    /// Lists the files in `waiting`, each in front of the one before, so the last given comes first.
    Batch addBatch(const std::vector<std::filesystem::path>& urls, const std::string& peerName);
    /// Applies a progress report to the first active item of the batch with the report's file name.
    /// The rate is the average since the batch began; an instant gives 0.
    bool applyProgress(const TransferProgress& progress, std::chrono::duration<double> sinceBatchBegan,
                       const Batch& batch);
    /// Gives every listed item of the batch the final state.
    bool finish(const Batch& batch, const TransferItem::State& state);
    /// Removes the items that are no longer active.
    bool clearFinished();

    bool operator==(const TransferList&) const = default;

private:
    std::vector<TransferItem> items_;
};

} // namespace tarnwick
