#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tarnwick {

/// Where the backdrop stands in its looping figure sequence: each cycle holds a figure for `hold`
/// seconds, then morphs for `morph` seconds into the next one. Figure steps count up without end; the
/// cloud takes them modulo its list.
class MorphSequence {
public:
    MorphSequence(double hold, double morph);

    /// Moves to `elapsed` seconds after the start. When a new cycle has begun since the last call, the
    /// buffers swap and this returns the step of the figure to write into the new "to" buffer. A jump of
    /// several cycles (after the window was hidden) still moves by one figure, so none is skipped.
    std::optional<std::size_t> advance(double elapsed);

    /// The step of the figure in the "from" buffer.
    std::size_t figureStep() const { return figureStep_; }

    /// The eased transition progress at `elapsed`: 0 while the figure is held, then smoothly up to 1.
    float progress(double elapsed) const;

private:
    std::int64_t cycleAt(double elapsed) const;

    double hold_;
    double morph_;
    std::size_t figureStep_ = 0;
    std::optional<std::int64_t> cycle_;
};

} // namespace tarnwick
