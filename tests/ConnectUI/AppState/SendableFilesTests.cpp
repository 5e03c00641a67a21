#include "ConnectUI/AppState/SendableFiles.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace tarnwick {
namespace {

class SendableFilesTest : public ::testing::Test {
protected:
    std::filesystem::path file(const std::filesystem::path& relative) {
        const auto path = folder.path() / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << relative.string();
        return path;
    }

    testing::TemporaryDirectory folder;
};

// A dropped folder is its files, nested ones included, so each gets a row and arrives under its own name.
TEST_F(SendableFilesTest, AFolderStandsForEveryFileInsideIt) {
    const auto a = file("trip/a.jpg");
    const auto b = file("trip/b.jpg");
    const auto c = file("trip/more/c.jpg");
    std::filesystem::create_directories(folder.path() / "trip/empty");
    const auto loose = file("notes.txt");

    const auto files = SendableFiles::of({loose, folder.path() / "trip"});
    EXPECT_EQ(files.readable, (std::vector{loose, a, b, c}));
    EXPECT_TRUE(files.unreadable.empty());
}

// Anything that cannot be opened is named on its own; everything else still goes.
TEST_F(SendableFilesTest, WhatCannotBeReadIsSetApartAndTheRestStays) {
    const auto a = file("trip/a.jpg");
    const auto dangling = folder.path() / "trip/gone.jpg";
    std::filesystem::create_symlink(folder.path() / "nowhere.jpg", dangling);
    const auto missing = folder.path() / "moved.txt";
    std::filesystem::create_directory_symlink(folder.path() / "trip", folder.path() / "trip/loop");

    const auto files = SendableFiles::of({missing, folder.path() / "trip"});
    EXPECT_EQ(files.readable, (std::vector{a}));
    EXPECT_EQ(files.unreadable, (std::vector{missing, dangling})) << "a linked folder is not walked again";
}

} // namespace
} // namespace tarnwick
