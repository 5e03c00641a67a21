#include "ConnectCore/Host/LargeBufferAllocation.hpp"

#include <malloc.h>

namespace tarnwick::LargeBufferAllocation {
namespace {

// Above the largest chunk (4 MiB plus its header) with room for the framer's buffer.
constexpr int mapThreshold = 32 * 1024 * 1024;
// What the heap may keep free before returning memory: the receive window of 32 chunk frames.
constexpr int trimThreshold = 128 * 1024 * 1024;

} // namespace

void reuseChunkBuffers() {
    mallopt(M_MMAP_THRESHOLD, mapThreshold);
    mallopt(M_TRIM_THRESHOLD, trimThreshold);
}

} // namespace tarnwick::LargeBufferAllocation
