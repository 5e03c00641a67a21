#include "ConnectUI/Async/EngineThreads.hpp"
#include "ConnectUI/WatchFolders/WatchFolderStore.hpp"
#include "tests/Support/ProfileSettings.hpp"
#include "tests/Support/QtApplication.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

class WatchFolderStoreTest : public ::testing::Test {
protected:
    void SetUp() override { testing::qtApplication(); }

    std::unique_ptr<WatchFolderStore> makeStore(QSettings& settings) {
        return std::make_unique<WatchFolderStore>(
            settings, QtExecutor(context), engine.blocking(),
            [this](const std::filesystem::path& file) { settled.push_back(file); });
    }
    static WatchFolderStore::FolderChooser picking(std::optional<std::filesystem::path> folder) {
        return [folder] { return folder; };
    }

    void TearDown() override { engine.stop(); }

    EngineThreads engine{1, 1};
    QtExecutionContext context;
    testing::ProfileSettings profile;
    testing::TemporaryDirectory folders;
    std::vector<std::filesystem::path> settled;
};

TEST_F(WatchFolderStoreTest, StoredValuesOfAnotherShapeGiveAnEmptyListAndNoError) {
    for (const QByteArray& stored : {QByteArray("[{\"id\":1}]"), QByteArray("{}"), QByteArray("\x01\x02")}) {
        profile.settings->setValue(WatchFolderStore::settingsKey, stored);
        const auto store = makeStore(*profile.settings);
        EXPECT_TRUE(store->folders().empty());
        EXPECT_FALSE(store->lastError());
    }
}

TEST_F(WatchFolderStoreTest, OnlyEnabledFoldersAreWatchedAndTheListSurvivesARestart) {
    std::filesystem::create_directory(folders / "Scans");
    std::filesystem::create_directory(folders / "Exports");
    {
        const auto store = makeStore(*profile.settings);
        store->add(picking(folders / "Scans"));
        store->add(picking(folders / "Exports"));
        store->setEnabled(false, store->folders()[1]);
        EXPECT_FALSE(store->isWatching(store->folders()[1].id));
    }
    const auto settings = profile.reopened();
    const auto store = makeStore(*settings);
    ASSERT_EQ(store->folders().size(), 2u);
    EXPECT_EQ(store->folders()[0].name(), "Scans");
    EXPECT_FALSE(store->isWatching(store->folders()[0].id)) << "nothing is watched before startAll";
    store->startAll();
    EXPECT_TRUE(store->isWatching(store->folders()[0].id));
    EXPECT_FALSE(store->isWatching(store->folders()[1].id));

    store->remove(store->folders()[0]);
    const auto afterRemoval = profile.reopened();
    ASSERT_EQ(makeStore(*afterRemoval)->folders().size(), 1u);
    EXPECT_EQ(makeStore(*afterRemoval)->folders()[0].name(), "Exports");
}

TEST_F(WatchFolderStoreTest, AFolderThatIsGoneStaysListedUnwatchedWithTheReason) {
    std::filesystem::create_directory(folders / "Camera");
    makeStore(*profile.settings)->add(picking(folders / "Camera"));
    std::filesystem::remove(folders / "Camera");
    const auto store = makeStore(*profile.settings);
    store->startAll();
    ASSERT_EQ(store->folders().size(), 1u);
    EXPECT_FALSE(store->isWatching(store->folders()[0].id));
    EXPECT_EQ(store->lastError(), "Lost access to Camera. Remove and add it again.");
}

TEST_F(WatchFolderStoreTest, CancellingOrPickingNoFolderAddsNothing) {
    const auto store = makeStore(*profile.settings);
    store->add(picking(std::nullopt));
    EXPECT_TRUE(store->folders().empty());
    EXPECT_FALSE(store->lastError());
    store->add(picking(folders / "nowhere"));
    EXPECT_TRUE(store->folders().empty());
    EXPECT_EQ(store->lastError(), "Could not keep access to nowhere: No such file or directory");
}

TEST_F(WatchFolderStoreTest, AFileFinishedInAWatchedFolderReachesTheCallbackOnce) {
    std::filesystem::create_directory(folders / "Outbox");
    const auto store = makeStore(*profile.settings);
    store->add(picking(folders / "Outbox"));
    testing::appendToFile(folders / "Outbox" / "report.pdf", "%PDF-1.4 finished");
    ASSERT_TRUE(testing::waitFor([&] { return !settled.empty(); }, std::chrono::seconds(15)));
    EXPECT_EQ(settled, std::vector<std::filesystem::path>{folders / "Outbox" / "report.pdf"});
}

} // namespace
} // namespace tarnwick
