#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

/// A DNS-SD TXT record: a list of "key=value" strings. Keys compare without regard to ASCII case.
class TXTRecord {
public:
    /// One string may hold at most this many bytes.
    static constexpr std::size_t maximumStringLength = 255;

    struct Entry {
        std::string key;
        /// None for a key written without "=" (a flag); "" for "key=".
        std::optional<std::string> value;
        bool operator==(const Entry&) const = default;
    };

    TXTRecord() = default;
    explicit TXTRecord(std::vector<Entry> entries);

    /// Reads the strings as DNS-SD does: an empty string or one that starts with "=" is skipped, a
    /// string without "=" is a flag, and when a key appears more than once its first entry counts.
    static TXTRecord decode(const std::vector<std::string>& strings);

    /// The strings in entry order; throws TWCPError internalFailure when one does not fit in 255 bytes
    /// or a key is empty or holds "=".
    std::vector<std::string> encode() const;

    /// The value of the key, none when the key is absent or written as a flag.
    std::optional<std::string> value(std::string_view key) const;

    const std::vector<Entry>& entries() const { return entries_; }

    bool operator==(const TXTRecord&) const = default;

private:
    std::vector<Entry> entries_;
};

} // namespace tarnwick
