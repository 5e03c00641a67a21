#include "ConnectUI/Settings/DownloadsLocation.hpp"
#include "tests/Support/ProfileSettings.hpp"
#include "tests/Support/QtApplication.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

class DownloadsLocationTest : public ::testing::Test {
protected:
    void SetUp() override { testing::qtApplication(); }
    testing::ProfileSettings profile;
    testing::TemporaryDirectory chosen;
};

// Never the shared temporary folder, where other users could read what arrives or plant the folder first.
TEST(DefaultDownloads, WithoutADownloadFolderFilesGoToDownloadsInTheHome) {
    EXPECT_EQ(ApplicationHome::downloadsIn("", "/home/ada"), "/home/ada/Downloads/Tarnwick Connect");
    EXPECT_EQ(ApplicationHome::downloadsIn("/home/ada/Fichiers", "/home/ada"),
              "/home/ada/Fichiers/Tarnwick Connect");
}

TEST_F(DownloadsLocationTest, AChosenFolderIsKeptAcrossLaunchesUntilReset) {
    DownloadsLocation downloads(*profile.settings, profile.home.defaultDownloads);
    downloads.choose(chosen.path());
    EXPECT_TRUE(downloads.isCustom());
    const auto settings = profile.reopened();
    DownloadsLocation relaunched(*settings, profile.home.defaultDownloads);
    EXPECT_EQ(relaunched.url(), chosen.path());

    relaunched.reset();
    EXPECT_FALSE(relaunched.isCustom());
    EXPECT_FALSE(relaunched.problem());
    EXPECT_EQ(relaunched.url(), profile.home.defaultDownloads);
    EXPECT_FALSE(settings->contains(DownloadsLocation::settingsKey));
}

TEST_F(DownloadsLocationTest, ADeletedChosenFolderFallsBackWithTheReason) {
    const auto folder = chosen / "Inbox";
    std::filesystem::create_directory(folder);
    DownloadsLocation(*profile.settings, profile.home.defaultDownloads).choose(folder);
    std::filesystem::remove(folder);
    const auto settings = profile.reopened();
    DownloadsLocation relaunched(*settings, profile.home.defaultDownloads);
    EXPECT_EQ(relaunched.url(), profile.home.defaultDownloads);
    EXPECT_EQ(relaunched.problem(), "Couldn't reach your chosen folder, so files are going to Downloads.");
    // Not in use, but still stored: resetting is how the user clears the message.
    EXPECT_FALSE(relaunched.isCustom());
    EXPECT_TRUE(relaunched.hasStoredChoice());
    relaunched.reset();
    EXPECT_FALSE(relaunched.hasStoredChoice());
    EXPECT_FALSE(relaunched.problem());
}

TEST_F(DownloadsLocationTest, ChoosingSomethingThatIsNoFolderChangesNothing) {
    DownloadsLocation downloads(*profile.settings, profile.home.defaultDownloads);
    testing::appendToFile(chosen / "file.txt", "x");
    downloads.choose(chosen / "file.txt");
    EXPECT_EQ(downloads.problem(), "Couldn't get permission to save there. Pick another folder.");
    EXPECT_EQ(downloads.url(), profile.home.defaultDownloads);
    EXPECT_FALSE(profile.settings->contains(DownloadsLocation::settingsKey));
}

} // namespace
} // namespace tarnwick
