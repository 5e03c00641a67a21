#pragma once

#include <string_view>

/// The object identifiers our certificate and PKCS#12 container write, in dotted form.
namespace tarnwick::ObjectIdentifiers {

inline constexpr std::string_view ecPublicKey = "1.2.840.10045.2.1";
inline constexpr std::string_view prime256v1 = "1.2.840.10045.3.1.7";
inline constexpr std::string_view ecdsaWithSHA256 = "1.2.840.10045.4.3.2";
inline constexpr std::string_view organizationName = "2.5.4.10";
inline constexpr std::string_view commonName = "2.5.4.3";
inline constexpr std::string_view basicConstraints = "2.5.29.19";
inline constexpr std::string_view keyUsage = "2.5.29.15";
inline constexpr std::string_view extKeyUsage = "2.5.29.37";
inline constexpr std::string_view subjectAltName = "2.5.29.17";
inline constexpr std::string_view serverAuth = "1.3.6.1.5.5.7.3.1";
inline constexpr std::string_view clientAuth = "1.3.6.1.5.5.7.3.2";

inline constexpr std::string_view data = "1.2.840.113549.1.7.1";
inline constexpr std::string_view encryptedData = "1.2.840.113549.1.7.6";
inline constexpr std::string_view pkcs8ShroudedKeyBag = "1.2.840.113549.1.12.10.1.2";
inline constexpr std::string_view certBag = "1.2.840.113549.1.12.10.1.3";
inline constexpr std::string_view x509Certificate = "1.2.840.113549.1.9.22.1";
inline constexpr std::string_view localKeyId = "1.2.840.113549.1.9.21";
inline constexpr std::string_view pbeWithSHAAnd3KeyTripleDESCBC = "1.2.840.113549.1.12.1.3";
inline constexpr std::string_view sha1 = "1.3.14.3.2.26";

} // namespace tarnwick::ObjectIdentifiers
