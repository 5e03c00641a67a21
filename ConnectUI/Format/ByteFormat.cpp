#include "ConnectUI/Format/ByteFormat.hpp"

#include <cmath>
#include <limits>

namespace tarnwick {

QString ByteFormat::size(std::uint64_t bytes, const QLocale& locale) {
    constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<qint64>::max());
    const auto clamped = static_cast<qint64>(bytes < largest ? bytes : largest);
    return locale.formattedDataSize(clamped, 1, QLocale::DataSizeSIFormat);
}

QString ByteFormat::rate(double bytesPerSecond) {
    const double bits = std::isfinite(bytesPerSecond) && bytesPerSecond > 0 ? bytesPerSecond * 8 : 0;
    if (bits >= 1e9) {
        return QString::asprintf("%.1f Gbps", bits / 1e9);
    }
    if (bits >= 1e6) {
        return QString::asprintf("%.0f Mbps", bits / 1e6);
    }
    return QString::asprintf("%.0f Kbps", bits / 1e3);
}

} // namespace tarnwick
