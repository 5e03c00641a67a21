#include "ConnectUI/Backdrop/MorphMaterial.hpp"

#include <QFile>
#include <QSGMaterialShader>

#include <cstring>

namespace tarnwick {
namespace {

const QString vertexShader = QStringLiteral(":/backdrop/morph.vert.qsb");
const QString fragmentShader = QStringLiteral(":/backdrop/morph.frag.qsb");

// Offsets of the uniform block the two stages share (std140).
enum UniformOffset : int {
    matrixOffset = 0,
    viewProjectionOffset = 64,
    inkOffset = 128,
    tOffset = 140,
    itemSizeOffset = 144,
    pointSizeOffset = 152,
    alphaOffset = 156,
    shimmerOffset = 160,
    opacityOffset = 164,
    uniformSize = 168,
};

class MorphMaterialShader : public QSGMaterialShader {
public:
    MorphMaterialShader() {
        setShaderFileName(VertexStage, vertexShader);
        setShaderFileName(FragmentStage, fragmentShader);
    }

    // Everything is written every time: the camera moves on every frame anyway.
    bool updateUniformData(RenderState& state, QSGMaterial* newMaterial, QSGMaterial*) override {
        QByteArray& buffer = *state.uniformData();
        Q_ASSERT(buffer.size() >= uniformSize);
        const MorphMaterial::Frame& frame = static_cast<const MorphMaterial*>(newMaterial)->frame();
        const auto put = [&buffer](int offset, const void* value, std::size_t size) {
            std::memcpy(buffer.data() + offset, value, size);
        };
        const auto putFloat = [&put](int offset, float value) { put(offset, &value, sizeof value); };
        put(matrixOffset, state.combinedMatrix().constData(), 16 * sizeof(float));
        put(viewProjectionOffset, frame.viewProjection.constData(), 16 * sizeof(float));
        put(inkOffset, frame.ink.data(), sizeof frame.ink);
        putFloat(tOffset, frame.t);
        putFloat(itemSizeOffset, static_cast<float>(frame.itemSize.width()));
        putFloat(itemSizeOffset + 4, static_cast<float>(frame.itemSize.height()));
        putFloat(pointSizeOffset, frame.pointSize);
        putFloat(alphaOffset, frame.alpha);
        putFloat(shimmerOffset, frame.shimmer);
        putFloat(opacityOffset, state.opacity());
        return true;
    }
};

} // namespace

// The shader reads the item's full matrix, so the scene graph must not merge the node with others.
MorphMaterial::MorphMaterial() {
    setFlag(Blending | RequiresFullMatrix);
}

bool MorphMaterial::shadersAvailable() {
    return QFile::exists(vertexShader) && QFile::exists(fragmentShader);
}

QSGMaterialType* MorphMaterial::type() const {
    static QSGMaterialType type;
    return &type;
}

QSGMaterialShader* MorphMaterial::createShader(QSGRendererInterface::RenderMode) const {
    return new MorphMaterialShader;
}

} // namespace tarnwick
