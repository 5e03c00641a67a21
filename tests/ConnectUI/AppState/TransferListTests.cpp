#include "ConnectUI/AppState/TransferList.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;
using State = TransferItem::State;

TransferProgress progressOf(std::string name, std::uint64_t sent, std::uint64_t total) {
    return {"F1", std::move(name), sent, total, 0};
}

// The order and the device's name are read end to end by the namespace test's batch of 21 files.
TEST(TransferListTest, ABatchIsListedWaitingWithItsSizes) {
    testing::TemporaryDirectory folder;
    testing::appendToFile(folder / "a.txt", "12345");
    TransferList list;
    const auto batch = list.addBatch({folder / "a.txt", folder / "missing.bin"}, "Pocket Phone");
    ASSERT_EQ(list.items().size(), 2u);
    EXPECT_EQ(list.items()[0].byteCount, 0u) << "an unreadable size counts as 0";
    EXPECT_EQ(list.items()[1].byteCount, 5u);
    EXPECT_EQ(list.items()[1].state, State::waiting());
    EXPECT_EQ(batch, (TransferList::Batch{list.items()[1].id, list.items()[0].id}));
}

// Two sends of files with the same name from different folders: each report moves only its own item.
TEST(TransferListTest, ProgressReachesTheItemOfItsOwnBatch) {
    TransferList list;
    const auto first = list.addBatch({"/photos/IMG_1.jpg"}, "Phone");
    const auto second = list.addBatch({"/scans/IMG_1.jpg"}, "Phone");
    EXPECT_TRUE(list.applyProgress(progressOf("IMG_1.jpg", 50, 100), 2s, first));
    EXPECT_EQ(list.items()[1].state, State::sending(0.5, 25));
    EXPECT_EQ(list.items()[0].state, State::waiting());
}

TEST(TransferListTest, ProgressEdgesAnEmptyFileAnInstantAndAnInactiveItem) {
    TransferList list;
    const auto batch = list.addBatch({"/a/empty.txt", "/a/b.txt"}, "Phone");
    EXPECT_TRUE(list.applyProgress(progressOf("empty.txt", 0, 0), 0s, batch));
    EXPECT_EQ(list.items()[1].state, State::sending(1.0, 0)) << "total 0 is all sent; no time gives no rate";
    EXPECT_FALSE(list.applyProgress(progressOf("empty.txt", 0, 0), 0s, batch))
        << "an equal state is no change";
    EXPECT_TRUE(list.finish(batch, State::finished()));
    EXPECT_FALSE(list.applyProgress(progressOf("b.txt", 10, 20), 1s, batch))
        << "finished items take no reports";
    EXPECT_FALSE(list.applyProgress(progressOf("other.txt", 10, 20), 1s, batch));
}

TEST(TransferListTest, FinishingTouchesOneBatchAndClearingKeepsActiveItems) {
    TransferList list;
    const auto done = list.addBatch({"/a/1.txt", "/a/2.txt"}, "Phone");
    list.addBatch({"/a/3.txt"}, "Phone");
    EXPECT_TRUE(list.finish(done, State::failed("The device declined the transfer.")));
    EXPECT_EQ(list.items()[1].state, State::failed("The device declined the transfer."));
    EXPECT_EQ(list.items()[2].state, State::failed("The device declined the transfer."));
    EXPECT_TRUE(list.clearFinished());
    ASSERT_EQ(list.items().size(), 1u);
    EXPECT_EQ(list.items()[0].name, "3.txt");
    EXPECT_FALSE(list.clearFinished());
}

} // namespace
} // namespace tarnwick
