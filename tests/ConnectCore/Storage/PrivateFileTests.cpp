#include "ConnectCore/Storage/PrivateFile.hpp"
#include "tests/Support/FileMode.hpp"
#include "tests/Support/FileSizeLimit.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

std::size_t entriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class PrivateFileTest : public ::testing::Test {
protected:
    testing::TemporaryDirectory home;
    fs::path folder = home.path() / "share" / "Tarnwick Connect";
    fs::path file = folder / "device.key";
    Bytes key = Bytes(32, 0xA5);
};

// With an empty umask any mode left to chance would show up as 0777 or 0666.
TEST_F(PrivateFileTest, FoldersAre0700AndFiles0600WhateverTheUmask) {
    const mode_t savedMask = ::umask(0);
    PrivateFile::createFolder(folder);
    PrivateFile::write(file, key);
    ::umask(savedMask);
    EXPECT_EQ(testing::modeOf(home.path() / "share"), 0700u);
    EXPECT_EQ(testing::modeOf(folder), 0700u);
    EXPECT_EQ(testing::modeOf(file), 0600u);
    EXPECT_EQ(PrivateFile::read(file, 32), key);
}

// A folder an older version or the user opened up is closed again; the parents that exist stay as they are.
TEST_F(PrivateFileTest, AFolderThatExistsIsMade0700) {
    fs::create_directories(folder);
    fs::permissions(home.path() / "share", fs::perms(0755));
    fs::permissions(folder, fs::perms(0755));
    PrivateFile::createFolder(folder);
    EXPECT_EQ(testing::modeOf(folder), 0700u);
    EXPECT_EQ(testing::modeOf(home.path() / "share"), 0755u);
}

// A shorter file replaces a longer one whole; a write that stops after ten bytes, as on a full disk,
// leaves the old key untouched. Neither leaves a temporary behind.
TEST_F(PrivateFileTest, WriteReplacesTheFileWholeAndAHalfWrittenOneNever) {
    PrivateFile::createFolder(folder);
    PrivateFile::write(file, Bytes(100, 0x11));
    PrivateFile::write(file, key);
    EXPECT_EQ(PrivateFile::read(file, 32), key);
    {
        const testing::FileSizeLimit limit(10);
        EXPECT_THROW(PrivateFile::write(file, Bytes(32, 0x5A)), std::system_error);
    }
    EXPECT_EQ(PrivateFile::read(file, 32), key);
    EXPECT_EQ(entriesIn(folder), 1u);
}

TEST_F(PrivateFileTest, ReadGivesNothingForMissingOrOversizedFiles) {
    EXPECT_EQ(PrivateFile::read(file, 32), std::nullopt);
    PrivateFile::createFolder(folder);
    PrivateFile::write(file, Bytes(33, 1));
    EXPECT_EQ(PrivateFile::read(file, 32), std::nullopt);
    EXPECT_EQ(PrivateFile::read(file, 33), Bytes(33, 1));
    PrivateFile::write(file, {});
    EXPECT_EQ(PrivateFile::read(file, 32), Bytes{});
}

} // namespace
} // namespace tarnwick
