#pragma once

#include <QMatrix4x4>
#include <QVector3D>

namespace tarnwick {

/// Where the backdrop is seen from: a camera circling the origin at `spin` radians per second with a
/// slow bob in height, and the light band sweeping through the cloud.
class MorphCamera {
public:
    /// The vertical scale of the perspective: a field of view of 0.72 radians.
    static constexpr float verticalScale = 2.656728f;
    static constexpr float nearPlane = 0.1f;
    static constexpr float farPlane = 60.0f;

    /// The eye `elapsed` seconds after the start.
    static QVector3D eye(double elapsed, double spin, double distance, double eyeHeight);

    /// Right-handed perspective for a drawable of the given width / height.
    static QMatrix4x4 projection(double aspect);

    /// Projection times the view from `eye` looking at the origin, y up.
    static QMatrix4x4 viewProjection(double elapsed, double spin, double distance, double eyeHeight,
                                     double aspect);

    /// Where the light band stands across the model's x axis, from −0.3 to 1.3; −1 when it is off.
    static float shimmer(double elapsed, bool shimmering);
};

} // namespace tarnwick
