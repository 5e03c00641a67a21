#include "ConnectUI/Backdrop/MorphRenderer.hpp"

#include "ConnectUI/Backdrop/MorphCamera.hpp"

#include <algorithm>
#include <iterator>

namespace tarnwick {
namespace {

// One vertex per point, as the vertex stage reads it at locations 0, 1 and 2.
struct MorphVertex {
    float from[3];
    float to[3];
    float seed;
};

const QSGGeometry::AttributeSet& vertexAttributes() {
    static const QSGGeometry::Attribute attributes[] = {
        QSGGeometry::Attribute::createWithAttributeType(0, 3, QSGGeometry::FloatType,
                                                        QSGGeometry::PositionAttribute),
        QSGGeometry::Attribute::createWithAttributeType(1, 3, QSGGeometry::FloatType,
                                                        QSGGeometry::UnknownAttribute),
        QSGGeometry::Attribute::createWithAttributeType(2, 1, QSGGeometry::FloatType,
                                                        QSGGeometry::UnknownAttribute),
    };
    static const QSGGeometry::AttributeSet set{3, sizeof(MorphVertex), attributes};
    return set;
}

MorphVertex* vertices(QSGGeometry& geometry) {
    return static_cast<MorphVertex*>(geometry.vertexData());
}

} // namespace

MorphRenderer::MorphRenderer() : geometry_(vertexAttributes(), 0) {
    geometry_.setDrawingMode(QSGGeometry::DrawPoints);
    // Uploaded only when marked dirty: the positions change once a cycle, not every frame.
    geometry_.setVertexDataPattern(QSGGeometry::StaticPattern);
    setGeometry(&geometry_);
    setMaterial(&material_);
}

void MorphRenderer::configure(const MorphConfig& config, WordmarkPoints& wordmark, double now) {
    const bool newCloud =
        !cloud_ || config.pointCount != config_.pointCount || config.shapes != config_.shapes;
    const bool retimed = config.hold != config_.hold || config.morph != config_.morph;
    config_ = config;
    if (newCloud) {
        rebuild(wordmark, now);
    } else if (retimed) {
        stepOffset_ += sequence_.figureStep();
        sequence_ = MorphSequence(config_.hold, config_.morph);
    }
}

void MorphRenderer::rebuild(WordmarkPoints& wordmark, double now) {
    cloud_.emplace(config_.shapes, config_.pointCount);
    sequence_ = MorphSequence(config_.hold, config_.morph);
    stepOffset_ = 0;
    start_ = now;
    geometry_.allocate(static_cast<int>(cloud_->pointCount()));
    MorphVertex* vertex = vertices(geometry_);
    std::fill_n(vertex, cloud_->pointCount(), MorphVertex{});
    for (const float seed : cloud_->seeds()) {
        (vertex++)->seed = seed;
    }
    writeTarget(0, wordmark);
    writeTarget(1, wordmark);
}

// Moves the figure being formed into the "from" slot and writes the figure at `step` as the new one
// being formed; on a new cloud, step 0 then step 1 fill both slots.
void MorphRenderer::writeTarget(std::size_t step, WordmarkPoints& wordmark) {
    const std::vector<MorphPoint> figure = cloud_->figure(step, wordmark);
    MorphVertex* vertex = vertices(geometry_);
    for (const MorphPoint& point : figure) {
        std::copy(std::begin(vertex->to), std::end(vertex->to), vertex->from);
        vertex->to[0] = point.x;
        vertex->to[1] = point.y;
        vertex->to[2] = point.z;
        ++vertex;
    }
    geometry_.markVertexDataDirty();
    markDirty(DirtyGeometry);
}

void MorphRenderer::prepareFrame(double now, QSizeF itemSize, double devicePixelRatio,
                                 WordmarkPoints& wordmark) {
    const double elapsed = now - start_;
    if (const std::optional<std::size_t> step = sequence_.advance(elapsed)) {
        writeTarget(stepOffset_ + *step, wordmark);
    }
    const double aspect = itemSize.height() > 0 ? itemSize.width() / itemSize.height() : 1;
    material_.setFrame({
        .viewProjection =
            MorphCamera::viewProjection(elapsed, config_.spin, config_.distance, config_.eyeHeight, aspect),
        .ink = config_.ink,
        .t = sequence_.progress(elapsed),
        .itemSize = itemSize,
        .pointSize = static_cast<float>(config_.pointSize * devicePixelRatio),
        .alpha = config_.alpha,
        .shimmer = MorphCamera::shimmer(elapsed, config_.shimmering),
    });
    markDirty(DirtyMaterial);
}

} // namespace tarnwick
