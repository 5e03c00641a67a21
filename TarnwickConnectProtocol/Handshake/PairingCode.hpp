#pragma once

#include "TarnwickConnectProtocol/Handshake/HandshakeTranscript.hpp"

#include <string>
#include <string_view>

namespace tarnwick::PairingCode {

/// Digits of the code both users compare on first contact.
constexpr int digitCount = 6;

/// The six-digit code derived from the transcript digest, with leading zeros kept.
std::string code(const HandshakeTranscript& transcript);

/// A 43-character commitment of one device (by its identifier) to the transcript.
std::string commitment(const HandshakeTranscript& transcript, std::string_view deviceID);

/// Whether two codes are equal, in time that depends only on their lengths.
bool matches(std::string_view a, std::string_view b);

} // namespace tarnwick::PairingCode
