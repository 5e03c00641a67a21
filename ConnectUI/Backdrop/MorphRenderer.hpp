#pragma once

#include "ConnectUI/Backdrop/MorphCloud.hpp"
#include "ConnectUI/Backdrop/MorphConfig.hpp"
#include "ConnectUI/Backdrop/MorphMaterial.hpp"
#include "ConnectUI/Backdrop/MorphSequence.hpp"

#include <QSGGeometry>
#include <QSGGeometryNode>
#include <QSizeF>

#include <cstddef>
#include <optional>

namespace tarnwick {

class WordmarkPoints;

/// The backdrop's scene-graph node: one point primitive per cloud point, blended on the GPU between
/// the figure being left and the figure being formed. The positions are written only when a new figure
/// starts forming or the cloud changes; other frames change only the uniforms. Render thread only,
/// while the view's thread waits.
class MorphRenderer : public QSGGeometryNode {
public:
    MorphRenderer();

    /// Takes the view's parameters at `now` seconds on the view's clock. A new point count or figure
    /// list starts a new cloud from its first figure; new timings carry on from the figures shown.
    void configure(const MorphConfig& config, WordmarkPoints& wordmark, double now);

    /// Sets up the frame drawn at `now` for an item of `itemSize` on a screen of `devicePixelRatio`.
    void prepareFrame(double now, QSizeF itemSize, double devicePixelRatio, WordmarkPoints& wordmark);

private:
    void rebuild(WordmarkPoints& wordmark, double now);
    void writeTarget(std::size_t step, WordmarkPoints& wordmark);

    QSGGeometry geometry_;
    MorphMaterial material_;
    MorphConfig config_;
    std::optional<MorphCloud> cloud_;
    MorphSequence sequence_{0, 0};
    /// Figures shown under earlier timings, so that the sequence's steps continue the loop.
    std::size_t stepOffset_ = 0;
    double start_ = 0;
};

} // namespace tarnwick
