#include "ConnectUI/Terminal/EventReporter.hpp"
#include "ConnectUI/Terminal/TerminalText.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace tarnwick {
namespace {

// A device name must not end the line, move the cursor, start an escape sequence or turn the rest of the
// line around; ordinary names, accents and emoji (joiners included) print as they are.
TEST(TerminalTextTest, NamesCannotForgeLinesOrEscapes) {
    EXPECT_EQ(TerminalText::escaped("Ada's phone"), "Ada's phone");
    EXPECT_EQ(TerminalText::escaped("Zoë 👩‍💻"), "Zoë 👩‍💻");
    EXPECT_EQ(TerminalText::escaped("x\nreceived evil.sh"), "x\\u{000A}received evil.sh");
    EXPECT_EQ(TerminalText::escaped("\x1b[2Jphone\r"), "\\u{001B}[2Jphone\\u{000D}");
    EXPECT_EQ(TerminalText::escaped("a\u0085b\u2028c\u202Ed\x7f"),
              "a\\u{0085}b\\u{2028}c\\u{202E}d\\u{007F}");
    // The escape character itself is doubled, so an escaped name cannot pass for another one.
    EXPECT_EQ(TerminalText::escaped("a\\u{000A}"), "a\\\\u{000A}");
    EXPECT_EQ(TerminalText::escaped("bad\xff"), "bad\uFFFD");
}

TEST(EventReporterTest, JSONIsOneObjectPerLineWithTheEventFirst) {
    std::ostringstream out;
    EventReporter reporter(out, EventReporter::Format::json, true);
    reporter.event("connected", {{"name", "Line\nbreak"}, {"id", "A1"}}, "connected: Line");
    reporter.progress("movie.mp4", 500, 1000, 250.4);
    reporter.event("failed", {{"message", "bad\xff"}}, "failed");
    reporter.event("signed-in", {}, "signed in");
    std::istringstream lines(out.str());
    std::string line;
    std::vector<nlohmann::json> events;
    while (std::getline(lines, line)) {
        events.push_back(nlohmann::json::parse(line));
        EXPECT_EQ(line.rfind("{\"event\":", 0), 0u) << line;
    }
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0]["name"], "Line\nbreak");
    EXPECT_EQ(
        events[1],
        nlohmann::json(
            {{"event", "progress"}, {"file", "movie.mp4"}, {"bytes", 500}, {"total", 1000}, {"rate", 250}}));
    EXPECT_EQ(events[2]["message"], "bad\uFFFD");
    EXPECT_EQ(events[3], nlohmann::json({{"event", "signed-in"}})) << "an event without fields";
}

// On a terminal the progress line is rewritten in place and left standing when the next event prints;
// without a terminal, text output carries no progress at all.
TEST(EventReporterTest, TextProgressIsOneLiveLineOnlyOnATerminal) {
    std::ostringstream terminal;
    EventReporter live(terminal, EventReporter::Format::text, true);
    live.progress("a.bin", 0, 2'000'000, 0);
    live.progress("a.bin", 1'000'000, 2'000'000, 500'000);
    live.event("finished", {}, "sent a.bin");
    EXPECT_EQ(terminal.str(), "\ra.bin  0 bytes of 2.0 MB  0 Kbps  --:-- left\x1b[K"
                              "\ra.bin  1.0 MB of 2.0 MB  4 Mbps  0:02 left\x1b[K\nsent a.bin\n");

    std::ostringstream piped;
    EventReporter plain(piped, EventReporter::Format::text, false);
    plain.progress("a.bin", 1, 2, 1);
    plain.event("finished", {}, "sent a.bin");
    plain.event("progress", {}, "");
    EXPECT_EQ(piped.str(), "sent a.bin\n");
}

TEST(EventReporterTest, TimeLeftCountsHoursWhenLong) {
    EXPECT_EQ(EventReporter::progressLine("big", 0, 7'200'000'000, 1'000'000).substr(0, 4), "big ");
    EXPECT_TRUE(EventReporter::progressLine("big", 0, 7'200'000'000, 1'000'000).ends_with("2:00:00 left"));
}

} // namespace
} // namespace tarnwick
