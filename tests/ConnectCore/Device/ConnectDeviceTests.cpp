// This device's engine against a device that speaks the handshake by hand over real TLS on loopback.
#include "ConnectCore/Device/ConnectDevice.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Messages/AcceptMessage.hpp"
#include "TarnwickConnectProtocol/Messages/OfferMessage.hpp"
#include "tests/Support/DeviceUnderTest.hpp"
#include "tests/Support/HandshakeByHand.hpp"
#include "tests/Support/RunCoroutine.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace tarnwick {
namespace {

constexpr std::uint64_t handshakeStream = 0;

/// An offer whose thumbnail makes it larger than any handshake message may be.
OfferMessage largeOffer() {
    FileDescriptor file;
    file.fileID = "PHOTO";
    file.name = "photo.jpg";
    file.byteCount = 3;
    file.utType = "public.jpeg";
    file.sha256 = Bytes(32, 0x11);
    file.thumbnailJPEG = Bytes(96 * 1024, 0xFF);
    return OfferMessage{"OFFER", {file}, std::nullopt};
}

class ConnectDeviceTest : public ::testing::Test {
protected:
    testing::Engine engine{2};
    testing::DeviceUnderTest device;
    testing::HandshakeByHand peer;

    /// Connects the phone to this device and returns the fingerprint the phone knows it by.
    std::string connect(testing::DeviceUnderTest& phone) {
        DiscoveredPeer target{"computer", "Studio Computer", "", {}, {}, {}, {}};
        target.endpoint = {asio::ip::make_address("127.0.0.1"), device.port()};
        phone->connect(target);
        return std::get<DeviceEvents::Connected>(phone.waitFor<DeviceEvents::Connected>()).fingerprint;
    }
    /// A file on the phone large enough to be cut half-way.
    static std::filesystem::path movie(testing::DeviceUnderTest& phone) {
        const auto path = phone.home() / "movie.bin";
        std::ofstream(path).close();
        std::filesystem::resize_file(path, 256u << 20);
        return path;
    }
    std::size_t filesInDownloads() {
        const auto downloads = device.home() / "Downloads";
        return std::distance(std::filesystem::directory_iterator(downloads), {});
    }
};

void expectCancelled(const DeviceEvent& event) {
    const auto& ended = std::get<DeviceEvents::TransferEnded>(event);
    ASSERT_TRUE(ended.failure);
    EXPECT_EQ(TWCPError::from(ended.failure)->errorCase(), TWCPError::Case::cancelled);
}

// Right behind its last handshake message a device may ping and offer at once; this side is still
// remembering the first pairing then. The ping is answered and the offer, larger than a handshake message,
// is judged as a ready session's frame.
TEST_F(ConnectDeviceTest, FramesRightBehindTheLastHandshakeMessageAreServedAfterAFirstPairing) {
    const auto answers = engine.run([&]() -> asio::awaitable<std::vector<TWCPFrameKind>> {
        DiscoveredPeer target;
        target.id = "SCRIPTED-ID";
        target.name = "Scripted Phone";
        target.fingerprint = peer.identity.spkiSHA256;
        const std::uint16_t port = co_await peer.listen();
        target.endpoint = {asio::ip::address_v4::loopback(), port};
        device->connect(target);
        co_await peer.accept();
        // Frames are taken into variables first: g++ 12 mishandles temporaries inside a co_await expression.
        const auto helloFrame = co_await peer.next();
        const auto hello = helloFrame->decode<HelloMessage>(TWCPFrameKind::hello);
        auto frame1 = TWCPFrame::json(TWCPFrameKind::helloAck, peer.helloAck(), handshakeStream);
        co_await peer.send(std::move(frame1));
        auto frame2 =
            TWCPFrame::json(TWCPFrameKind::authChallenge, AuthChallengeMessage{peer.nonce}, handshakeStream);
        co_await peer.send(std::move(frame2));
        const auto authFrame = co_await peer.next();
        EXPECT_EQ(authFrame->header.kind, TWCPFrameKind::authResponse);
        const HandshakeTranscript transcript{hello.spkiSHA256, peer.identity.spkiSHA256, hello.nonce,
                                             peer.nonce, testing::HandshakeByHand::version};
        auto frame3 =
            TWCPFrame::json(TWCPFrameKind::authResponse, peer.signedResponse(transcript), handshakeStream);
        co_await peer.send(std::move(frame3));
        auto frame4 = TWCPFrame(TWCPFrameKind::ping, {}, handshakeStream, {});
        co_await peer.send(std::move(frame4));
        auto frame5 = TWCPFrame::json(TWCPFrameKind::offer, largeOffer(), 2);
        co_await peer.send(std::move(frame5));
        std::vector<TWCPFrameKind> kinds;
        while (kinds.size() < 2) {
            const auto frame = co_await peer.next();
            if (!frame) {
                break;
            }
            kinds.push_back(frame->header.kind);
            if (frame->header.kind == TWCPFrameKind::accept) {
                EXPECT_EQ(frame->decode<AcceptMessage>(TWCPFrameKind::accept).offerID, "OFFER");
            }
        }
        co_return kinds;
    }());
    EXPECT_EQ(std::ranges::count(answers, TWCPFrameKind::pong), 1);
    EXPECT_EQ(std::ranges::count(answers, TWCPFrameKind::accept), 1);
    EXPECT_EQ(device.count<DeviceEvents::Connected>(), 1u);
}

// The signature is checked before the user is asked: a device that cannot prove its key never reaches
// the screen.
TEST_F(ConnectDeviceTest, AGarbageAuthResponseNeverProducesAPrompt) {
    const bool closed = engine.run([&]() -> asio::awaitable<bool> {
        co_await peer.dial(device.port());
        auto frame6 = TWCPFrame::json(TWCPFrameKind::hello, peer.hello(), handshakeStream);
        co_await peer.send(std::move(frame6));
        co_await peer.next(); // helloAck
        co_await peer.next(); // authChallenge
        auto frame7 = TWCPFrame::json(TWCPFrameKind::authResponse, AuthResponseMessage{Bytes(72, 0x30)},
                                      handshakeStream);
        co_await peer.send(std::move(frame7));
        co_return !(co_await peer.next());
    }());
    EXPECT_TRUE(closed);
    EXPECT_EQ(device.count<DeviceEvents::PairingRequested>(), 0u);
    EXPECT_EQ(device.count<DeviceEvents::Connected>(), 0u);
}

// A send the user cancels ends as cancelled on both sides; retried, the same send arrives whole and leaves
// no partial file behind.
TEST_F(ConnectDeviceTest, ACancelledSendRetriedArrivesWhole) {
    testing::DeviceUnderTest phone("Phone");
    const auto fingerprint = connect(phone);
    phone->send(1, fingerprint, {movie(phone)}, std::nullopt);
    phone.waitFor<DeviceEvents::TransferProgressed>();
    phone->cancel(1);
    expectCancelled(phone.waitFor<DeviceEvents::TransferEnded>());

    phone->retry(1);
    const auto retried = std::get<DeviceEvents::TransferEnded>(phone.waitFor<DeviceEvents::TransferEnded>());
    EXPECT_FALSE(retried.failure);
    const auto received = std::get<DeviceEvents::Received>(device.waitFor<DeviceEvents::Received>());
    EXPECT_EQ(std::filesystem::file_size(received.file.path), 256u << 20);
    EXPECT_EQ(filesInDownloads(), 1) << "no partial file stays";
}

// The receiving side stops an offer it sees arriving: the send ends as cancelled on the phone, the offer
// is reported ended here, and no partial file stays.
TEST_F(ConnectDeviceTest, AnOfferCancelledByItsReceiverEndsOnBothSidesWithoutAPartialFile) {
    testing::DeviceUnderTest phone("Phone");
    const auto fingerprint = connect(phone);
    phone->send(1, fingerprint, {movie(phone)}, std::nullopt);
    const auto arriving =
        std::get<DeviceEvents::ReceiveProgressed>(device.waitFor<DeviceEvents::ReceiveProgressed>());
    EXPECT_EQ(arriving.offer.firstName, "movie.bin");
    EXPECT_EQ(arriving.offer.totalBytes, 256u << 20);
    EXPECT_FALSE(arriving.offer.ended);

    device->cancelReceive(arriving.fingerprint, arriving.offer.offerID);
    expectCancelled(phone.waitFor<DeviceEvents::TransferEnded>());
    device.waitFor([](const DeviceEvent& event) {
        const auto* progressed = std::get_if<DeviceEvents::ReceiveProgressed>(&event);
        return progressed && progressed->offer.ended;
    });
    EXPECT_EQ(filesInDownloads(), 0);
}

// The engine runs the watchers of watched folders: a file written once the folder is watched is reported
// when it has finished arriving, and nothing is once the folder is no longer watched.
TEST_F(ConnectDeviceTest, AFileFinishedInAWatchedFolderIsReportedUntilTheFolderIsUnwatched) {
    using namespace std::chrono_literals;
    const auto outbox = device.home() / "Outbox";
    std::filesystem::create_directory(outbox);
    device->watch("OUTBOX", outbox);
    testing::appendToFile(outbox / "report.pdf", "%PDF-1.4 finished");
    const auto settled = std::get<DeviceEvents::FileSettled>(device.waitFor<DeviceEvents::FileSettled>());
    EXPECT_EQ(settled.file, outbox / "report.pdf");

    device->unwatch("OUTBOX");
    testing::appendToFile(outbox / "later.pdf", "%PDF-1.4 later");
    const auto reportsLater = [](const DeviceEvent& event) {
        const auto* settled = std::get_if<DeviceEvents::FileSettled>(&event);
        return settled && settled->file.filename() == "later.pdf";
    };
    EXPECT_THROW(device.waitFor(reportsLater, 6s), std::runtime_error);
}

} // namespace
} // namespace tarnwick
