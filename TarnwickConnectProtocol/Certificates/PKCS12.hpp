#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Certificates/SecIdentity.hpp"

#include <cstdint>
#include <string>
#include <string_view>

/// A password-protected PKCS#12 (RFC 7292) container for one P-256 key and its certificate, written
/// by hand with the legacy SHA-1/Triple-DES protection every importer accepts, and imported again
/// into an in-memory TLS identity. Nothing touches the disk.
namespace tarnwick::PKCS12 {

/// The domain of cipher failures.
inline constexpr std::string_view errorDomain = "PKCS12";
/// Iterations of every key derivation in a container.
inline constexpr unsigned iterations = 2048;

/// The PFX (version 3) for the 97-byte X9.63 private key 04 ‖ X ‖ Y ‖ d and its certificate.
/// Throws PlatformError (domain "PKCS12") only when the cipher fails.
Bytes make(ByteView privateKeyX963, ByteView certificateDER, const std::string& password);

/// Imports a container into memory. Throws PlatformError in the OS status domain, "SecPKCS12Import
/// failed: <status>", when the import fails (status 0 when it yields no key or no certificate).
SecIdentity identity(ByteView from, const std::string& password);

/// RFC 7292 appendix B.2 with SHA-1; id 1 derives a cipher key, 2 an IV, 3 a MAC key. The password
/// is UTF-8 (or else ISO 8859-1), used as a BMPString with its 00 00 terminator.
Bytes pkcs12KDF(std::string_view password, ByteView salt, unsigned iterations, std::uint8_t id,
                std::size_t length);

} // namespace tarnwick::PKCS12
