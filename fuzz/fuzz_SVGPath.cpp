#include "ConnectUI/Brand/SVGPath.hpp"
#include "ConnectUI/Brand/SVGPathError.hpp"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool isFinite(QPointF point) {
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

} // namespace

// Whatever the path text, it either fails with a typed error or gives drawable segments: finite points,
// beginning with a move.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const SVGPath path = SVGPath::parse(text);
        require(path.segments().empty() || path.segments().front().kind == SVGPath::Segment::Kind::move);
        for (const SVGPath::Segment& segment : path.segments()) {
            require(isFinite(segment.end) && isFinite(segment.control1) && isFinite(segment.control2));
        }
    } catch (const SVGPathError& error) {
        require(error.offset() <= size);
    }
    return 0;
}
