#include "TarnwickConnectProtocol/Crypto/P256Key.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/x509.h>

#include <string_view>

namespace tarnwick {
namespace {

constexpr std::size_t scalarSize = 32;
constexpr std::size_t pointSize = 65;
constexpr int coordinateSize = 32;

struct Free {
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    void operator()(OSSL_PARAM_BLD* builder) const { OSSL_PARAM_BLD_free(builder); }
    void operator()(OSSL_PARAM* params) const { OSSL_PARAM_free(params); }
    void operator()(BIGNUM* number) const { BN_clear_free(number); }
    void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
    void operator()(EC_GROUP* group) const { EC_GROUP_free(group); }
    void operator()(EC_POINT* point) const { EC_POINT_free(point); }
};
template <typename T> using Owned = std::unique_ptr<T, Free>;

std::shared_ptr<EVP_PKEY> own(EVP_PKEY* key) {
    if (!key) {
        throw TWCPError::internalFailure("P-256 key operation failed");
    }
    return {key, EVP_PKEY_free};
}

void require(bool ok, const char* what) {
    if (!ok) {
        throw TWCPError::internalFailure(what);
    }
}

Bytes point(EVP_PKEY* key) {
    Bytes bytes(pointSize);
    std::size_t length = 0;
    require(EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, bytes.data(), bytes.size(),
                                            &length) == 1 &&
                length == pointSize,
            "P-256 public point unavailable");
    return bytes;
}

// Builds a key from its public point and, for a key pair, its private scalar.
std::shared_ptr<EVP_PKEY> keyFromParts(ByteView publicPoint, const BIGNUM* scalar) {
    Owned<OSSL_PARAM_BLD> builder(OSSL_PARAM_BLD_new());
    require(builder &&
                OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) &&
                OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, publicPoint.data(),
                                                 publicPoint.size()) &&
                (!scalar || OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_PRIV_KEY, scalar)),
            "P-256 key parameters failed");
    Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(builder.get()));
    Owned<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    EVP_PKEY* key = nullptr;
    require(params && context && EVP_PKEY_fromdata_init(context.get()) == 1 &&
                EVP_PKEY_fromdata(context.get(), &key, scalar ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                                  params.get()) == 1,
            "not a P-256 key");
    auto owned = own(key);
    // fromdata does not check that the point lies on the curve.
    Owned<EVP_PKEY_CTX> check(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    require(check &&
                (scalar ? EVP_PKEY_pairwise_check(check.get()) : EVP_PKEY_public_check(check.get())) == 1,
            "not a P-256 key");
    return owned;
}

} // namespace

P256PublicKey P256PublicKey::fromX963(ByteView bytes) {
    require(bytes.size() == pointSize && bytes[0] == 0x04, "not an uncompressed P-256 point");
    return P256PublicKey(keyFromParts(bytes, nullptr));
}

P256PublicKey P256PublicKey::fromDER(ByteView subjectPublicKeyInfo) {
    const unsigned char* cursor = subjectPublicKeyInfo.data();
    EVP_PKEY* parsed = d2i_PUBKEY(nullptr, &cursor, static_cast<long>(subjectPublicKeyInfo.size()));
    require(parsed != nullptr, "not a SubjectPublicKeyInfo");
    const auto owned = own(parsed);
    require(cursor == subjectPublicKeyInfo.data() + subjectPublicKeyInfo.size(),
            "not a SubjectPublicKeyInfo");
    char group[32] = {};
    BIGNUM* x = nullptr;
    BIGNUM* y = nullptr;
    const bool isP256 = EVP_PKEY_is_a(parsed, "EC") &&
                        EVP_PKEY_get_group_name(parsed, group, sizeof group, nullptr) == 1 &&
                        std::string_view(group) == "prime256v1" &&
                        EVP_PKEY_get_bn_param(parsed, OSSL_PKEY_PARAM_EC_PUB_X, &x) == 1 &&
                        EVP_PKEY_get_bn_param(parsed, OSSL_PKEY_PARAM_EC_PUB_Y, &y) == 1;
    const Owned<BIGNUM> ownedX(x);
    const Owned<BIGNUM> ownedY(y);
    require(isP256, "not a P-256 key");
    // Rebuilt from its coordinates, the key has one form whichever form the point arrived in.
    Bytes uncompressed(pointSize);
    uncompressed[0] = 0x04;
    require(BN_bn2binpad(x, uncompressed.data() + 1, coordinateSize) == coordinateSize &&
                BN_bn2binpad(y, uncompressed.data() + 1 + coordinateSize, coordinateSize) == coordinateSize,
            "P-256 coordinates too long");
    return fromX963(uncompressed);
}

