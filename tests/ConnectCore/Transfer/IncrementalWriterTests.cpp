#include "ConnectCore/Transfer/IncrementalWriter.hpp"
#include "tests/ConnectCore/Transfer/TransferFiles.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

// A partial file's name is predictable; a link planted there must not lead writes elsewhere.
TEST(IncrementalWriterTest, NeverWritesThroughALink) {
    testing::TemporaryDirectory folder;
    const Bytes precious = testing::patternBytes(100);
    const auto target = folder.write("precious", precious);
    const auto link = folder / "part";
    std::filesystem::create_symlink(target, link);

    EXPECT_THROW(IncrementalWriter(link, true), std::filesystem::filesystem_error);
    IncrementalWriter fresh(link, false);
    fresh.write(testing::patternBytes(10, 2));
    fresh.close();
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_EQ(testing::readFile(target), precious);
}

} // namespace
} // namespace tarnwick
