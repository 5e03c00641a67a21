#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace tarnwick {

/// Where the command line's front ends tell what happens: as text for a person, or as one JSON object per
/// line and per event (`--json`) for a script. Only events go to its stream; diagnostics go elsewhere.
class EventReporter {
public:
    enum class Format { text, json };

    /// `liveProgress`: the stream is a terminal, where progress is one line rewritten in place.
    EventReporter(std::ostream& out, Format format, bool liveProgress);

    bool json() const { return format_ == Format::json; }

    /// One event: in JSON `{"event":name, …fields}`; as text the `line` given (nothing when empty), whose
    /// peer-supplied parts the caller has escaped with `TerminalText`.
    void event(std::string_view name, nlohmann::ordered_json fields, const std::string& line);
    /// How far one file has got, `rate` in bytes per second: a "progress" event in JSON; on a terminal
    /// the live line with size, rate and time left; otherwise nothing.
    void progress(const std::string& file, std::uint64_t bytes, std::uint64_t total, double rate);

    /// The live line's text, e.g. "photo.jpg  1.2 MB of 8.4 MB  96 Mbps  0:06 left".
    static std::string progressLine(const std::string& file, std::uint64_t bytes, std::uint64_t total,
                                    double rate);

private:
    void endLiveLine();

    std::ostream& out_;
    const Format format_;
    const bool liveProgress_;
    bool liveLineShown_ = false;
};

} // namespace tarnwick
