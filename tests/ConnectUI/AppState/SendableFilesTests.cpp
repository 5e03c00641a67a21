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
