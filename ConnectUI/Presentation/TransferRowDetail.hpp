#pragma once

#include "ConnectUI/AppState/IncomingTransfer.hpp"
#include "ConnectUI/AppState/TransferItem.hpp"

#include <QString>

namespace tarnwick {

/// The line under a transfer's name: "42%" or "42% · 12 Mbps" while sending, the reason when failed,
/// otherwise the file's size.
QString transferRowDetail(const TransferItem& item);
/// "From Pocket Phone · 42%" under an offer being received.
QString transferRowDetail(const IncomingTransfer& incoming);

} // namespace tarnwick
