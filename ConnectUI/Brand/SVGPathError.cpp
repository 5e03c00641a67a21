#include "ConnectUI/Brand/SVGPathError.hpp"

#include <string>

namespace tarnwick {
namespace {

const char* describe(SVGPathError::Case errorCase) {
    switch (errorCase) {
    case SVGPathError::Case::missingMoveTo:
        return "path data must start with a move";
    case SVGPathError::Case::unknownCommand:
        return "unknown path command";
    case SVGPathError::Case::missingNumber:
        return "path command is missing a number";
    case SVGPathError::Case::numberOutOfRange:
        return "path coordinate out of range";
    }
    return "unreadable path data";
}

} // namespace

SVGPathError::SVGPathError(Case errorCase, std::size_t offset)
    : std::runtime_error(std::string(describe(errorCase)) + " at offset " + std::to_string(offset)),
      case_(errorCase),
      offset_(offset) {}

} // namespace tarnwick
