#include "ConnectCore/Discovery/TXTRecord.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <algorithm>

namespace tarnwick {
namespace {

bool sameKey(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

TXTRecord::TXTRecord(std::vector<Entry> entries) : entries_(std::move(entries)) {}

TXTRecord TXTRecord::decode(const std::vector<std::string>& strings) {
    TXTRecord record;
    for (const std::string& text : strings) {
        const auto equals = text.find('=');
        if (text.empty() || equals == 0) {
            continue;
        }
        std::string key = text.substr(0, equals);
        if (std::ranges::any_of(record.entries_,
                                [&](const Entry& entry) { return sameKey(entry.key, key); })) {
            continue;
        }
        std::optional<std::string> value;
        if (equals != std::string::npos) {
            value = text.substr(equals + 1);
        }
        record.entries_.push_back({std::move(key), std::move(value)});
    }
    return record;
}

std::vector<std::string> TXTRecord::encode() const {
    std::vector<std::string> strings;
    for (const auto& [key, value] : entries_) {
        std::string text = value ? key + "=" + *value : key;
        if (key.empty() || key.find('=') != std::string::npos || text.size() > maximumStringLength) {
            throw TWCPError::internalFailure("TXT entry \"" + key + "\" cannot be written");
        }
        strings.push_back(std::move(text));
    }
    return strings;
}

std::optional<std::string> TXTRecord::value(std::string_view key) const {
    const auto entry =
        std::ranges::find_if(entries_, [&](const Entry& entry) { return sameKey(entry.key, key); });
    return entry == entries_.end() ? std::nullopt : entry->value;
}

} // namespace tarnwick
