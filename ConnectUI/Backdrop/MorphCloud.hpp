#pragma once

#include "ConnectUI/Backdrop/MorphPoint.hpp"
#include "ConnectUI/Backdrop/MorphShape.hpp"
#include "ConnectUI/Backdrop/PointRandoms.hpp"

#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwick {

class WordmarkPoints;

/// The fixed part of one backdrop configuration: its figures, its points' randoms and size seeds, and
/// the figures' positions ready for the position buffers. A new point count or figure list makes a new
/// cloud, which restarts the sequence from the first figure.
class MorphCloud {
public:
    /// Fewer points than this make the figures unreadable.
    static constexpr std::size_t minimumPointCount = 200;
    /// The seed that makes every run draw the same cloud.
    static constexpr std::uint32_t seed = 20260821;
    /// The word the wordmark figure spells.
    static constexpr QStringView wordmarkText = u"Connect";

    /// The figures shown when a screen asks for none.
    static std::vector<MorphShape> defaultShapes();

    MorphCloud(std::vector<MorphShape> shapes, std::size_t pointCount);

    const std::vector<MorphShape>& shapes() const { return shapes_; }
    std::size_t pointCount() const { return randoms_.size(); }
    const std::vector<PointRandoms>& randoms() const { return randoms_; }
    /// One fraction in [0, 1) per point that sets its size.
    const std::vector<float>& seeds() const { return seeds_; }

    /// The positions of the figure at `step` in the looping sequence: step 0 fills the first buffer,
    /// step 1 the second, so a one-figure list fills both with the same figure. The wordmark's points
    /// come from `wordmark`; where no font draws the word, its scatter stands in so no point is left
    /// unset.
    std::vector<MorphPoint> figure(std::size_t step, WordmarkPoints& wordmark) const;

private:
    std::vector<MorphShape> shapes_;
    std::vector<PointRandoms> randoms_;
    std::vector<float> seeds_;
};

} // namespace tarnwick
