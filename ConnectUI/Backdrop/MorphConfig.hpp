#pragma once

#include "ConnectUI/Backdrop/MorphShape.hpp"

#include <QColor>

#include <array>
#include <cstddef>
#include <vector>

namespace tarnwick {

/// The renderer's copy of the backdrop's parameters, with the view's values made safe to draw with.
struct MorphConfig {
    /// The parameters as a screen sets them on the view.
    struct ViewValues {
        std::vector<MorphShape> shapes;
        int pointCount = 4000;
        QColor ink = Qt::white;
        double alpha = 0.3;
        double pointSize = 2;
        double hold = 2;
        double morph = 2;
        double spin = 0.15;
        double distance = 5.4;
        double eyeHeight = 0.75;
        bool shimmering = false;
        bool isVisible = true;
    };

    /// More points than this would take more memory than any screen is worth, so a mistyped count
    /// cannot exhaust it.
    static constexpr std::size_t maximumPointCount = 200'000;

    std::vector<MorphShape> shapes;
    std::size_t pointCount = 0;
    std::array<float, 3> ink{1, 1, 1};
    float alpha = 0;
    float pointSize = 0;
    double hold = 0;
    double morph = 0;
    double spin = 0;
    double distance = 0;
    double eyeHeight = 0;
    bool shimmering = false;
    bool isVisible = false;

    /// The figures default when none are given, the point count is kept within what draws readable
    /// figures and fits in memory, and the ink is taken in sRGB, white when the colour is invalid.
    static MorphConfig derive(const ViewValues& values);

    friend bool operator==(const MorphConfig&, const MorphConfig&) = default;
};

} // namespace tarnwick
