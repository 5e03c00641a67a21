#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Messages/AcceptMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CancelMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CurrentFileMessage.hpp"
#include "TarnwickConnectProtocol/Messages/ErrorMessage.hpp"
#include "TarnwickConnectProtocol/Messages/FileDescriptor.hpp"
#include "TarnwickConnectProtocol/Messages/FlowMessage.hpp"
#include "TarnwickConnectProtocol/Messages/HelloAckMessage.hpp"
#include "TarnwickConnectProtocol/Messages/HelloMessage.hpp"
#include "TarnwickConnectProtocol/Messages/OfferMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RangeEndMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RangeRequestMessage.hpp"
#include "TarnwickConnectProtocol/Messages/TWCPCoding.hpp"
#include "tests/TarnwickConnectProtocol/ExpectTWCPError.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarnwick {
namespace {

std::string text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

template <class Message> Message decoded(const std::string& json) {
    return TWCPCoding::decode<Message>(bytesOf(json));
}

template <class Message> void expectMalformed(const std::string& json) {
    SCOPED_TRACE(json);
    expectTWCPError([&] { decoded<Message>(json); }, TWCPError::malformedPayload(Message::typeName));
}

// 32 bytes of 0xFF: a digest-sized value whose base64 is nearly all "/".
const Bytes allOnes(32, 0xFF);
const std::string allOnesBase64 = std::string(42, '/') + "8=";

FileDescriptor bareDescriptor() {
    return {
        .fileID = "F1", .name = "a.txt", .byteCount = 12, .utType = "public.plain-text", .sha256 = allOnes};
}

TEST(TWCPCoding, WritesHelloWithExactKeysAndWireValues) {
    const HelloMessage hello{.version = 1,
                             .role = TWCPRole::initiator,
                             .deviceID = "D",
                             .deviceName = "Studio",
                             .platform = DevicePlatform::macOS,
                             .osVersion = "12",
                             .appVersion = "1.0",
                             .spkiSHA256 = "k_-",
                             .capabilities = {PeerCapabilities::watchFolder | PeerCapabilities::resume},
                             .nonce = bytesOf("ab")};
    EXPECT_EQ(text(TWCPCoding::encode(hello)),
              R"({"appVersion":"1.0","capabilities":10,"deviceID":"D","deviceName":"Studio","nonce":"YWI=",)"
              R"("osVersion":"12","platform":"macOS","role":"initiator","spkiSHA256":"k_-","version":1})");
}

// Equal messages must encode to identical bytes, so keys are sorted at every level, map keys too.
TEST(TWCPCoding, SortsKeysAtEveryLevel) {
    const CurrentFileMessage current{.sessionID = "S", .file = bareDescriptor(), .transcodeProgress = 0.5};
    EXPECT_EQ(text(TWCPCoding::encode(current)),
              R"({"file":{"byteCount":12,"fileID":"F1","name":"a.txt","sha256":")" + allOnesBase64 +
                  R"(","utType":"public.plain-text"},"sessionID":"S","transcodeProgress":0.5})");
    const AcceptMessage accept{.offerID = "O", .resumeOffsets = {{"b", 2}, {"B", 3}, {"a", 1}}};
    EXPECT_EQ(text(TWCPCoding::encode(accept)), R"({"offerID":"O","resumeOffsets":{"B":3,"a":1,"b":2}})");
}

TEST(TWCPCoding, AlwaysWritesResumeOffsetsAndRequiresThem) {
    EXPECT_EQ(text(TWCPCoding::encode(AcceptMessage{.offerID = "O"})),
              R"({"offerID":"O","resumeOffsets":{}})");
    expectMalformed<AcceptMessage>(R"({"offerID":"O"})");
}

TEST(TWCPCoding, ReadsNullOptionalsAsAbsentAndIgnoresUnknownKeys) {
    const auto descriptor = decoded<FileDescriptor>(
        R"({"byteCount":12,"fileID":"F1","name":"a.txt","sha256":")" + allOnesBase64 +
        R"(","utType":"public.plain-text","pixelWidth":null,"future":{"nested":[1,{"deep":true}]}})");
    EXPECT_EQ(descriptor, bareDescriptor());
}

// Failures inside a nested descriptor are reported under the outer message's name.
TEST(TWCPCoding, RefusesUnknownEnumerationStringsNamingTheMessage) {
    const std::string hello =
        R"({"appVersion":"1","capabilities":0,"deviceID":"D","deviceName":"N","nonce":"",)"
        R"("osVersion":"1","spkiSHA256":"k","version":1,)";
    EXPECT_EQ(decoded<HelloMessage>(hello + R"("platform":"iPadOS","role":"responder"})").platform,
              DevicePlatform::iPadOS);
    expectMalformed<HelloMessage>(hello + R"("platform":"linux","role":"responder"})");
    expectMalformed<HelloMessage>(hello + R"("platform":"macOS","role":"Initiator"})");
    expectMalformed<OfferMessage>(
        R"({"offerID":"O","files":[{"byteCount":1,"fileID":"F","name":"n","sha256":"",)"
        R"("utType":"u","playability":"maybe"}]})");
}

