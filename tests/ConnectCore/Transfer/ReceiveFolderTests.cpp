#include "ConnectCore/Transfer/ReceiveFolder.hpp"
#include "tests/ConnectCore/Transfer/TransferFiles.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

// Only hidden partial files untouched for longer than the age go; the user's own files, however old
// or hidden, stay, and so do recent partial files that a retry may still resume.
TEST(ReceiveFolderTest, StalePartialFilesAreRemovedAtStart) {
    testing::TemporaryDirectory folder;
    const Bytes bytes = testing::patternBytes(10);
    const auto lastWeek = std::filesystem::file_time_type::clock::now() - ReceiveFolder::stalePartialAge - 1h;
    for (const auto* name : {".OLD-10.part", "old.txt", ".old-hidden", "old.part"}) {
        std::filesystem::last_write_time(folder.write(name, bytes), lastWeek);
    }
    folder.write(".RECENT-10.part", bytes);
    std::filesystem::create_directory(folder / ".OLD-DIR.part");
    std::filesystem::last_write_time(folder / ".OLD-DIR.part", lastWeek);

    EXPECT_EQ(ReceiveFolder(folder.path()).removeStalePartials(), 1u);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{".OLD-DIR.part", ".RECENT-10.part", ".old-hidden",
                                                        "old.part", "old.txt"}));
}

} // namespace
} // namespace tarnwick
