#include "ConnectUI/Presentation/TransferRowDetail.hpp"

#include "ConnectUI/Format/ByteFormat.hpp"

#include <algorithm>
#include <cmath>

namespace tarnwick {

QString transferRowDetail(const TransferItem& item) {
    switch (item.state.state) {
    case TransferItem::State::Case::sending: {
        const int percent = static_cast<int>(std::floor(std::clamp(item.state.fraction, 0.0, 1.0) * 100));
        QString text = QString::number(percent) + "%";
        if (item.state.bytesPerSecond > 0) {
            text += " · " + ByteFormat::rate(item.state.bytesPerSecond);
        }
        return text;
    }
    case TransferItem::State::Case::failed:
        return QString::fromStdString(item.state.message);
    case TransferItem::State::Case::waiting:
    case TransferItem::State::Case::finished:
        break;
    }
    return ByteFormat::size(item.byteCount);
}

} // namespace tarnwick
