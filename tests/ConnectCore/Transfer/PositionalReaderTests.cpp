#include "ConnectCore/Transfer/PositionalReader.hpp"
#include "TarnwickConnectProtocol/Crypto/SHA256.hpp"
#include "tests/ConnectCore/Transfer/TransferFiles.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(PositionalReaderTest, ReadsStopAtTheSizeMeasuredAtOpening) {
    testing::TemporaryDirectory folder;
    const Bytes bytes = testing::patternBytes(3000);
    const PositionalReader reader(folder.write("file.bin", bytes));
    EXPECT_EQ(reader.byteCount(), 3000u);
    EXPECT_EQ(reader.read(2500, 1000), Bytes(bytes.begin() + 2500, bytes.end()));
    EXPECT_TRUE(reader.read(0, -1).empty());
    EXPECT_EQ(reader.sha256(), SHA256::digest(bytes));

    // Bytes appended later are not read: the size is the one measured at opening.
    std::ofstream(folder / "file.bin", std::ios::app) << "more";
    EXPECT_EQ(reader.read(0, 5000).size(), 3000u);
}

// Blocks are read ahead of the hash: each must count once and in order, and a file that shrank since it
// was opened ends the hash at its new end rather than failing.
TEST(PositionalReaderTest, HashesAFileOfManyBlocksWhole) {
    testing::TemporaryDirectory folder;
    const Bytes bytes = testing::patternBytes(2 * PositionalReader::hashReadSize + 1234, 5);
    const auto path = folder.write("large.bin", bytes);
    const PositionalReader reader(path);
    EXPECT_EQ(reader.sha256(), SHA256::digest(bytes));

    std::filesystem::resize_file(path, PositionalReader::hashReadSize + 10);
    EXPECT_EQ(reader.sha256(), SHA256::digest(ByteView(bytes).first(PositionalReader::hashReadSize + 10)));
}

// A directory opens, but cannot be read.
TEST(PositionalReaderTest, ADirectoryFailsWithAFileSystemError) {
    testing::TemporaryDirectory folder;
    std::filesystem::create_directory(folder / "directory");
    const PositionalReader directory(folder / "directory");
    EXPECT_THROW(directory.sha256(), std::filesystem::filesystem_error);
}

} // namespace
} // namespace tarnwick
