#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

/// Percent-encoding (RFC 3986) for the pieces of addresses and form bodies the account layer builds.
namespace tarnwick::URLEncoding {

/// Characters kept as they are besides ASCII letters and digits.
/// Form values: only the unreserved marks.
inline constexpr std::string_view formValue = "-._~";
/// An identifier that becomes one path segment: "/" and "." are escaped so that it can neither add a
/// segment nor become a dot segment that climbs to another resource.
inline constexpr std::string_view pathSegment = "-_~!$&'()*+,;=:@";
/// A query value: "&", "=", "+" and "#" are escaped so that it cannot add a parameter or end the query.
inline constexpr std::string_view queryValue = "-._~!$'()*,;:@/?";

/// Every byte outside letters, digits and `keep` as "%XX" with upper-case hex digits.
std::string encode(std::string_view text, std::string_view keep);

/// "%XX" sequences replaced by their bytes; none when a "%" is not followed by two hex digits.
std::optional<std::string> decode(std::string_view text);

/// The "key=value" pieces of a query or fragment, split at "&": pieces without a key or a value are
/// dropped, values percent-decoded (kept raw when that fails), and later keys win.
std::map<std::string, std::string> parameters(std::string_view text);

} // namespace tarnwick::URLEncoding
