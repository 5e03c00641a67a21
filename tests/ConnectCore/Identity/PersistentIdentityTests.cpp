#include "ConnectCore/Identity/PersistentIdentity.hpp"
#include "ConnectCore/Storage/PrivateFile.hpp"
#include "tests/Support/FileMode.hpp"
#include "tests/Support/OpenSSLSignature.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <fstream>
#include <regex>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

std::string textOf(const fs::path& file) {
    const auto bytes = PrivateFile::read(file, 4096);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "<unreadable>";
}

void overwrite(const fs::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

/// Whether the identity signs for the key its TLS certificate carries.
bool works(const DeviceIdentity& identity) {
    const Bytes digest(32, 0x42);
    return testing::OpenSSLSignature::verifies(X509_get0_pubkey(identity.secIdentity()->certificate()),
                                               digest, identity.sign(digest));
}

class PersistentIdentityTest : public ::testing::Test {
protected:
    DeviceIdentity start() {
        return PersistentIdentity::loadOrCreate(folder, "Studio Mac", DevicePlatform::macOS, "1.0.0");
    }

    testing::TemporaryDirectory home;
    fs::path folder = home.path() / "Tarnwick Connect";
    fs::path keyFile = folder / PersistentIdentity::keyFileName;
    fs::path idFile = folder / PersistentIdentity::idFileName;
};

TEST_F(PersistentIdentityTest, FirstStartCreatesPrivateFilesInAFreshHome) {
    folder = home.path() / ".local/share/Tarnwick Connect";

    const DeviceIdentity identity = start();
    EXPECT_TRUE(
        std::regex_match(identity.deviceID(),
                         std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")));
    EXPECT_TRUE(works(identity));

    EXPECT_EQ(testing::modeOf(folder), 0700u);
    EXPECT_EQ(testing::modeOf(folder / "device.key"), 0600u);
    EXPECT_EQ(testing::modeOf(folder / "device.id"), 0600u);
}

// The identifier is used as stored, spaces and line breaks included.
TEST_F(PersistentIdentityTest, StoredIdentifierIsTakenVerbatim) {
    start();
    overwrite(idFile, bytesOf(" my-mac\n"));
    EXPECT_EQ(start().deviceID(), " my-mac\n");
}

// Later starts keep the identity, unless a file of it cannot be used: then a new one is made and kept.
TEST_F(PersistentIdentityTest, UnusableFilesMakeANewIdentityWrittenBack) {
    const Bytes zeroScalar(32, 0x00);
    const std::pair<fs::path, Bytes> damage[] = {
        {keyFile, Bytes(31, 0x11)}, {keyFile, Bytes(33, 0x11)},  {keyFile, zeroScalar},
        {idFile, Bytes{}},          {idFile, Bytes{0x41, 0xFF}},
    };
    for (const auto& [file, bytes] : damage) {
        const DeviceIdentity before = start();
        EXPECT_EQ(start().deviceID(), before.deviceID());
        overwrite(file, bytes);
        const DeviceIdentity replaced = start();
        EXPECT_NE(replaced.deviceID(), before.deviceID()) << file;
        EXPECT_NE(replaced.spkiSHA256(), before.spkiSHA256()) << file;
        EXPECT_EQ(textOf(idFile), replaced.deviceID());
        EXPECT_EQ(start().spkiSHA256(), replaced.spkiSHA256()) << "not written back";
    }
}

// Permission bits do not stop root, so a regular file stands where the folder should be.
TEST_F(PersistentIdentityTest, UnwritableFolderStillServesThisRun) {
    overwrite(folder, bytesOf("in the way"));
    const DeviceIdentity first = start();
    EXPECT_TRUE(works(first));
    EXPECT_EQ(textOf(folder), "in the way");
    EXPECT_NE(start().deviceID(), first.deviceID());
}

} // namespace
} // namespace tarnwick
