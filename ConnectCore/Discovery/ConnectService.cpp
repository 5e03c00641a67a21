#include "ConnectCore/Discovery/ConnectService.hpp"

#include "ConnectCore/Session/TWCPIdentity.hpp"
#include "ConnectCore/Session/TWCPSession.hpp"
#include "TarnwickConnectProtocol/Framing/TWCP.hpp"

namespace tarnwick::ConnectService {
namespace {

constexpr std::size_t maximumLabelLength = 63;

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

TXTRecord txtRecord(const TWCPIdentity& identity) {
    return TXTRecord({
        {std::string(TXT::version), std::to_string(TWCP::version)},
        {std::string(TXT::deviceID), identity.deviceID()},
        {std::string(TXT::fingerprint), identity.spkiSHA256()},
        {std::string(TXT::model), std::string(rawValue(identity.platform()))},
        {std::string(TXT::osVersion), identity.osVersion()},
        {std::string(TXT::capabilities), std::to_string(TWCPSession::localCapabilities.rawValue)},
    });
}

std::string instanceName(std::string_view deviceName) {
    if (deviceName.empty()) {
        return "Tarnwick Connect";
    }
    std::size_t length = std::min(deviceName.size(), maximumLabelLength);
    while (length < deviceName.size() && length > 0 && isContinuationByte(deviceName[length])) {
        --length;
    }
    return std::string(deviceName.substr(0, length));
}

} // namespace tarnwick::ConnectService
