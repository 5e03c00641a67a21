#include "TarnwickConnectProtocol/Files/SafeFilename.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

using Case = std::pair<std::string, std::string>;

std::string sanitize(std::string_view name) {
    return SafeFilename::sanitize(name, "Untitled");
}

std::string repeated(std::string_view piece, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

void expectAll(const std::vector<Case>& cases) {
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(sanitize(name), expected) << name;
    }
}

TEST(SafeFilename, KeepsOnlyTheLastPathComponent) {
    expectAll({{"../../etc/passwd", "passwd"},
               {"C:\\Users\\x\\evil.exe", "evil.exe"},
               {"a/b\\c", "c"},
               {"dir/", "Untitled"}});
}

TEST(SafeFilename, NeverYieldsAHiddenOrDotOnlyName) {
    expectAll({{".hidden", "hidden"},
               {"....", "Untitled"},
               {" . ", "Untitled"},
               {"..", "Untitled"},
               {"", "Untitled"},
               // White space between dots must not let a dot through to the front.
               {". .env", "env"},
               {"\u3000.\u00A0.profile", "profile"}});
}

TEST(SafeFilename, RemovesControlsColonsAndReorderingMarks) {
    expectAll({{"a:b.txt", "ab.txt"},
               {"evil\u202Etxt.exe", "eviltxt.exe"},
               {"Report\u0007.pdf", "Report.pdf"},
               {std::string("a\0b", 3), "ab"},
               {"x\u2066y\u2069z\u0085\u009F", "xyz"},
               {"\tname \r\n", "name"}});
}

TEST(SafeFilename, ProtectsReservedDeviceNames) {
    expectAll({{"LPT1", "_LPT1"},
               {"com1.txt", "_com1.txt"},
               {"nul", "_nul"},
               {"con.", "_con."},
               {"con.tar.gz", "con.tar.gz"},
               {"com10.txt", "com10.txt"},
               {"com0", "com0"},
               {"lpt0.txt", "lpt0.txt"}});
}

TEST(SafeFilename, ShortensToTheByteBudgetKeepingShortExtensions) {
    expectAll({{repeated("a", 250) + ".jpeg", repeated("a", 195) + ".jpeg"},
               {repeated("b", 300) + "." + repeated("e", 20), repeated("b", 200)},
               {repeated("\u00E9", 150), repeated("\u00E9", 100)},
               // 199 bytes, then a four-byte emoji that would end at byte 203.
               {repeated("x", 199) + "\U0001F600" + "tail", repeated("x", 199)},
               // A flag is two scalars but one character: its first half would fit, yet it goes whole.
               {repeated("y", 196) + "\U0001F1E9\U0001F1EA", repeated("y", 196)}});
}

// A name cut to the budget must still obey every other rule.
TEST(SafeFilename, ShorteningCannotReintroduceUnsafeShapes) {
    const std::string oneHugeCharacter = "x" + repeated("\u0301", 150);
    expectAll({// Nothing of the stem fits: ".jpeg" alone would be hidden.
               {oneHugeCharacter + ".jpeg", "Untitled"},
               {oneHugeCharacter, "Untitled"},
               // The cut leaves a reserved stem behind.
               {"nul" + oneHugeCharacter + ".txt", "_nul.txt"},
               {"nul.x." + repeated("e", 200), "_nul.x"},
               // The protecting underscore itself must fit: the long extension goes.
               {"con." + repeated("e", 196), "_con"},
               {"Com1." + repeated("r", 196) + "." + repeated("e", 20), "_Com1"},
               // White space left at the cut end is trimmed.
               {"ab " + oneHugeCharacter, "ab"}});
}

// Ill-formed sequences become U+FFFD each, so no overlong "/" or NUL can slip through.
TEST(SafeFilename, ComposesToNFCAndReplacesIllFormedUTF8) {
    expectAll({{"cafe\u0301.txt", "caf\u00E9.txt"},
               {"\xFF.txt", "\uFFFD.txt"},
               {"a\xC0\xAF..\xC0\xAF"
                "b",
                "a\uFFFD\uFFFD..\uFFFD\uFFFDb"},
               {"\xC0\x80", "\uFFFD\uFFFD"},
               {"\xED\xA0\x80x", "\uFFFD\uFFFD\uFFFDx"}});
}

TEST(SafeFilename, FlagsSuspiciousNames) {
    for (const char* name : {"a..b", "x/y", "x\\y", ".env", "a\tb", "a\u202Eb", "\xFF"}) {
        EXPECT_TRUE(SafeFilename::isSuspicious(name)) << name;
    }
    for (const char* name : {"photo.jpg", "", "a\u2066b", "a:b", "CON.txt"}) {
        EXPECT_FALSE(SafeFilename::isSuspicious(name)) << name;
    }
}

} // namespace
} // namespace tarnwick
