#pragma once

/// Whether this host lets the application accept connections at all.
namespace tarnwick::NetworkAvailability {

/// Whether a plain TCP listener can be opened on any free port (a firewall, VPN or security tool acting
/// through the operating system may refuse). The probe runs once per process, on the first call;
/// concurrent first calls wait for it and later ones get its answer. Opening a listener waits for
/// nothing on the network, so the answer comes at once, well within the 3 seconds allowed for it.
bool canBindListener();

} // namespace tarnwick::NetworkAvailability
