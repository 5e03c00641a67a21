#include "ConnectUI/Backdrop/MorphFieldView.hpp"
#include "tests/Support/QtApplication.hpp"

#include <QQuickWindow>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

class MorphFieldViewTest : public ::testing::Test {
protected:
    void SetUp() override { testing::qtApplication(); }
};

TEST_F(MorphFieldViewTest, AListWithAnUnknownFigureIsRefusedAndTheFiguresStay) {
    MorphFieldView view;
    QSignalSpy changes(&view, &MorphFieldView::shapesChanged);
    view.setShapes({"torus", "wordmark"});
    EXPECT_EQ(view.shapes(), QStringList({"torus", "wordmark"}));
    view.setShapes({"torus", "cube"});
    EXPECT_EQ(view.shapes(), QStringList({"torus", "wordmark"}));
    view.setShapes({"torus", "wordmark"});
    EXPECT_EQ(changes.count(), 1);
}

// Without a GPU the scene graph draws in software: the backdrop stays empty and the window still shows.
TEST_F(MorphFieldViewTest, OnTheSoftwareSceneGraphTheWindowShowsWithoutTheBackdrop) {
    const QSGRendererInterface::GraphicsApi previous = QQuickWindow::graphicsApi();
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    {
        QQuickWindow window;
        window.resize(200, 120);
        window.setColor(QColor(10, 20, 30));
        MorphFieldView view(window.contentItem());
        view.setSize(window.size());
        view.setShimmering(true);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const QImage frame = window.grabWindow();
        ASSERT_FALSE(frame.isNull());
        EXPECT_EQ(frame.pixelColor(100, 60), QColor(10, 20, 30));
        EXPECT_EQ(frame.pixelColor(0, 0), QColor(10, 20, 30));
    }
    QQuickWindow::setGraphicsApi(previous);
}

} // namespace
} // namespace tarnwick
