#pragma once

#include "ConnectCore/Account/DecodingError.hpp"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

/// Reading members of the account layer's JSON (stored sessions, token and registry answers); each
/// failure is a `DecodingError` naming what was missing.
namespace tarnwick::JSONFields {

/// The member as text; throws when it is absent or not text, or when `object` is not an object.
inline std::string text(const nlohmann::json& object, const char* key) {
    if (!object.is_object() || !object.contains(key) || !object[key].is_string()) {
        throw DecodingError(std::string("the text \"") + key + "\"");
    }
    return object[key].get<std::string>();
}

/// The member as text, none when absent or null; throws when it is something else.
inline std::optional<std::string> optionalText(const nlohmann::json& object, const char* key) {
    if (!object.is_object() || !object.contains(key) || object[key].is_null()) {
        return std::nullopt;
    }
    return text(object, key);
}

} // namespace tarnwick::JSONFields
