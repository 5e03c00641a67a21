#pragma once

#include "TarnwickConnectProtocol/Bytes/Bytes.hpp"
#include "TarnwickConnectProtocol/Certificates/SecIdentity.hpp"

#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

/// How every TWCP connection is set up, dialed or accepted: TLS 1.3 only, ALPN "twcp/1" only, both
/// sides present certificates, and the peer's certificate is judged by its key alone (`Pinning`):
/// devices are self-signed, and trust is decided by the handshake's signatures and the user's pairing.
namespace tarnwick::TWCPParameters {

inline constexpr std::string_view applicationProtocol = "twcp/1";
/// An outgoing connection that is not up by then has failed.
inline constexpr std::chrono::seconds connectTimeout{10};
/// Idle time before TCP keep-alive probes start, the time between probes and how many go unanswered
/// before the connection is dead: a peer that vanished without a word is noticed within 30 s.
inline constexpr std::chrono::seconds keepAliveIdle{15};
inline constexpr std::chrono::seconds keepAliveInterval{4};
inline constexpr int keepAliveProbes{3};
/// Data left unacknowledged this long ends the connection, so a send to a vanished peer fails in time.
inline constexpr std::chrono::seconds unacknowledgedTimeout{25};

/// Decides on a peer's key during TLS verification; both functions may be called from any thread.
struct Pinning {
    /// Whether the TLS handshake may go on with the peer whose SPKI fingerprint this is.
    std::function<bool(const std::string& spkiSHA256)> isTrusted;
    /// Told of every peer key seen, as DER SubjectPublicKeyInfo, before the answer.
    std::function<void(const Bytes& spkiDER)> observed;

    /// Every well-formed peer key passes; `observed` still sees each one.
    static Pinning trustOnFirstUse(std::function<void(const Bytes& spkiDER)> observed);
};

/// An OpenSSL context set up for TWCP on either side of a connection, with the pinning it calls.
class TLSContext {
public:
    TLSContext(const SecIdentity& identity, Pinning pinning);
    TLSContext(const TLSContext&) = delete;
    TLSContext& operator=(const TLSContext&) = delete;

    asio::ssl::context& context() { return context_; }
    /// What the verification step does with a peer certificate: the DER SPKI of its P-256 key is told to
    /// `observed`, and the answer is `isTrusted` of its fingerprint. A certificate without such a key fails.
    bool verifyPeer(X509* certificate) const;

private:
    asio::ssl::context context_;
    Pinning pinning_;
};

/// Builds the TLS side of the parameters from this device's identity.
std::shared_ptr<TLSContext> make(const SecIdentity& identity, Pinning pinning);

/// The DER SubjectPublicKeyInfo of a certificate's P-256 key, rebuilt from its uncompressed point the way
/// our own certificates write it; none when the key is not a P-256 key.
std::optional<Bytes> subjectPublicKeyInfo(X509* certificate);

/// TCP options of every connection: no delay for small control frames, keep-alive probes and a limit on
/// unacknowledged data, so that a dead peer ends the connection.
void configureSocket(asio::ip::tcp::socket& socket);

} // namespace tarnwick::TWCPParameters
