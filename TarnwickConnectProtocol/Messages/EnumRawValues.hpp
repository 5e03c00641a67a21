#pragma once

#include <optional>
#include <string_view>

namespace tarnwick {

/// Specialised by each enumeration that travels as a string: `cases`, an array of every case paired
/// with its wire string.
template <class Enum> struct EnumRawValues;

template <class Enum>
concept StringValuedEnum = requires {
    EnumRawValues<Enum>::cases;
};

/// The wire string of a case ("" for a value cast from outside the enumeration).
template <StringValuedEnum Enum> std::string_view rawValue(Enum value) {
    for (const auto& [candidate, raw] : EnumRawValues<Enum>::cases) {
        if (candidate == value) {
            return raw;
        }
    }
    return {};
}

/// The case whose wire string this is, or none.
template <StringValuedEnum Enum> std::optional<Enum> enumFromRawValue(std::string_view raw) {
    for (const auto& [candidate, candidateRaw] : EnumRawValues<Enum>::cases) {
        if (candidateRaw == raw) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace tarnwick
