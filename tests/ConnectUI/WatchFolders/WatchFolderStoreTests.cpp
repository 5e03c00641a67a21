#include "ConnectUI/WatchFolders/WatchFolderStore.hpp"
#include "tests/Support/ProfileSettings.hpp"
#include "tests/Support/QtApplication.hpp"

#include <gtest/gtest.h>

#include <map>

namespace tarnwick {
namespace {

class WatchFolderStoreTest : public ::testing::Test {
protected:
    void SetUp() override { testing::qtApplication(); }

    /// A store whose watchers are the folders it asked to have watched, by identifier.
    std::unique_ptr<WatchFolderStore> makeStore(QSettings& settings) {
        return std::make_unique<WatchFolderStore>(
            settings,
            WatchFolderStore::Watching{[this](const std::string& id, const std::filesystem::path& folder) {
                                           watched[id] = folder;
                                           return true;
                                       },
                                       [this](const std::string& id) { watched.erase(id); }});
    }
    static WatchFolderStore::FolderChooser picking(std::optional<std::filesystem::path> folder) {
        return [folder] { return folder; };
    }

    testing::ProfileSettings profile;
    testing::TemporaryDirectory folders;
    std::map<std::string, std::filesystem::path> watched;
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
        // Whoever shows the list may tell the user to drop files in at once.
        std::size_t watchedWhenListed = 0;
        QObject::connect(store.get(), &WatchFolderStore::foldersChanged,
                         [&] { watchedWhenListed = watched.size(); });
        store->add(picking(folders / "Scans"));
        EXPECT_EQ(watchedWhenListed, 1u) << "a folder is watched before it is listed";
        store->add(picking(folders / "Exports"));
        store->setEnabled(false, store->folders()[1]);
        EXPECT_FALSE(store->isWatching(store->folders()[1].id));
    }
    watched.clear(); // the watchers of that run ended with it
    const auto settings = profile.reopened();
    const auto store = makeStore(*settings);
    ASSERT_EQ(store->folders().size(), 2u);
    EXPECT_EQ(store->folders()[0].name(), "Scans");
    EXPECT_FALSE(store->isWatching(store->folders()[0].id)) << "nothing is watched before startAll";
    store->startAll();
    EXPECT_TRUE(store->isWatching(store->folders()[0].id));
    EXPECT_FALSE(store->isWatching(store->folders()[1].id));
    const std::string scans = store->folders()[0].id;
    EXPECT_EQ(watched, (std::map<std::string, std::filesystem::path>{{scans, folders / "Scans"}}));

    store->remove(store->folders()[0]);
    EXPECT_TRUE(watched.empty()) << "a removed folder's watcher stops";
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

TEST_F(WatchFolderStoreTest, AFolderThatCannotBeWatchedIsNotAdded) {
    const auto store = makeStore(*profile.settings);
    store->add(picking(folders / "nowhere"));
    EXPECT_TRUE(store->folders().empty());
    EXPECT_EQ(store->lastError(), "Could not keep access to nowhere: No such file or directory");
}

} // namespace
} // namespace tarnwick
