#include "TarnwickConnectProtocol/Certificates/PKCS12.hpp"

#include <openssl/evp.h>
#include <unicode/ustring.h>

#include <memory>
#include <new>

namespace tarnwick::PKCS12 {
namespace {

constexpr std::size_t hashSize = 20;  // u: SHA-1 output
constexpr std::size_t blockSize = 64; // v: SHA-1 input block

/// The password's UTF-16 code units. Text that is not UTF-8 counts as ISO 8859-1, one code unit per
/// byte, which is how the OpenSSL importer reads such a password, so every container imports again.
std::u16string utf16(std::string_view password) {
    // UTF-16 never needs more code units than UTF-8 has bytes.
    std::u16string units(password.size(), u'\0');
    int32_t count = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(units.data(), static_cast<int32_t>(units.size()), &count, password.data(),
                  static_cast<int32_t>(password.size()), &status);
    if (U_FAILURE(status)) {
        units.clear();
        for (const char byte : password) {
            units.push_back(static_cast<unsigned char>(byte));
        }
        return units;
    }
    units.resize(static_cast<std::size_t>(count));
    return units;
}

/// Big-endian code units, then the terminating 00 00: so even "" yields two bytes.
Bytes bmpString(std::string_view password) {
    Bytes bytes;
    for (const char16_t unit : utf16(password)) {
        appendBigEndian(bytes, static_cast<std::uint16_t>(unit));
    }
    bytes.insert(bytes.end(), {0x00, 0x00});
    return bytes;
}

/// The input repeated and cut to the smallest multiple of 64 bytes not below its length.
Bytes fillBlocks(ByteView input) {
    const std::size_t length = (input.size() + blockSize - 1) / blockSize * blockSize;
    Bytes filled(length);
    for (std::size_t index = 0; index < length; ++index) {
        filled[index] = input[index % input.size()];
    }
    return filled;
}

/// Replaces every 64-byte block of `input` by (block + b + 1) mod 2^512, all big-endian.
void addToEveryBlock(Bytes& input, ByteView b) {
    for (std::size_t start = 0; start < input.size(); start += blockSize) {
        unsigned carry = 1;
        for (std::size_t offset = blockSize; offset-- > 0;) {
            carry += input[start + offset] + b[offset];
            input[start + offset] = static_cast<std::uint8_t>(carry);
            carry >>= 8;
        }
    }
}

/// SHA-1 applied `iterations` times (at least once) to D ‖ I, with one fetched digest for all rounds.
class IteratedSHA1 {
public:
    IteratedSHA1()
        : digest_(EVP_MD_fetch(nullptr, "SHA1", nullptr), EVP_MD_free),
          context_(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
        if (!digest_ || !context_) {
            throw std::bad_alloc();
        }
    }

    Bytes apply(ByteView d, ByteView i, unsigned iterations) {
        Bytes hash(hashSize);
        EVP_DigestInit_ex2(context_.get(), digest_.get(), nullptr);
        EVP_DigestUpdate(context_.get(), d.data(), d.size());
        EVP_DigestUpdate(context_.get(), i.data(), i.size());
        EVP_DigestFinal_ex(context_.get(), hash.data(), nullptr);
        for (unsigned round = 1; round < iterations; ++round) {
            EVP_DigestInit_ex2(context_.get(), digest_.get(), nullptr);
            EVP_DigestUpdate(context_.get(), hash.data(), hash.size());
            EVP_DigestFinal_ex(context_.get(), hash.data(), nullptr);
        }
        return hash;
    }

private:
    std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> digest_;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context_;
};

} // namespace

Bytes pkcs12KDF(std::string_view password, ByteView salt, unsigned iterations, std::uint8_t id,
                std::size_t length) {
    const Bytes d(blockSize, id);
    Bytes i = fillBlocks(salt);
    const Bytes p = fillBlocks(bmpString(password));
    i.insert(i.end(), p.begin(), p.end());
    IteratedSHA1 sha1;
    Bytes output;
    while (output.size() < length) {
        const Bytes a = sha1.apply(d, i, iterations);
        output.insert(output.end(), a.begin(), a.end());
        addToEveryBlock(i, fillBlocks(a));
    }
    output.resize(length);
    return output;
}

} // namespace tarnwick::PKCS12
