#include "ConnectUI/Presentation/TransferRowDetail.hpp"

#include "ConnectUI/Format/ByteFormat.hpp"

#include <algorithm>
#include <cmath>

namespace tarnwick {
namespace {

QString percent(double fraction) {
    return QString::number(static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100))) + "%";
}

} // namespace

QString transferRowDetail(const TransferItem& item) {
    switch (item.state.state) {
    case TransferItem::State::Case::sending: {
        QString text = percent(item.state.fraction);
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

QString transferRowDetail(const IncomingTransfer& incoming) {
    return "From " + QString::fromStdString(incoming.peerName) + " · " + percent(incoming.offer.fraction());
}

} // namespace tarnwick