TEST(TWCPCoding, RefusesDocumentsThatAreNotTheMessage) {
    for (const char* json :
         {"", "{", "[]", "null", R"("x")", R"({"fileID":"F","consumedBytes":1} x)", R"({"fileID":"F"})",
          R"({"fileID":null,"consumedBytes":1})", R"({"fileID":7,"consumedBytes":1})",
          R"({"fileID":"F","consumedBytes":"1"})", R"({"fileID":"F","consumedBytes":true})",
          R"({"fileID":"\ud800","consumedBytes":1})"}) {
        expectMalformed<FlowMessage>(json);
    }
    expectMalformed<OfferMessage>(R"({"offerID":"O","files":{}})");
    expectMalformed<CurrentFileMessage>(R"({"sessionID":"S","file":[]})");
    expectMalformed<AcceptMessage>(R"({"offerID":"O","resumeOffsets":{"F":-1}})");
    expectMalformed<FileDescriptor>(R"({"byteCount":1,"fileID":"F","name":"n","utType":"u","sha256":"YWI"})");
}

// Integers must be integral JSON numbers inside their type's range: no floats, booleans or wrap-around.
TEST(TWCPCoding, ChecksEveryIntegerAgainstItsRange) {
    const auto flow = [](const std::string& count) {
        return R"({"fileID":"F","consumedBytes":)" + count + "}";
    };
    EXPECT_EQ(decoded<FlowMessage>(flow("18446744073709551615")).consumedBytes, 18446744073709551615u);
    for (const char* bad : {"18446744073709551616", "-1", "1.5", "1.0", "1e3"}) {
        expectMalformed<FlowMessage>(flow(bad));
    }
    const auto error = [](const std::string& code) {
        return R"({"code":)" + code + R"(,"message":"m","isFatal":false})";
    };
    EXPECT_EQ(decoded<ErrorMessage>(error("65535")).code, 65535);
    expectMalformed<ErrorMessage>(error("65536"));
    expectMalformed<ErrorMessage>(error("-1"));
    expectMalformed<ErrorMessage>(R"({"code":1,"message":"m","isFatal":1})");

    const auto ack = [](const std::string& version, const std::string& capabilities) {
        return R"({"negotiatedVersion":)" + version + R"(,"sharedCapabilities":)" + capabilities +
               R"(,"deviceID":"D","deviceName":"N","platform":"iOS","spkiSHA256":"k","requiresPairing":false})";
    };
    EXPECT_EQ(decoded<HelloAckMessage>(ack("255", "4294967295")).negotiatedVersion, 255);
    expectMalformed<HelloAckMessage>(ack("256", "0"));
    expectMalformed<HelloAckMessage>(ack("1", "4294967296"));
    expectMalformed<HelloAckMessage>(ack("true", "0"));

    const auto range = [](const std::string& length) {
        return R"({"requestID":"R","fileID":"F","offset":0,"length":)" + length + "}";
    };
    EXPECT_EQ(decoded<RangeRequestMessage>(range("-9223372036854775808")).length,
              std::numeric_limits<std::int64_t>::min());
    expectMalformed<RangeRequestMessage>(range("9223372036854775808"));
    expectMalformed<RangeEndMessage>(R"({"requestID":"R","deliveredBytes":1,"isEndOfFile":"true"})");
}

TEST(TWCPCoding, ReadsAnyFiniteNumberAsFloatingPoint) {
    const std::string file =
        R"({"byteCount":1,"fileID":"F","name":"n","sha256":"","utType":"u","durationSeconds":)";
    EXPECT_EQ(decoded<FileDescriptor>(file + "3}").durationSeconds, 3.0);
    EXPECT_EQ(decoded<FileDescriptor>(file + "-2.5e-3}").durationSeconds, -0.0025);
    for (const char* bad : {"1e400", "true", R"("1")", "[]"}) {
        expectMalformed<FileDescriptor>(file + bad + "}");
    }
}

// Unknown keys may nest, but not without bound: 8 MiB of brackets must not become gigabytes of nodes.
TEST(TWCPCoding, RefusesAbsurdlyDeepNesting) {
    const std::string deep = std::string(100'000, '[') + std::string(100'000, ']');
    expectMalformed<CancelMessage>(R"({"future":)" + deep + "}");
    const std::string shallow = std::string(20, '[') + std::string(20, ']');
    EXPECT_EQ(decoded<CancelMessage>(R"({"future":)" + shallow + "}"), CancelMessage{});
}

// Such a value is refused rather than mangled; the failure names the field, also inside a nested
// descriptor. A Linux file name need not be UTF-8, but JSON text must be.
TEST(TWCPCoding, RefusesToWriteWhatJSONCannotHold) {
    FileDescriptor notFinite = bareDescriptor();
    notFinite.durationSeconds = std::nan("");
    expectTWCPError(
        [&] { TWCPCoding::encode(CurrentFileMessage{.file = notFinite}); },
        TWCPError::internalFailure("encode CurrentFileMessage: file.durationSeconds is not a finite number"));
    FileDescriptor notUTF8 = bareDescriptor();
    notUTF8.name = "caf\xE9.txt";
    try {
        TWCPCoding::encode(notUTF8);
        FAIL();
    } catch (const TWCPError& error) {
        EXPECT_EQ(error.errorCase(), TWCPError::Case::internalFailure);
        EXPECT_TRUE(error.text().starts_with("encode FileDescriptor: ")) << error.text();
    }
}

} // namespace
} // namespace tarnwick
