#include "ConnectCore/Transfer/IncrementalWriter.hpp"
#include "tests/ConnectCore/Transfer/TransferFiles.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(IncrementalWriterTest, ResumingContinuesTheFileAndStartingAfreshEmptiesIt) {
    testing::TemporaryFolder folder;
    const Bytes bytes = testing::patternBytes(1000);
    const auto path = folder.write("part", Bytes(bytes.begin(), bytes.begin() + 700));
    {
        IncrementalWriter writer(path, true);
        EXPECT_EQ(writer.writtenBytes(), 700u);
        writer.write(ByteView(bytes).subspan(700));
        writer.finish();
        EXPECT_EQ(writer.writtenBytes(), 1000u);
    }
    EXPECT_EQ(testing::readFile(path), bytes);

    const IncrementalWriter fresh(path, false);
    EXPECT_EQ(fresh.writtenBytes(), 0u);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

// A partial file's name is predictable; a link planted there must not lead writes elsewhere.
TEST(IncrementalWriterTest, NeverWritesThroughALink) {
    testing::TemporaryFolder folder;
    const Bytes precious = testing::patternBytes(100);
    const auto target = folder.write("precious", precious);
    const auto link = folder / "part";
    std::filesystem::create_symlink(target, link);

    EXPECT_THROW(IncrementalWriter(link, true), std::filesystem::filesystem_error);
    IncrementalWriter fresh(link, false);
    fresh.write(testing::patternBytes(10, 2));
    fresh.finish();
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_EQ(testing::readFile(target), precious);
}

} // namespace
} // namespace tarnwick
