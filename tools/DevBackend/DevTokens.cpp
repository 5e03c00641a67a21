#include "tools/DevBackend/DevTokens.hpp"

#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Crypto/SecureRandom.hpp"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace tarnwick::dev {

std::string DevTokens::mint(nlohmann::json claims, std::chrono::seconds lifetime) const {
    const auto now =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now().time_since_epoch()).count();
    claims["iat"] = now;
    claims["exp"] = now + lifetime.count();
    const nlohmann::json header = {{"alg", "HS256"}, {"typ", "JWT"}};
    const std::string signedPart =
        Base64::urlEncode(bytesOf(header.dump())) + "." + Base64::urlEncode(bytesOf(claims.dump()));
    return signedPart + "." + signature(signedPart);
}

std::optional<nlohmann::json> DevTokens::verify(const std::string& token) const {
    const auto lastDot = token.rfind('.');
    const auto firstDot = token.find('.');
    if (lastDot == std::string::npos || firstDot == lastDot) {
        return std::nullopt;
    }
    const std::string signedPart = token.substr(0, lastDot);
    const std::string expected = signature(signedPart);
    const std::string given = token.substr(lastDot + 1);
    if (given.size() != expected.size() || CRYPTO_memcmp(given.data(), expected.data(), given.size()) != 0) {
        return std::nullopt;
    }
    const auto payload = Base64::urlDecode(signedPart.substr(firstDot + 1));
    if (!payload) {
        return std::nullopt;
    }
    auto claims = nlohmann::json::parse(payload->begin(), payload->end(), nullptr, false);
    return claims.is_object() ? std::optional(claims) : std::nullopt;
}

std::string DevTokens::randomToken(std::size_t count) {
    return Base64::urlEncode(SecureRandom::bytes(count));
}

std::string DevTokens::signature(const std::string& signedPart) const {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), secret_.data(), static_cast<int>(secret_.size()),
         reinterpret_cast<const unsigned char*>(signedPart.data()), signedPart.size(), digest, &length);
    return Base64::urlEncode(ByteView(digest, length));
}

} // namespace tarnwick::dev
