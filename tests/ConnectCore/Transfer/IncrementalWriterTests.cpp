#include "ConnectCore/Transfer/IncrementalWriter.hpp"
#include "TarnwickConnectProtocol/Crypto/SHA256.hpp"
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

// The digest stands in for reading the file back, so it must cover what an earlier connection left and
// every write since, across the write-back steps.
TEST(IncrementalWriterTest, DigestCoversTheResumedBytesAndEveryWrite) {
    testing::TemporaryDirectory folder;
    const Bytes whole = testing::patternBytes(IncrementalWriter::writeBackStep + 5000, 3);
    const auto earlier = ByteView(whole).first(1000);
    const auto path = folder.write("part", Bytes(earlier.begin(), earlier.end()));

    IncrementalWriter writer(path, true);
    ASSERT_EQ(writer.writtenBytes(), 1000u);
    writer.write(ByteView(whole).subspan(1000, IncrementalWriter::writeBackStep));
    writer.write(ByteView(whole).subspan(1000 + IncrementalWriter::writeBackStep));
    writer.close();
    EXPECT_EQ(writer.sha256(), SHA256::digest(whole));
    EXPECT_EQ(testing::readFile(path), whole);
}

} // namespace
} // namespace tarnwick
