#include "TarnwickConnectProtocol/Certificates/DER.hpp"

#include <charconv>
#include <cstdio>
#include <limits>
#include <optional>

namespace tarnwick::DER {
namespace {

/// The value's big-endian bytes without leading zero bytes; none for zero.
Bytes minimalBigEndian(std::uint64_t value) {
    Bytes bytes;
    for (; value != 0; value >>= 8) {
        bytes.insert(bytes.begin(), static_cast<std::uint8_t>(value & 0xFF));
    }
    return bytes;
}

/// Base 128, most significant group first, every byte but the last with its top bit set.
void appendBase128(Bytes& out, std::uint64_t value) {
    Bytes groups{static_cast<std::uint8_t>(value & 0x7F)};
    for (value >>= 7; value != 0; value >>= 7) {
        groups.insert(groups.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    }
    out.insert(out.end(), groups.begin(), groups.end());
}

std::optional<std::vector<std::uint64_t>> parseArcs(std::string_view dotted) {
    std::vector<std::uint64_t> arcs;
    while (true) {
        const auto dot = dotted.find('.');
        const auto piece = dotted.substr(0, dot);
        std::uint64_t arc = 0;
        const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), arc);
        if (error != std::errc{} || end != piece.data() + piece.size()) {
            return std::nullopt;
        }
        arcs.push_back(arc);
        if (dot == std::string_view::npos) {
            return arcs;
        }
        dotted.remove_prefix(dot + 1);
    }
}

/// The first two arcs share one subidentifier, 40 × first + second, so only these pairs are
/// unambiguous (ITU-T X.660).
bool canCombine(std::uint64_t first, std::uint64_t second) {
    if (first < 2) {
        return second < 40;
    }
    return first == 2 && second <= std::numeric_limits<std::uint64_t>::max() - 80;
}

Bytes wrap(std::uint8_t tag, const std::vector<Bytes>& elements) {
    Bytes content;
    for (const auto& element : elements) {
        content.insert(content.end(), element.begin(), element.end());
    }
    return encode(tag, content);
}

} // namespace

Bytes encode(Tag tag, ByteView content) {
    return encode(static_cast<std::uint8_t>(tag), content);
}

Bytes encode(std::uint8_t tag, ByteView content) {
    Bytes out{tag};
    const Bytes octets = length(content.size());
    out.reserve(1 + octets.size() + content.size());
    out.insert(out.end(), octets.begin(), octets.end());
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

Bytes length(std::size_t count) {
    if (count < 0x80) {
        return {static_cast<std::uint8_t>(count)};
    }
    Bytes octets = minimalBigEndian(count);
    octets.insert(octets.begin(), static_cast<std::uint8_t>(0x80 | octets.size()));
    return octets;
}

Bytes contextConstructed(std::uint8_t n, ByteView content) {
    return encode(static_cast<std::uint8_t>(0xA0 | n), content);
}

Bytes contextPrimitive(std::uint8_t n, ByteView content) {
    return encode(static_cast<std::uint8_t>(0x80 | n), content);
}

Bytes sequence(const std::vector<Bytes>& elements) {
    return wrap(static_cast<std::uint8_t>(Tag::sequence), elements);
}

Bytes set(const std::vector<Bytes>& elements) {
    return wrap(static_cast<std::uint8_t>(Tag::set), elements);
}

Bytes integer(ByteView magnitude) {
    while (magnitude.size() >= 2 && magnitude[0] == 0x00 && magnitude[1] < 0x80) {
        magnitude = magnitude.subspan(1);
    }
    Bytes content;
    if (!magnitude.empty() && magnitude[0] >= 0x80) {
        content.push_back(0x00);
    }
    content.insert(content.end(), magnitude.begin(), magnitude.end());
    return encode(Tag::integer, content);
}

Bytes integer(std::uint64_t value) {
    const Bytes bytes = minimalBigEndian(value);
    return integer(bytes.empty() ? Bytes{0x00} : bytes);
}

Bytes bitString(ByteView bytes) {
    Bytes content{0x00};
    content.insert(content.end(), bytes.begin(), bytes.end());
    return encode(Tag::bitString, content);
}

Bytes octetString(ByteView bytes) {
    return encode(Tag::octetString, bytes);
}

Bytes utf8String(std::string_view text) {
    return encode(Tag::utf8String, bytesOf(text));
}

Bytes null() {
    return encode(Tag::null, {});
}

Bytes boolean(bool flag) {
    return encode(Tag::boolean, Bytes{static_cast<std::uint8_t>(flag ? 0xFF : 0x00)});
}

Bytes objectIdentifier(std::string_view dotted) {
    const auto arcs = parseArcs(dotted);
    if (!arcs || arcs->size() < 2 || !canCombine((*arcs)[0], (*arcs)[1])) {
        return {};
    }
    Bytes content;
    appendBase128(content, (*arcs)[0] * 40 + (*arcs)[1]);
    for (std::size_t index = 2; index < arcs->size(); ++index) {
        appendBase128(content, (*arcs)[index]);
    }
    return encode(Tag::objectIdentifier, content);
}

Bytes time(Instant instant) {
    using namespace std::chrono;
    const auto second = floor<seconds>(instant);
    const auto day = floor<days>(second);
    const year_month_day date{day};
    const hh_mm_ss clock{second - day};
    const int year = static_cast<int>(date.year());
    const bool generalized = year >= 2050;
    char text[32];
    const int written =
        std::snprintf(text, sizeof text, "%0*d%02u%02u%02d%02d%02dZ", generalized ? 4 : 2,
                      generalized ? year : year % 100, static_cast<unsigned>(date.month()),
                      static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                      static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count()));
    return encode(generalized ? Tag::generalizedTime : Tag::utcTime,
                  bytesOf(std::string_view(text, static_cast<std::size_t>(written))));
}

} // namespace tarnwick::DER
