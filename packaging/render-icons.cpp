// render-icons: writes the application icon into an icon theme tree at build time, from the brand mark
// the application draws itself, so the launcher's icon and the tray's never drift apart.
//   render-icons ROOT NAME  →  ROOT/scalable/apps/NAME.svg and ROOT/<N>x<N>/apps/NAME.png
#include "ConnectUI/Brand/BrandAssets.hpp"

#include <QFile>

#include <filesystem>
#include <iostream>
#include <string>

namespace {

bool writeFile(const std::filesystem::path& path, const QByteArray& data) {
    std::filesystem::create_directories(path.parent_path());
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: render-icons ROOT NAME\n";
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const std::string name = argv[2];
    if (!writeFile(root / "scalable" / "apps" / (name + ".svg"), tarnwick::BrandAssets::badgeSVG())) {
        std::cerr << "render-icons: cannot write the scalable icon under " << root << '\n';
        return 1;
    }
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const std::string size = std::to_string(side) + "x" + std::to_string(side);
        const auto path = root / size / "apps" / (name + ".png");
        std::filesystem::create_directories(path.parent_path());
        if (!tarnwick::BrandAssets::badge(side).save(QString::fromStdString(path.string()), "PNG")) {
            std::cerr << "render-icons: cannot write " << path << '\n';
            return 1;
        }
    }
    return 0;
}
