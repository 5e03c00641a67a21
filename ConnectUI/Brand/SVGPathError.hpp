#pragma once

#include <cstddef>
#include <stdexcept>

namespace tarnwick {

/// Path text that cannot be drawn; `offset` is the byte at which reading stopped.
class SVGPathError : public std::runtime_error {
public:
    enum class Case {
        missingMoveTo,    ///< drawing starts before the first move command
        unknownCommand,   ///< a character that is neither a supported command nor a separator
        missingNumber,    ///< a command ran out of coordinates
        numberOutOfRange, ///< a coordinate, given or accumulated, too large to draw
    };

    SVGPathError(Case errorCase, std::size_t offset);

    Case errorCase() const { return case_; }
    std::size_t offset() const { return offset_; }

private:
    Case case_;
    std::size_t offset_;
};

} // namespace tarnwick
