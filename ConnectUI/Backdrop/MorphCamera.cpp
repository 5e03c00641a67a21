#include "ConnectUI/Backdrop/MorphCamera.hpp"

#include <algorithm>
#include <cmath>

namespace tarnwick {

QVector3D MorphCamera::eye(double elapsed, double spin, double distance, double eyeHeight) {
    const double angle = spin * elapsed;
    return QVector3D(static_cast<float>(distance * std::sin(angle)),
                     static_cast<float>(eyeHeight + 0.22 * std::sin(0.11 * elapsed)),
                     static_cast<float>(distance * std::cos(angle)));
}

QMatrix4x4 MorphCamera::projection(double aspect) {
    // A degenerate drawable (zero height while a window is laid out) must not divide by zero.
    const auto horizontalScale = static_cast<float>(verticalScale / std::max(aspect, 0.0001));
    const float depth = (farPlane + nearPlane) / (nearPlane - farPlane);
    const float offset = 2 * farPlane * nearPlane / (nearPlane - farPlane);
    return QMatrix4x4(horizontalScale, 0, 0, 0, //
                      0, verticalScale, 0, 0,   //
                      0, 0, depth, offset,      //
                      0, 0, -1, 0);
}

QMatrix4x4 MorphCamera::viewProjection(double elapsed, double spin, double distance, double eyeHeight,
                                       double aspect) {
    QMatrix4x4 view;
    view.lookAt(eye(elapsed, spin, distance, eyeHeight), QVector3D(0, 0, 0), QVector3D(0, 1, 0));
    return projection(aspect) * view;
}

float MorphCamera::shimmer(double elapsed, bool shimmering) {
    if (!shimmering) {
        return -1;
    }
    return static_cast<float>(std::fmod(elapsed / 2.6, 1.6) - 0.3);
}

} // namespace tarnwick
