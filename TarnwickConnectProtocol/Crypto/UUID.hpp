#pragma once

#include <string>

/// Fresh identifiers for offers, files and devices.
namespace tarnwick::UUID {

/// A random (version 4) UUID in its 36-character upper-case text form, 8-4-4-4-12 hexadecimal digits.
std::string random();

} // namespace tarnwick::UUID
