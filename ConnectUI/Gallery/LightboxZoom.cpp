#include "ConnectUI/Gallery/LightboxZoom.hpp"

#include <algorithm>
#include <cmath>

namespace tarnwick {

void LightboxZoom::pinch(double magnification) {
    // A gesture that reports nonsense leaves the zoom where it was rather than blanking the preview.
    if (std::isfinite(magnification)) {
        setScale(std::clamp(magnification * committed_, minimum, maximum));
    }
}

void LightboxZoom::toggle() {
    setScale(scale_ > minimum ? minimum : 2);
    committed_ = scale_;
}

void LightboxZoom::setScale(double scale) {
    if (scale != scale_) {
        scale_ = scale;
        Q_EMIT scaleChanged();
    }
}

} // namespace tarnwick
