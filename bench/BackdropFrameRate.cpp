// Frames per second of a discovery-sized window showing the backdrop's point cloud while it searches:
// 940 × 620 points, 6500 points, the light band on. Counts the frames shown over ten seconds after a
// one-second warm-up. With `--grab file.png` it also saves the last frame.
#include "ConnectUI/Backdrop/MorphFieldView.hpp"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>

namespace {

using namespace std::chrono_literals;
using tarnwick::MorphFieldView;

constexpr auto warmUp = 1s;
constexpr auto measured = 10s;
constexpr int pointCount = 6500;

void configure(MorphFieldView& field) {
    field.setShapes({"scatter", "wordmark", "scatter", "torus", "spiral", "wave", "funnel"});
    field.setPointCount(pointCount);
    field.setInk(Qt::white);
    field.setPointSize(2);
    field.setAlpha(0.3);
    field.setShimmering(true);
    field.setHold(2);
    field.setMorph(2);
    field.setSpin(0.15);
    field.setDistance(5.4);
    field.setEyeHeight(0.75);
}

const char* apiName(QSGRendererInterface::GraphicsApi api) {
    switch (api) {
    case QSGRendererInterface::OpenGL:
        return "OpenGL";
    case QSGRendererInterface::Vulkan:
        return "Vulkan";
    case QSGRendererInterface::Software:
        return "software";
    default:
        return "other";
    }
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    QCommandLineParser options;
    options.addOption({"grab", "Save the last frame to <file>.", "file"});
    options.process(application);

    // Counted on the render thread, so it outlives the window.
    std::atomic<int> frames = 0;
    QElapsedTimer clock;
    QQuickWindow window;
    window.resize(940, 620);
    window.setColor(QColor(0x0d, 0x10, 0x17));
    MorphFieldView field(window.contentItem());
    field.setSize(window.size());
    configure(field);

    QObject::connect(
        &window, &QQuickWindow::frameSwapped, &window, [&frames] { ++frames; }, Qt::DirectConnection);
    QTimer::singleShot(warmUp, &window, [&] {
        frames = 0;
        clock.start();
    });
    QTimer::singleShot(warmUp + measured, &window, [&] {
        const double fps = frames / (static_cast<double>(clock.nsecsElapsed()) * 1e-9);
        std::printf("graphics API: %s\n", apiName(window.rendererInterface()->graphicsApi()));
        std::printf("backdrop %.1f fps at %d points\n", fps, pointCount);
        if (options.isSet("grab")) {
            window.grabWindow().save(options.value("grab"));
        }
        application.quit();
    });
    window.show();
    return application.exec();
}
