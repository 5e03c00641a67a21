#pragma once

#include <QPointF>

#include <string_view>
#include <vector>

namespace tarnwick {

/// Vector path data as the brand mark stores it: move, line, horizontal, vertical, cubic and smooth
/// cubic commands, absolute and relative, and close. Parsing reduces it to absolute moves, lines,
/// cubics and closes, which a painter path takes one for one.
class SVGPath {
public:
    struct Segment {
        enum class Kind { move, line, cubic, close };
        Kind kind = Kind::move;
        QPointF end;      ///< where the segment ends; for close, the start of its subpath
        QPointF control1; ///< cubics only
        QPointF control2; ///< cubics only

        friend bool operator==(const Segment&, const Segment&) = default;
    };

    /// Reads path text; throws SVGPathError for text it cannot draw.
    static SVGPath parse(std::string_view text);

    /// Absolute segments in drawing order. Drawing after a close begins with a move to the closed
    /// subpath's start.
    const std::vector<Segment>& segments() const { return segments_; }

private:
    explicit SVGPath(std::vector<Segment> segments) : segments_(std::move(segments)) {}

    std::vector<Segment> segments_;
};

} // namespace tarnwick
