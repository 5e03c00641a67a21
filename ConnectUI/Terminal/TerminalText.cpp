#include "ConnectUI/Terminal/TerminalText.hpp"

#include <QList>
#include <QString>

namespace tarnwick {
namespace {

bool unsafe(char32_t character) {
    return character < 0x20 || (character >= 0x7f && character <= 0x9f) || character == 0x2028 ||
           character == 0x2029 || (character >= 0x202a && character <= 0x202e) ||
           (character >= 0x2066 && character <= 0x2069);
}

} // namespace

std::string TerminalText::escaped(std::string_view text) {
    const QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QString shown;
    shown.reserve(decoded.size());
    for (const char32_t character : decoded.toUcs4()) {
        if (character == U'\\') {
            shown += QStringLiteral("\\\\");
        } else if (unsafe(character)) {
            shown += QStringLiteral("\\u{") +
                     QString::number(static_cast<uint>(character), 16).toUpper().rightJustified(4, '0') + '}';
        } else {
            shown += QString::fromUcs4(&character, 1);
        }
    }
    return shown.toStdString();
}

} // namespace tarnwick
