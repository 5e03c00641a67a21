#include "ConnectCore/Channel/TWCPParameters.hpp"

#include "TarnwickConnectProtocol/Certificates/SelfSignedCertificate.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Handshake/SPKIFingerprint.hpp"

#include <asio/ip/tcp.hpp>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/tls1.h>
#include <openssl/x509.h>

#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>

namespace tarnwick::TWCPParameters {
namespace {

// The ALPN wire form: one length-prefixed protocol name.
const unsigned char alpnList[] = {6, 't', 'w', 'c', 'p', '/', '1'};

// Replaces OpenSSL's chain evaluation: the peer's own certificate is judged by its key alone.
int verifyCertificate(X509_STORE_CTX* store, void* argument) {
    const auto* context = static_cast<const TLSContext*>(argument);
    return context->verifyPeer(X509_STORE_CTX_get0_cert(store)) ? 1 : 0;
}

// A client that offers no ALPN at all never reaches the selection callback, so it is refused here.
int requireALPN(SSL* ssl, int* alert, void*) {
    const unsigned char* extension = nullptr;
    std::size_t length = 0;
    if (SSL_client_hello_get0_ext(ssl, TLSEXT_TYPE_application_layer_protocol_negotiation, &extension,
                                  &length) == 1) {
        return SSL_CLIENT_HELLO_SUCCESS;
    }
    *alert = SSL_AD_NO_APPLICATION_PROTOCOL;
    return SSL_CLIENT_HELLO_ERROR;
}

int selectALPN(SSL*, const unsigned char** out, unsigned char* outLength, const unsigned char* offered,
               unsigned int offeredLength, void*) {
    unsigned char* selected = nullptr;
    if (SSL_select_next_proto(&selected, outLength, alpnList, sizeof alpnList, offered, offeredLength) !=
        OPENSSL_NPN_NEGOTIATED) {
        return SSL_TLSEXT_ERR_ALERT_FATAL;
    }
    *out = selected;
    return SSL_TLSEXT_ERR_OK;
}

void require(bool ok, const char* what) {
    if (!ok) {
        throw TWCPError::internalFailure(what);
    }
}

} // namespace

Pinning Pinning::trustOnFirstUse(std::function<void(const Bytes&)> observed) {
    return Pinning{[](const std::string&) { return true; }, std::move(observed)};
}

TLSContext::TLSContext(const SecIdentity& identity, Pinning pinning)
    : context_(asio::ssl::context::tls),
      pinning_(std::move(pinning)) {
    SSL_CTX* native = context_.native_handle();
    require(SSL_CTX_set_min_proto_version(native, TLS1_3_VERSION) == 1, "TLS 1.3 unavailable");
    // AES-128-GCM first: as strong as a device pairing needs and about a quarter cheaper per byte than
    // AES-256, which matters when the CPU, not the network, limits a transfer.
    require(SSL_CTX_set_ciphersuites(native, "TLS_AES_128_GCM_SHA256:TLS_AES_256_GCM_SHA384:"
                                             "TLS_CHACHA20_POLY1305_SHA256") == 1,
            "TLS 1.3 cipher suites unavailable");
    // Nothing resumes TLS sessions: every connection proves both keys again in the TWCP handshake.
    SSL_CTX_set_num_tickets(native, 0);
    require(SSL_CTX_use_certificate(native, identity.certificate()) == 1 &&
                SSL_CTX_use_PrivateKey(native, identity.privateKey()) == 1 &&
                SSL_CTX_check_private_key(native) == 1,
            "the device identity cannot be used for TLS");
    // set_alpn_protos returns 0 on success.
    require(SSL_CTX_set_alpn_protos(native, alpnList, sizeof alpnList) == 0, "ALPN setup failed");
    SSL_CTX_set_alpn_select_cb(native, selectALPN, nullptr);
    SSL_CTX_set_client_hello_cb(native, requireALPN, nullptr);
    SSL_CTX_set_verify(native, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
    SSL_CTX_set_cert_verify_callback(native, verifyCertificate, this);
}

bool TLSContext::verifyPeer(X509* certificate) const {
    const auto spki = certificate ? subjectPublicKeyInfo(certificate) : std::nullopt;
    if (!spki) {
        return false;
    }
    if (pinning_.observed) {
        pinning_.observed(*spki);
    }
    return pinning_.isTrusted && pinning_.isTrusted(SPKIFingerprint::compute(*spki));
}

std::shared_ptr<TLSContext> make(const SecIdentity& identity, Pinning pinning) {
    return std::make_shared<TLSContext>(identity, std::move(pinning));
}

std::optional<Bytes> subjectPublicKeyInfo(X509* certificate) {
    EVP_PKEY* key = X509_get0_pubkey(certificate);
    char group[32] = {};
    if (!key || !EVP_PKEY_is_a(key, "EC") ||
        EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, nullptr) != 1 ||
        std::strcmp(group, "prime256v1") != 0) {
        return std::nullopt;
    }
    Bytes point(65);
    std::size_t length = 0;
    if (EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY, point.data(), point.size(),
                                        &length) != 1 ||
        length != point.size() || point[0] != 0x04) {
        return std::nullopt;
    }
    return SelfSignedCertificate::subjectPublicKeyInfo(point);
}

void configureSocket(asio::ip::tcp::socket& socket) {
    socket.set_option(asio::ip::tcp::no_delay(true));
    socket.set_option(asio::socket_base::keep_alive(true));
    const auto setTCP = [&socket](int option, int value) {
        ::setsockopt(socket.native_handle(), IPPROTO_TCP, option, &value, sizeof value);
    };
    setTCP(TCP_KEEPIDLE, static_cast<int>(keepAliveIdle.count()));
    setTCP(TCP_KEEPINTVL, static_cast<int>(keepAliveInterval.count()));
    setTCP(TCP_KEEPCNT, keepAliveProbes);
    setTCP(TCP_USER_TIMEOUT, static_cast<int>(std::chrono::milliseconds(unacknowledgedTimeout).count()));
}

} // namespace tarnwick::TWCPParameters
