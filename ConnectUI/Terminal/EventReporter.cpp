#include "ConnectUI/Terminal/EventReporter.hpp"

#include "ConnectUI/Format/ByteFormat.hpp"
#include "ConnectUI/Terminal/TerminalText.hpp"

#include <cmath>
#include <cstdio>

namespace tarnwick {
namespace {

/// "m:ss" or "h:mm:ss"; "--:--" while no rate is known yet.
std::string timeLeft(std::uint64_t remaining, double rate) {
    if (!(rate > 0) || !std::isfinite(rate)) {
        return "--:--";
    }
    const auto seconds = static_cast<unsigned long long>(std::ceil(static_cast<double>(remaining) / rate));
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%llu:%02llu", seconds / 60, seconds % 60);
    }
    return text;
}

} // namespace

EventReporter::EventReporter(std::ostream& out, Format format, bool liveProgress)
    : out_(out),
      format_(format),
      liveProgress_(liveProgress && format == Format::text) {}

void EventReporter::event(std::string_view name, nlohmann::ordered_json fields, const std::string& line) {
    if (json()) {
        nlohmann::ordered_json object = {{"event", name}};
        // An event without fields comes as null, which update() refuses.
        if (fields.is_object()) {
            object.update(fields);
        }
        // A name that is not UTF-8 must not end the program; it is shown with replacement characters.
        out_ << object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << std::endl;
        return;
    }
    if (!line.empty()) {
        endLiveLine();
        out_ << line << std::endl;
    }
}

void EventReporter::progress(const std::string& file, std::uint64_t bytes, std::uint64_t total, double rate) {
    if (json()) {
        event("progress", {{"file", file}, {"bytes", bytes}, {"total", total}, {"rate", std::llround(rate)}},
              {});
    } else if (liveProgress_) {
        // Carriage return and erase-to-end rewrite the one line in place.
        out_ << '\r' << progressLine(file, bytes, total, rate) << "\x1b[K" << std::flush;
        liveLineShown_ = true;
    }
}

std::string EventReporter::progressLine(const std::string& file, std::uint64_t bytes, std::uint64_t total,
                                        double rate) {
    return TerminalText::escaped(file) + "  " + ByteFormat::size(bytes).toStdString() + " of " +
           ByteFormat::size(total).toStdString() + "  " + ByteFormat::rate(rate).toStdString() + "  " +
           timeLeft(total > bytes ? total - bytes : 0, rate) + " left";
}

void EventReporter::endLiveLine() {
    if (liveLineShown_) {
        out_ << '\n';
        liveLineShown_ = false;
    }
}

} // namespace tarnwick
