#include "TarnwickConnectProtocol/Files/SafeFilename.hpp"

#include "TarnwickConnectProtocol/Framing/TWCPError.hpp"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

namespace tarnwick::SafeFilename {
namespace {

// Longer extensions are dropped when a name must be shortened, so the stem keeps the budget.
constexpr std::size_t maximumExtensionByteCount = 16;

void check(UErrorCode status) {
    if (U_FAILURE(status)) {
        throw TWCPError::internalFailure(std::string("ICU: ") + u_errorName(status));
    }
}

bool isControl(UChar32 c) {
    return u_charType(c) == U_CONTROL_CHAR;
}

// Bidirectional embeddings and overrides can make "exe.txt" display as "txt.exe".
bool isEmbeddingOrOverride(UChar32 c) {
    return c >= 0x202A && c <= 0x202E;
}

bool isIsolate(UChar32 c) {
    return c >= 0x2066 && c <= 0x2069;
}

bool isRemoved(UChar32 c) {
    return isControl(c) || c == ':' || isEmbeddingOrOverride(c) || isIsolate(c);
}

bool isWhiteSpace(UChar32 c) {
    return u_isUWhiteSpace(c);
}

// The text after the last "/" or "\". Both are ASCII, which never occurs inside a UTF-8 sequence.
std::string_view lastComponent(std::string_view name) {
    const auto separator = name.find_last_of("/\\");
    return separator == std::string_view::npos ? name : name.substr(separator + 1);
}

icu::UnicodeString withoutRemovedScalars(const icu::UnicodeString& text) {
    icu::UnicodeString kept;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        if (const UChar32 c = text.char32At(i); !isRemoved(c)) {
            kept.append(c);
        }
    }
    return kept;
}

icu::UnicodeString composed(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    check(status);
    icu::UnicodeString result = nfc->normalize(text, status);
    check(status);
    return result;
}

// Dots and white space alternate at the front until neither is left, so " . .env" cannot come out
// as the hidden ".env"; trailing white space goes too.
icu::UnicodeString trimmed(const icu::UnicodeString& text) {
    int32_t start = 0;
    while (start < text.length() && (text.char32At(start) == '.' || isWhiteSpace(text.char32At(start)))) {
        start = text.moveIndex32(start, 1);
    }
    int32_t end = text.length();
    while (end > start && isWhiteSpace(text.char32At(text.moveIndex32(end, -1)))) {
        end = text.moveIndex32(end, -1);
    }
    return icu::UnicodeString(text, start, end - start);
}

// The name without its last extension (from the last "." on); a name without a dot is all stem.
std::string_view stemOf(std::string_view text) {
    return text.substr(0, text.rfind('.'));
}

bool isReserved(std::string_view stem) {
    std::string lowered;
    icu::UnicodeString::fromUTF8(icu::StringPiece(stem.data(), static_cast<int32_t>(stem.size())))
        .toLower(icu::Locale::getRoot())
        .toUTF8String(lowered);
    return std::find(reservedStems.begin(), reservedStems.end(), lowered) != reservedStems.end();
}

std::string withReservedStemProtected(std::string text) {
    return isReserved(stemOf(text)) ? "_" + text : text;
}

// The longest prefix of valid UTF-8 `text` that ends between two user-perceived characters and has at
// most `budget` bytes.
std::size_t graphemePrefixLength(std::string_view text, std::size_t budget) {
    UErrorCode status = U_ZERO_ERROR;
    icu::LocalUTextPointer utf8(
        utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
    std::unique_ptr<icu::BreakIterator> clusters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    check(status);
    clusters->setText(utf8.getAlias(), status);
    check(status);
    std::size_t length = 0;
    for (int32_t boundary = clusters->first();
         boundary != icu::BreakIterator::DONE && static_cast<std::size_t>(boundary) <= budget;
         boundary = clusters->next()) {
        length = static_cast<std::size_t>(boundary);
    }
    return length;
}

// Fits the text into the byte budget, keeping a short extension; empty when no part of the stem fits,
// since the extension alone would be a hidden name.
std::string shortened(const std::string& text) {
    if (text.size() <= maximumByteCount) {
        return text;
    }
    const auto dot = text.rfind('.');
    const std::string_view extension =
        dot == std::string::npos ? std::string_view{} : std::string_view(text).substr(dot + 1);
    const std::string suffix = !extension.empty() && extension.size() <= maximumExtensionByteCount
                                   ? "." + std::string(extension)
                                   : std::string{};
    const std::string_view stem = stemOf(text);
    const icu::UnicodeString cut = trimmed(icu::UnicodeString::fromUTF8(icu::StringPiece(
        stem.data(), static_cast<int32_t>(graphemePrefixLength(stem, maximumByteCount - suffix.size())))));
    if (cut.isEmpty()) {
        return {};
    }
    std::string result;
    cut.toUTF8String(result);
    return result + suffix;
}

std::string fitted(const std::string& text) {
    return text.empty() ? text : shortened(withReservedStemProtected(text));
}

} // namespace

std::string sanitize(std::string_view name, std::string_view fallback) {
    const std::string_view component = lastComponent(name);
    // ICU counts in 32 bits; a name this long has nothing usable in it anyway.
    if (component.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
        return std::string(fallback);
    }
    const icu::UnicodeString decoded = icu::UnicodeString::fromUTF8(
        icu::StringPiece(component.data(), static_cast<int32_t>(component.size())));
    std::string text;
    trimmed(composed(withoutRemovedScalars(decoded))).toUTF8String(text);
    // Twice: shortening can expose a reserved stem ("nul.x" once a long extension goes, or "nul" before
    // a long cut), and the protecting "_" can need another shortening. The second pass settles.
    const std::string result = fitted(fitted(text));
    return result.empty() ? std::string(fallback) : result;
}

std::string offeredName(std::string_view name) {
    if (name.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
        return std::string(name); // no file system has names this long
    }
    std::string text;
    icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), static_cast<int32_t>(name.size())))
        .toUTF8String(text);
    return text;
}

bool isSuspicious(std::string_view name) {
    if (name.find("..") != std::string_view::npos || name.find_first_of("/\\") != std::string_view::npos ||
        name.starts_with('.')) {
        return true;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(name.data());
    const auto length = static_cast<int64_t>(name.size());
    for (int64_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0 || isEmbeddingOrOverride(c) || isControl(c)) {
            return true;
        }
    }
    return false;
}

} // namespace tarnwick::SafeFilename