Bytes P256PublicKey::x963() const {
    return point(key_.get());
}

bool P256PublicKey::isValidSignature(ByteView derSignature, ByteView message) const {
    const unsigned char* cursor = derSignature.data();
    Owned<ECDSA_SIG> parsed(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(derSignature.size())));
    if (!parsed || cursor != derSignature.data() + derSignature.size()) {
        throw TWCPError::authenticationFailed();
    }
    Owned<EVP_MD_CTX> context(EVP_MD_CTX_new());
    require(context && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key_.get()) == 1,
            "ECDSA verify unavailable");
    return EVP_DigestVerify(context.get(), derSignature.data(), derSignature.size(), message.data(),
                            message.size()) == 1;
}

P256PrivateKey P256PrivateKey::generate() {
    return P256PrivateKey(own(EVP_EC_gen("prime256v1")));
}

P256PrivateKey P256PrivateKey::fromRaw(ByteView scalar) {
    require(scalar.size() == scalarSize, "a P-256 private key has 32 bytes");
    Owned<BIGNUM> d(BN_bin2bn(scalar.data(), static_cast<int>(scalar.size()), nullptr));
    // The public point is d·G.
    Owned<EC_GROUP> curve(EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1));
    Owned<EC_POINT> publicPoint(curve ? EC_POINT_new(curve.get()) : nullptr);
    const EC_GROUP* group = curve.get();
    require(d && publicPoint && !BN_is_zero(d.get()) && BN_cmp(d.get(), EC_GROUP_get0_order(group)) < 0 &&
                EC_POINT_mul(group, publicPoint.get(), d.get(), nullptr, nullptr, nullptr) == 1,
            "not a valid P-256 private key");
    Bytes pointBytes(pointSize);
    require(EC_POINT_point2oct(group, publicPoint.get(), POINT_CONVERSION_UNCOMPRESSED, pointBytes.data(),
                               pointBytes.size(), nullptr) == pointSize,
            "P-256 point encoding failed");
    return P256PrivateKey(keyFromParts(pointBytes, d.get()));
}

Bytes P256PrivateKey::rawRepresentation() const {
    BIGNUM* raw = nullptr;
    require(EVP_PKEY_get_bn_param(key_.get(), OSSL_PKEY_PARAM_PRIV_KEY, &raw) == 1,
            "P-256 scalar unavailable");
    Owned<BIGNUM> d(raw);
    Bytes scalar(scalarSize);
    require(BN_bn2binpad(d.get(), scalar.data(), static_cast<int>(scalar.size())) == scalarSize,
            "P-256 scalar too long");
    return scalar;
}

Bytes P256PrivateKey::x963() const {
    Bytes bytes = point(key_.get());
    const Bytes scalar = rawRepresentation();
    bytes.insert(bytes.end(), scalar.begin(), scalar.end());
    return bytes;
}

P256PublicKey P256PrivateKey::publicKey() const {
    return P256PublicKey(keyFromParts(point(key_.get()), nullptr));
}

Bytes P256PrivateKey::signature(ByteView message) const {
    Owned<EVP_MD_CTX> context(EVP_MD_CTX_new());
    std::size_t length = 0;
    require(context && EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key_.get()) == 1 &&
                EVP_DigestSign(context.get(), nullptr, &length, message.data(), message.size()) == 1,
            "ECDSA signing unavailable");
    Bytes signature(length);
    require(EVP_DigestSign(context.get(), signature.data(), &length, message.data(), message.size()) == 1,
            "ECDSA signing failed");
    signature.resize(length);
    return signature;
}

} // namespace tarnwick
