#include "ConnectUI/Backdrop/MorphCloud.hpp"
#include "ConnectUI/Backdrop/MorphMaterial.hpp"
#include "ConnectUI/Backdrop/MorphRenderer.hpp"
#include "ConnectUI/Backdrop/WordmarkPoints.hpp"
#include "tests/Support/QtApplication.hpp"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

// The node's geometry and material are plain data: the tests read what a frame would draw without a GPU.
class MorphRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::qtApplication();
        values.shapes = {MorphShape::scatter, MorphShape::torus, MorphShape::sphere};
        values.pointCount = 300;
        values.hold = 1;
        values.morph = 1;
    }

    void configure(double now) { renderer.configure(MorphConfig::derive(values), wordmark, now); }
    void frame(double now) { renderer.prepareFrame(now, QSizeF(940, 620), 2, wordmark); }

    // The positions in one of the two slots of every vertex: 0 for "from", 3 for "to".
    std::vector<MorphPoint> slot(int offset) {
        const auto* data = static_cast<const float*>(renderer.geometry()->vertexData());
        std::vector<MorphPoint> points;
        for (int i = 0; i < renderer.geometry()->vertexCount(); ++i) {
            const float* vertex = data + 7 * i + offset;
            points.push_back({vertex[0], vertex[1], vertex[2]});
        }
        return points;
    }

    void expectFigures(std::size_t from, std::size_t to) {
        const MorphCloud cloud(values.shapes, static_cast<std::size_t>(values.pointCount));
        EXPECT_EQ(slot(0), cloud.figure(from, wordmark)) << "from " << from;
        EXPECT_EQ(slot(3), cloud.figure(to, wordmark)) << "to " << to;
    }

    const MorphMaterial::Frame& uniforms() {
        return static_cast<MorphMaterial*>(renderer.material())->frame();
    }

    MorphConfig::ViewValues values;
    WordmarkPoints wordmark;
    MorphRenderer renderer;
};

TEST_F(MorphRendererTest, WritesTheNextFigureOnlyWhenANewCycleBegins) {
    configure(10);
    frame(10.5);
    ASSERT_EQ(renderer.geometry()->vertexCount(), 300);
    expectFigures(0, 1);
    EXPECT_EQ(uniforms().t, 0);
    frame(11.5);
    expectFigures(0, 1);
    EXPECT_FLOAT_EQ(uniforms().t, 0.5f);
    frame(12.1);
    expectFigures(1, 2);
    frame(14.1);
    expectFigures(2, 3);
}

TEST_F(MorphRendererTest, NewTimingsCarryOnAndANewCountOrFigureListRestartsFromTheFirstFigure) {
    configure(0);
    frame(0);
    frame(2.5);
    expectFigures(1, 2);
    values.hold = 3;
    configure(2.6);
    frame(2.6);
    expectFigures(1, 2);
    frame(4.1);
    expectFigures(2, 3);
    values.pointCount = 400;
    configure(5);
    frame(5);
    expectFigures(0, 1);
    values.shapes = {MorphShape::wave};
    configure(6);
    frame(6);
    expectFigures(0, 0);
}

} // namespace
} // namespace tarnwick
