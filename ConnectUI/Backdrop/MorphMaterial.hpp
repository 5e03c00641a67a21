#pragma once

#include <QMatrix4x4>
#include <QSGMaterial>
#include <QSizeF>

#include <array>

namespace tarnwick {

/// How the backdrop's points are drawn: round soft dots blended over what lies beneath, with the
/// camera, the transition and the light band as uniforms. Render thread only.
class MorphMaterial : public QSGMaterial {
public:
    /// What changes from frame to frame.
    struct Frame {
        QMatrix4x4 viewProjection;
        std::array<float, 3> ink{1, 1, 1};
        /// The eased transition progress from the "from" figure to the "to" figure.
        float t = 0;
        /// The item's size in its own coordinates, where the points' device positions are mapped.
        QSizeF itemSize;
        /// In device pixels.
        float pointSize = 0;
        float alpha = 0;
        float shimmer = -1;
    };

    MorphMaterial();

    /// Whether the compiled shaders are in the application's resources; without them there is nothing
    /// to draw with.
    static bool shadersAvailable();

    const Frame& frame() const { return frame_; }
    void setFrame(const Frame& frame) { frame_ = frame; }

    QSGMaterialType* type() const override;
    QSGMaterialShader* createShader(QSGRendererInterface::RenderMode renderMode) const override;

private:
    Frame frame_;
};

} // namespace tarnwick
