#pragma once

/// How the process allocates the multi-megabyte buffers a transfer cycles through (one per chunk).
namespace tarnwick::LargeBufferAllocation {

/// Keeps chunk-sized buffers in the heap for reuse instead of mapping fresh pages for each: glibc maps
/// every large allocation anew and unmaps it on release, so a 1 GiB transfer faulted in and zeroed
/// a quarter of a million pages on each side, which halved its speed. Call once at start-up.
void reuseChunkBuffers();

} // namespace tarnwick::LargeBufferAllocation
