#pragma once

#include <cstdint>

/// The number of files the process may hold open.
namespace tarnwick::DescriptorLimit {

/// Raises the soft limit on open files to the hard one and returns the limit now in force. A desktop
/// session starts programs at 1,024, which several transfers and watched folders at once can reach.
/// Call once at start-up.
std::uint64_t raiseToHardLimit();

} // namespace tarnwick::DescriptorLimit
