#include "TarnwickConnectProtocol/Messages/TWCPCoding.hpp"

#include "TarnwickConnectProtocol/Bytes/Base64.hpp"
#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"
#include "TarnwickConnectProtocol/Messages/AcceptMessage.hpp"
#include "TarnwickConnectProtocol/Messages/AuthChallengeMessage.hpp"
#include "TarnwickConnectProtocol/Messages/AuthResponseMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CancelMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CompleteMessage.hpp"
#include "TarnwickConnectProtocol/Messages/CurrentFileMessage.hpp"
#include "TarnwickConnectProtocol/Messages/ErrorMessage.hpp"
#include "TarnwickConnectProtocol/Messages/FileDescriptor.hpp"
#include "TarnwickConnectProtocol/Messages/FlowMessage.hpp"
#include "TarnwickConnectProtocol/Messages/HelloAckMessage.hpp"
#include "TarnwickConnectProtocol/Messages/HelloMessage.hpp"
#include "TarnwickConnectProtocol/Messages/OfferMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RangeCancelMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RangeEndMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RangeRequestMessage.hpp"
#include "TarnwickConnectProtocol/Messages/RejectMessage.hpp"

#include <nlohmann/json.hpp>

#include <cmath>
#include <string>
#include <type_traits>
#include <utility>

namespace tarnwick::TWCPCoding {
namespace {

// nlohmann's objects are ordered maps, so keys come out sorted by code point at every level.
using JSON = nlohmann::json;

/// A document that does not fit the message; reported as `malformedPayload` naming the message type.
struct Malformed {};

/// A value JSON cannot hold; `path` names the field ("file.durationSeconds").
struct Unencodable {
    std::string path;
    std::string reason;
};

// The deepest legitimate message nests three levels; anything far deeper is refused while parsing,
// before a hostile payload of brackets grows into hundreds of megabytes of nodes.
constexpr int maximumDepth = 32;

template <class T> constexpr bool isList = false;
template <class T> constexpr bool isList<std::vector<T>> = !std::is_same_v<T, std::uint8_t>;
template <class T> constexpr bool isStringMap = false;
template <class T> constexpr bool isStringMap<std::map<std::string, T>> = true;
template <class T>
concept Described = requires {
    T::typeName;
};

template <class T> JSON toJSON(const T& value);
template <class T> void fromJSON(const JSON& json, T& value);

/// Writes each field of a message into `object`; empty optionals are left out.
struct FieldWriter {
    JSON& object;

    template <class T> void operator()(const char* key, const T& value) const {
        try {
            object[key] = toJSON(value);
        } catch (Unencodable& failure) {
            failure.path = failure.path.empty() ? key : key + ("." + failure.path);
            throw;
        }
    }
    template <class T> void operator()(const char* key, const std::optional<T>& value) const {
        if (value) {
            (*this)(key, *value);
        }
    }
};

/// Reads each field of a message from `object`; a required key must be present and not null.
struct FieldReader {
    const JSON& object;

