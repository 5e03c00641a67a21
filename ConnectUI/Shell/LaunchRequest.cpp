#include "ConnectUI/Shell/LaunchRequest.hpp"

#include <QByteArray>
#include <QList>

namespace tarnwick {
namespace {

constexpr std::string_view kind = "tarnwick-launch";

} // namespace

std::vector<std::string> LaunchRequest::encode(std::size_t limit) const {
    // File names are bytes on Linux, not always UTF-8: base64 carries each one exactly.
    std::vector<std::string> lines{std::string(kind)};
    for (const auto& file : files) {
        const QByteArray name = QByteArray::fromStdString(file.string()).toBase64();
        const bool holdsFiles = lines.back().size() > kind.size();
        if (holdsFiles && lines.back().size() + 1 + static_cast<std::size_t>(name.size()) > limit) {
            lines.emplace_back(kind);
        }
        lines.back() += ' ' + name.toStdString();
    }
    return lines;
}

std::optional<LaunchRequest> LaunchRequest::decode(const std::string& line) {
    const QList<QByteArray> words = QByteArray::fromStdString(line).split(' ');
    if (words.front() != QByteArray::fromRawData(kind.data(), static_cast<qsizetype>(kind.size()))) {
        return std::nullopt;
    }
    LaunchRequest request;
    for (qsizetype index = 1; index < words.size(); ++index) {
        const auto decoded =
            QByteArray::fromBase64Encoding(words[index], QByteArray::AbortOnBase64DecodingErrors);
        const std::filesystem::path file = decoded.decoded.toStdString();
        if (!decoded || !file.is_absolute()) {
            return std::nullopt;
        }
        request.files.push_back(file);
    }
    return request;
}

} // namespace tarnwick
