#include "ConnectUI/Brand/SVGPath.hpp"

#include "ConnectUI/Brand/SVGPathError.hpp"

#include <charconv>
#include <cmath>
#include <optional>

namespace tarnwick {
namespace {

using Segment = SVGPath::Segment;
using Kind = Segment::Kind;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::vector<Segment> run() {
        while (skipSeparators()) {
            const char letter = text_[at_];
            const std::size_t commandAt = at_++;
            const bool relative = letter >= 'a' && letter <= 'z';
            const char command = relative ? static_cast<char>(letter - 'a' + 'A') : letter;
            if (command != 'M' && !started_ && isCommand(command)) {
                throw SVGPathError(SVGPathError::Case::missingMoveTo, commandAt);
            }
            runCommand(command, relative, commandAt);
        }
        return std::move(segments_);
    }

private:
    static bool isCommand(char command) {
        return std::string_view("MLHVCSZ").find(command) != std::string_view::npos;
    }

    void runCommand(char command, bool relative, std::size_t commandAt) {
        if (command == 'Z') {
            close();
            return;
        }
        if (command == 'M') {
            move(point(relative));
            // Further pairs after a move are lines.
            command = 'L';
        } else {
            draw(command, relative, commandAt);
        }
        while (startsNumber()) {
            draw(command, relative, commandAt);
        }
    }

    // One set of a drawing command's coordinates.
    void draw(char command, bool relative, std::size_t commandAt) {
        switch (command) {
        case 'L':
            line(point(relative));
            return;
        case 'H':
            line(horizontal(relative));
            return;
        case 'V':
            line(vertical(relative));
            return;
        case 'C':
            cubicCommand(relative);
            return;
        case 'S':
            smoothCommand(relative);
            return;
        default:
            throw SVGPathError(SVGPathError::Case::unknownCommand, commandAt);
        }
    }

    // Skips white space and commas; false at the end of the text.
    bool skipSeparators() {
        while (at_ < text_.size() && (text_[at_] == ',' || std::string_view(" \t\r\n\f").find(text_[at_]) !=
                                                               std::string_view::npos)) {
            ++at_;
        }
        return at_ < text_.size();
    }

    bool startsNumber() {
        if (!skipSeparators()) {
            return false;
        }
        const char c = text_[at_];
        return isDigit(c) || c == '+' || c == '-' || c == '.';
    }

    std::size_t digitsFrom(std::size_t position) const {
        while (position < text_.size() && isDigit(text_[position])) {
            ++position;
        }
        return position;
    }

    // A number in the path grammar: sign, digits with an optional fraction, optional exponent. It ends
    // where the grammar does, so "1.5.5" is two numbers and "3-4" too.
    double number() {
        if (!startsNumber()) {
            throw SVGPathError(SVGPathError::Case::missingNumber, at_);
        }
        const std::size_t start = at_;
        const std::size_t signEnd = at_ + ((text_[at_] == '+' || text_[at_] == '-') ? 1 : 0);
        const std::size_t integerEnd = digitsFrom(signEnd);
        std::size_t end = integerEnd;
        if (end < text_.size() && text_[end] == '.') {
            end = digitsFrom(end + 1);
        }
        if (integerEnd == signEnd && end <= integerEnd + 1) {
            throw SVGPathError(SVGPathError::Case::missingNumber, start);
        }
        if (end < text_.size() && (text_[end] == 'e' || text_[end] == 'E')) {
            std::size_t exponent = end + 1;
            if (exponent < text_.size() && (text_[exponent] == '+' || text_[exponent] == '-')) {
                ++exponent;
            }
            if (const std::size_t exponentEnd = digitsFrom(exponent); exponentEnd > exponent) {
                end = exponentEnd;
            }
        }
        // from_chars takes no leading plus.
        const std::size_t first = text_[start] == '+' ? start + 1 : start;
        double value = 0;
        const auto result = std::from_chars(text_.data() + first, text_.data() + end, value);
        if (result.ec != std::errc() || !std::isfinite(value)) {
            throw SVGPathError(SVGPathError::Case::numberOutOfRange, start);
        }
        at_ = end;
        return value;
    }

    // Relative coordinates add up, so a sum can overflow even when every number is finite.
    QPointF checked(QPointF point, std::size_t position) const {
        if (!std::isfinite(point.x()) || !std::isfinite(point.y())) {
            throw SVGPathError(SVGPathError::Case::numberOutOfRange, position);
        }
        return point;
    }

    QPointF point(bool relative) {
        const std::size_t position = at_;
        const double x = number();
        const double y = number();
        return checked(relative ? current_ + QPointF(x, y) : QPointF(x, y), position);
    }

    QPointF horizontal(bool relative) {
        const std::size_t position = at_;
        const double x = number();
        return checked(QPointF(relative ? current_.x() + x : x, current_.y()), position);
    }

    QPointF vertical(bool relative) {
        const std::size_t position = at_;
        const double y = number();
        return checked(QPointF(current_.x(), relative ? current_.y() + y : y), position);
    }

    void move(QPointF to) {
        started_ = true;
        segments_.push_back({Kind::move, to, {}, {}});
        current_ = subpathStart_ = to;
        lastControl_.reset();
    }

    // Drawing on after a close starts again from the closed subpath's start.
    void reopenAfterClose() {
        if (!segments_.empty() && segments_.back().kind == Kind::close) {
            segments_.push_back({Kind::move, subpathStart_, {}, {}});
        }
    }

    void line(QPointF to) {
        reopenAfterClose();
        segments_.push_back({Kind::line, to, {}, {}});
        current_ = to;
        lastControl_.reset();
    }

    void cubic(QPointF control1, QPointF control2, QPointF to) {
        reopenAfterClose();
        segments_.push_back({Kind::cubic, to, control1, control2});
        current_ = to;
        lastControl_ = control2;
    }

    void cubicCommand(bool relative) {
        const QPointF control1 = point(relative);
        const QPointF control2 = point(relative);
        cubic(control1, control2, point(relative));
    }

    // The first control point mirrors the previous cubic's second one through the current point.
    void smoothCommand(bool relative) {
        const std::size_t position = at_;
        const QPointF control1 = checked(lastControl_ ? 2 * current_ - *lastControl_ : current_, position);
        const QPointF control2 = point(relative);
        cubic(control1, control2, point(relative));
    }

    void close() {
        segments_.push_back({Kind::close, subpathStart_, {}, {}});
        current_ = subpathStart_;
        lastControl_.reset();
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::vector<Segment> segments_;
    QPointF current_;
    QPointF subpathStart_;
    std::optional<QPointF> lastControl_;
    bool started_ = false;
};

} // namespace

SVGPath SVGPath::parse(std::string_view text) {
    return SVGPath(Parser(text).run());
}

} // namespace tarnwick