    template <class T> void operator()(const char* key, T& value) const {
        const auto found = object.find(key);
        if (found == object.end()) {
            throw Malformed{};
        }
        fromJSON(*found, value);
    }
    template <class T> void operator()(const char* key, std::optional<T>& value) const {
        const auto found = object.find(key);
        if (found == object.end() || found->is_null()) {
            value.reset();
            return;
        }
        fromJSON(*found, value.emplace());
    }
};

template <class T> JSON toJSON(const T& value) {
    if constexpr (std::is_same_v<T, Bytes>) {
        return Base64::encode(value);
    } else if constexpr (std::is_same_v<T, double>) {
        if (!std::isfinite(value)) {
            throw Unencodable{{}, "not a finite number"};
        }
        return value;
    } else if constexpr (StringValuedEnum<T>) {
        return std::string(rawValue(value));
    } else if constexpr (std::is_same_v<T, PeerCapabilities>) {
        return value.rawValue;
    } else if constexpr (isList<T>) {
        JSON array = JSON::array();
        for (const auto& element : value) {
            array.push_back(toJSON(element));
        }
        return array;
    } else if constexpr (isStringMap<T>) {
        JSON object = JSON::object();
        for (const auto& [key, element] : value) {
            object[key] = toJSON(element);
        }
        return object;
    } else if constexpr (Described<T>) {
        JSON object = JSON::object();
        T::fields(value, FieldWriter{object});
        return object;
    } else {
        static_assert(std::is_arithmetic_v<T> || std::is_same_v<T, std::string>);
        return value;
    }
}

/// An integer of exactly integral JSON type within the range of `T`: no floats, no booleans.
template <class T> T integerFrom(const JSON& json) {
    if (json.is_number_unsigned()) {
        if (const auto value = json.get<std::uint64_t>(); std::in_range<T>(value)) {
            return static_cast<T>(value);
        }
    } else if (json.is_number_integer()) {
        if (const auto value = json.get<std::int64_t>(); std::in_range<T>(value)) {
            return static_cast<T>(value);
        }
    }
    throw Malformed{};
}

const std::string& stringFrom(const JSON& json) {
    if (!json.is_string()) {
        throw Malformed{};
    }
    return json.get_ref<const std::string&>();
}

template <class T> void fromJSON(const JSON& json, T& value) {
    if constexpr (std::is_same_v<T, bool>) {
        if (!json.is_boolean()) {
            throw Malformed{};
        }
        value = json.get<bool>();
    } else if constexpr (std::is_integral_v<T>) {
        value = integerFrom<T>(json);
    } else if constexpr (std::is_same_v<T, double>) {
        // A literal beyond the double range parses as infinity, which could not be written back.
        if (!json.is_number() || !std::isfinite(json.get<double>())) {
            throw Malformed{};
        }
        value = json.get<double>();
    } else if constexpr (std::is_same_v<T, std::string>) {
        value = stringFrom(json);
    } else if constexpr (std::is_same_v<T, Bytes>) {
        auto bytes = Base64::decode(stringFrom(json));
        if (!bytes) {
            throw Malformed{};
        }
        value = std::move(*bytes);
    } else if constexpr (StringValuedEnum<T>) {
        const auto raw = enumFromRawValue<T>(stringFrom(json));
        if (!raw) {
            throw Malformed{};
        }
        value = *raw;
    } else if constexpr (std::is_same_v<T, PeerCapabilities>) {
        value.rawValue = integerFrom<std::uint32_t>(json);
    } else if constexpr (isList<T>) {
        if (!json.is_array()) {
            throw Malformed{};
        }
        value.clear();
        for (const auto& element : json) {
            fromJSON(element, value.emplace_back());
        }
    } else if constexpr (isStringMap<T>) {
        if (!json.is_object()) {
            throw Malformed{};
        }
        value.clear();
        for (const auto& [key, element] : json.items()) {
            fromJSON(element, value[key]);
        }
    } else {
        static_assert(Described<T>);
        if (!json.is_object()) {
            throw Malformed{};
        }
        T::fields(value, FieldReader{json});
    }
}

bool refuseDeepNesting(int depth, JSON::parse_event_t event, JSON&) {
    const bool opens =
        event == JSON::parse_event_t::object_start || event == JSON::parse_event_t::array_start;
    if (opens && depth >= maximumDepth) {
        throw Malformed{};
    }
    return true;
}

} // namespace

template <class Message> Bytes encode(const Message& message) {
    std::string reason;
    try {
        const std::string text = toJSON(message).dump();
        return Bytes(text.begin(), text.end());
    } catch (const Unencodable& failure) {
        reason = failure.path + " is " + failure.reason;
    } catch (const JSON::exception& failure) {
        reason = failure.what();
    }
    throw TWCPError::internalFailure(std::string("encode ") + Message::typeName + ": " + reason);
}

template <class Message> Message decode(ByteView bytes) {
    try {
        const JSON json = JSON::parse(bytes.begin(), bytes.end(), refuseDeepNesting);
        Message message;
        fromJSON(json, message);
        return message;
    } catch (const JSON::exception&) {
    } catch (const Malformed&) {
    }
    throw TWCPError::malformedPayload(Message::typeName);
}

// JSON stays out of the headers: every message type is instantiated here.
template Bytes encode(const HelloMessage&);
template Bytes encode(const HelloAckMessage&);
template Bytes encode(const AuthChallengeMessage&);
template Bytes encode(const AuthResponseMessage&);
template Bytes encode(const FileDescriptor&);
template Bytes encode(const OfferMessage&);
template Bytes encode(const AcceptMessage&);
template Bytes encode(const RejectMessage&);
template Bytes encode(const FlowMessage&);
template Bytes encode(const CompleteMessage&);
template Bytes encode(const CurrentFileMessage&);
template Bytes encode(const RangeRequestMessage&);
template Bytes encode(const RangeEndMessage&);
template Bytes encode(const RangeCancelMessage&);
template Bytes encode(const ErrorMessage&);
template Bytes encode(const CancelMessage&);

template HelloMessage decode(ByteView);
template HelloAckMessage decode(ByteView);
template AuthChallengeMessage decode(ByteView);
template AuthResponseMessage decode(ByteView);
template FileDescriptor decode(ByteView);
template OfferMessage decode(ByteView);
template AcceptMessage decode(ByteView);
template RejectMessage decode(ByteView);
template FlowMessage decode(ByteView);
template CompleteMessage decode(ByteView);
template CurrentFileMessage decode(ByteView);
template RangeRequestMessage decode(ByteView);
template RangeEndMessage decode(ByteView);
template RangeCancelMessage decode(ByteView);
template ErrorMessage decode(ByteView);
template CancelMessage decode(ByteView);

} // namespace tarnwick::TWCPCoding
