#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

namespace tarnwick {

/// The byte counts and transfer rates shown in transfer rows and the gallery.
class ByteFormat {
public:
    /// A file size the way a file manager shows it: decimal units, one decimal ("1.2 MB").
    static QString size(std::uint64_t bytes, const QLocale& locale = QLocale());

    /// A transfer rate in bits per second: "1.6 Gbps", "12 Mbps" or "800 Kbps". A negative or
    /// non-finite rate, which only a clock jump can produce, reads as "0 Kbps".
    static QString rate(double bytesPerSecond);
};

} // namespace tarnwick
