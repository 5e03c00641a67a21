// The real windows on a real X server (Xvfb, started by the test command): the main window on both tabs
// and the menu panel render with their texts, and files dropped on the connect pane go to the connected
// device. Run inside a network namespace of the test's own, where loopback is the only interface.
#include "ConnectUI/Brand/BrandAssets.hpp"
#include "ConnectUI/Shell/ConnectApp.hpp"
#include "ConnectUI/Shell/LaunchRequest.hpp"
#include "ConnectUI/Shell/StatusItemController.hpp"
#include "ConnectUI/SignIn/SignInHandOff.hpp"
#include "ConnectUI/ViewModels/ConnectModel.hpp"
#include "ConnectUI/ViewModels/KeyedListModel.hpp"
#include "tests/Support/LoopbackInstances.hpp"
#include "tests/Support/ScriptedHTTPServer.hpp"
#include "tests/Support/TemporaryDirectory.hpp"

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QMimeData>
#include <QPainter>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <set>

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

using testing::waitFor;

/// Where the test command keeps the screenshots, else beside the test program.
std::string screenshotFolder() {
    const char* folder = std::getenv("TARNWICK_SCREENSHOTS");
    return folder ? folder : ".";
}

class WindowTest : public testing::LoopbackInstances {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != "xcb") {
            GTEST_SKIP() << "needs an X server";
        }
        LoopbackInstances::SetUp();
    }

    /// The windows of `instance`, which they start, once the main window has drawn its first frame.
    ConnectApp& shellFor(Instance& instance) {
        shell = std::make_unique<ConnectApp>(*instance.state, *instance.profile.settings,
                                             "/usr/bin/tarnwick-connect");
        QObject::connect(shell.get(), &ConnectApp::firstFrame,
                         [this](std::chrono::milliseconds) { drawn = true; });
        shell->launch();
        EXPECT_TRUE(waitFor([&] { return drawn; }));
        return *shell;
    }

    /// The Mac's windows, the Mac signed in and paired with `phone`.
    ConnectApp& pairedShell(Instance& mac, Instance& phone) {
        ConnectApp& app = shellFor(mac);
        EXPECT_TRUE(waitFor([&] { return mac->isSignedIn(); }));
        testing::connectAndPair(*mac.state, *phone.state);
        return app;
    }

    /// Saves what the window shows beside the test program, and whether it holds a picture at all
    /// rather than one flat colour.
    static bool rendered(QQuickWindow& window, const std::string& name) {
        const QImage image = window.grabWindow();
        image.save(QString::fromStdString(screenshotFolder() + "/" + name + ".png"));
        std::set<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3) {
            for (int x = 0; x < image.width(); x += 3) {
                colours.insert(image.pixel(x, y));
            }
        }
        return colours.size() > 20;
    }

    /// The visible text items of the window that show `fragment`.
    static std::vector<QQuickItem*> textsShowing(QQuickWindow& window, const QString& fragment) {
        std::vector<QQuickItem*> found;
        for (QQuickItem* item : window.findChildren<QQuickItem*>()) {
            if (item->inherits("QQuickText") && item->isVisible() &&
                item->property("text").toString().contains(fragment)) {
                found.push_back(item);
            }
        }
        return found;
    }

    /// Whether the item lays its text out as the literal characters: as wide as they are in its font.
    /// Read as markup, "<b>x</b><img …>" would be one bold letter and a picture.
    static bool showsLiterally(const QQuickItem& item) {
        const QString text = item.property("text").toString();
        const double literal = QFontMetricsF(item.property("font").value<QFont>()).horizontalAdvance(text);
        return item.implicitWidth() > 0.9 * literal;
    }

    static QString textOf(QObject& root, const char* objectName) {
        auto* item = root.findChild<QObject*>(objectName);
        return item ? item->property("text").toString() : QString("<no %1>").arg(objectName);
    }

    static QObject& child(QObject& root, const char* objectName) {
        auto* item = root.findChild<QObject*>(objectName);
        if (!item) {
            ADD_FAILURE() << "no " << objectName;
            return root;
        }
        return *item;
    }

    /// Presses a button as a click or the keyboard would.
    static void press(QObject& root, const char* objectName) {
        EXPECT_TRUE(QMetaObject::invokeMethod(&child(root, objectName), "clicked")) << objectName;
    }

    static QFileDialog* openDialog() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible()) {
                return dialog;
            }
        }
        return nullptr;
    }

    /// Waits for the file dialog the application opened and answers it as the user would.
    static void answerDialog(const std::function<void(QFileDialog&)>& answer) {
        ASSERT_TRUE(waitFor([] { return openDialog() != nullptr; }));
        answer(*openDialog());
        ASSERT_TRUE(waitFor([] { return openDialog() == nullptr; }));
    }

    /// Drags the files over the window's middle and drops them there; `whileOver` runs before the drop.
    static void drop(QQuickWindow& window, const std::vector<std::filesystem::path>& files,
                     const std::function<void()>& whileOver = {}) {
        QMimeData data;
        QList<QUrl> urls;
        for (const auto& file : files) {
            urls.append(QUrl::fromLocalFile(QString::fromStdString(file.string())));
        }
        data.setUrls(urls);
        const QPointF centre(window.width() / 2.0, window.height() / 2.0);
        QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QDragMoveEvent move(centre.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &move);
        if (whileOver) {
            whileOver();
        }
        QDropEvent dropped(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &dropped);
    }

    /// An item of the window by name, through the visual tree: delegates of views and repeaters, and
    /// popups, have no object parent to find them by.
    static QQuickItem* item(QQuickItem* root, const QString& objectName) {
        if (root->objectName() == objectName) {
            return root;
        }
        for (QQuickItem* child : root->childItems()) {
            if (QQuickItem* found = item(child, objectName)) {
                return found;
            }
        }
        return nullptr;
    }

    static bool shows(QObject& root, const char* objectName) {
        auto* item = qobject_cast<QQuickItem*>(root.findChild<QObject*>(objectName));
        return item && item->isVisible();
    }

    std::unique_ptr<ConnectApp> shell;
    bool drawn = false;
};

TEST_F(WindowTest, TheFirstLaunchOpensTheWindowAndEveryScreenRenders) {
    auto& mac = add("Studio", std::nullopt);
    auto& app = shellFor(mac);
    QQuickWindow& window = *app.mainWindow();
    EXPECT_TRUE(mac.profile.settings->value(ConnectApp::hasLaunchedKey).toBool());
    EXPECT_EQ(window.size(), QSize(940, 620));
    ASSERT_TRUE(waitFor([&] { return mac->availability().state == Availability::Case::ready; }));
    EXPECT_EQ(StatusItemController::statusOf(*mac.state), BrandAssets::Status::ready);

    EXPECT_EQ(textOf(window, "headline"), "Sign in to Tarnwick");
    EXPECT_EQ(textOf(window, "subtitle"),
              "Your account is how this computer and your phone recognise each other.");
    EXPECT_EQ(textOf(window, "galleryEmpty"), "Nothing has moved yet.");
    EXPECT_TRUE(shows(window, "galleryEmpty"));
    QTest::qWait(1200); // the launch curtain lifts
    EXPECT_TRUE(rendered(window, "main-connect"));

    // Asking twice for the settings tab switches to it each time, even after the user went back.
    app.openMainWindow("settings");
    ASSERT_TRUE(waitFor([&] { return window.property("tab").toString() == "settings"; }));
    window.setProperty("tab", "connect");
    app.openMainWindow("settings");
    ASSERT_TRUE(waitFor([&] { return window.property("tab").toString() == "settings"; }));
    QTest::qWait(600); // the panes slide
    EXPECT_TRUE(textOf(window, "connectionStatus").startsWith("Listening on port "));
    EXPECT_TRUE(rendered(window, "main-settings"));

    window.close(); // closing the window leaves the application running
    EXPECT_FALSE(QCoreApplication::closingDown());
    mac->onPairingRequested();
    QQuickWindow& panel = *app.menuPanel();
    ASSERT_TRUE(waitFor([&] { return panel.isExposed(); }));
    QTest::qWait(300);
    EXPECT_TRUE(rendered(panel, "menu-panel"));
    EXPECT_TRUE(panel.findChild<QObject*>("menuPanel"));
}

// A browser closed without answering never comes back: the window offers "Cancel" while it waits, and
// "Sign In" again afterwards.
TEST_F(WindowTest, ASignInCancelledFromTheWindowCanStartAgain) {
    auto& mac = add("Studio", std::nullopt);
    auto& app = shellFor(mac);
    QQuickWindow& window = *app.mainWindow();
    EXPECT_EQ(child(window, "avatar").property("label").toString(), "Not signed in");
    ASSERT_TRUE(waitFor([&] { return shows(window, "signInButton"); }));

    press(window, "signInButton");
    ASSERT_TRUE(waitFor([&] { return textOf(window, "headline") == "Signing in…"; }));
    EXPECT_TRUE(shows(window, "cancelSignInButton"));
    EXPECT_FALSE(shows(window, "signInButton"));
    QTest::qWait(1200); // the launch curtain lifts
    EXPECT_TRUE(rendered(window, "signing-in"));

    press(window, "cancelSignInButton");
    ASSERT_TRUE(waitFor([&] { return !mac->isSigningIn() && shows(window, "signInButton"); }));
    EXPECT_EQ(textOf(window, "headline"), "Sign in to Tarnwick");
    EXPECT_FALSE(mac->signInError()) << "the user's own cancel needs no message";
    press(window, "signInButton");
    EXPECT_TRUE(mac->isSigningIn());
}

// Stock GNOME shows no tray icons: closing the window must ask nothing and leave the application
// running and reachable again, and the window's own menu must offer the way out.
TEST_F(WindowTest, WithoutATrayClosingTheWindowKeepsTheApplicationAndItsMenuQuits) {
    ASSERT_FALSE(StatusItemController::isAvailable()) << "a bare X server has no tray host";
    auto& mac = add("Studio", std::nullopt);
    mac.profile.settings->setValue(ConnectApp::hasLaunchedKey, true);
    auto& app = shellFor(mac);
    QQuickWindow& window = *app.mainWindow();
    ASSERT_TRUE(window.isExposed()) << "trayless: the window opens every time";

    window.close();
    QTest::qWait(200);
    EXPECT_FALSE(QCoreApplication::closingDown());
    for (QWindow* shown : QGuiApplication::topLevelWindows()) {
        EXPECT_FALSE(shown->isVisible()) << "nothing asks: " << shown->title().toStdString();
    }
    app.openMainWindow("connect");
    ASSERT_TRUE(waitFor([&] { return window.isExposed(); }));

    auto* quit = window.findChild<QObject*>("quitItem");
    ASSERT_TRUE(quit);
    EXPECT_EQ(quit->property("text").toString(), "Quit");
    QSignalSpy quitting(qmlEngine(&window), &QQmlEngine::quit);
    ASSERT_TRUE(QMetaObject::invokeMethod(quit, "triggered"));
    EXPECT_EQ(quitting.count(), 1);
}

// Without a tray the panel cannot be opened, so the window raises the prompt over the connect pane; the
// answer given there closes the panel's copy of it.
TEST_F(WindowTest, APairingIsAnsweredFromTheWindowsSheetWithoutATray) {
    auto& phone = launch("Phone");
    auto& mac = add("Studio", testing::accountOf("user-Studio"));
    auto& app = shellFor(mac);
    QQuickWindow& window = *app.mainWindow();
    ASSERT_TRUE(waitFor([&] { return mac->isSignedIn(); }));
    window.close();

    mac->connect(testing::loopbackPeer(*phone.state));
    ASSERT_TRUE(waitFor([&] { return mac->pendingPairing().has_value() && window.isExposed(); }))
        << "the prompt brings the window back";
    ASSERT_TRUE(waitFor([&] { return shows(window, "pairingSheet"); }));
    const QString code = QString::fromStdString(mac->pendingPairing()->code);
    EXPECT_EQ(textOf(child(window, "pairingSheet"), "pairingCode"), code);
    EXPECT_EQ(textOf(*app.menuPanel(), "pairingCode"), code) << "the panel shows the same prompt";
    QTest::qWait(1200); // the launch curtain lifts
    EXPECT_TRUE(rendered(window, "pairing-sheet"));

    press(child(window, "pairingSheet"), "approvePairing");
    ASSERT_TRUE(waitFor([&] { return !mac->pendingPairing(); })) << "answered once the click is handled";
    ASSERT_TRUE(waitFor([&] { return !shows(window, "pairingSheet"); }));
    EXPECT_TRUE(waitFor([&] { return !app.menuPanel()->findChild<QObject*>("pairingPrompt"); }))
        << "the panel's prompt closed too";
    ASSERT_TRUE(waitFor([&] { return phone->pendingPairing().has_value(); }));
    phone->approvePendingPairing();
    ASSERT_TRUE(waitFor([&] { return !mac->connectedDevices().empty(); }));
}

// Files chosen with "Send Files…" in the desktop's chooser, or dropped on the connect pane, go to the
// connected device; a folder sends the files inside it as rows of their own, an unreadable one is named
// and the rest go.
TEST_F(WindowTest, FilesChosenOrInADroppedFolderArriveOneByOne) {
    auto& phone = launch("Phone");
    auto account = testing::accountOf("user-Studio");
    account.email.reset();
    auto& mac = add("Studio", account);
    QQuickWindow& window = *pairedShell(mac, phone).mainWindow();
    EXPECT_EQ(child(window, "avatar").property("label").toString(), "user-Studio")
        << "an account without an e-mail shows its subject";
    ASSERT_TRUE(waitFor([&] { return shows(window, "sendFilesButton"); }));
    EXPECT_EQ(textOf(window, "headline"), "Drop files to send");

    testing::TemporaryDirectory folder;
    const auto chosen = folder.path() / "chosen.txt";
    std::ofstream(chosen) << "picked in the chooser";
    press(window, "sendFilesButton");
    answerDialog([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Send Files");
        dialog.setDirectory(QString::fromStdString(folder.path().string()));
        dialog.selectFile("chosen.txt");
        EXPECT_EQ(dialog.selectedFiles(), QStringList{QString::fromStdString(chosen.string())});
        QMetaObject::invokeMethod(&dialog, "accept");
    });
    ASSERT_EQ(mac->transfers().size(), 1u) << "the chosen file is listed at once";
    ASSERT_TRUE(waitFor([&] { return phone->received().size() == 1; }));
    EXPECT_EQ(phone->received().front().name, "chosen.txt");

    const auto trip = folder.path() / "trip";
    std::filesystem::create_directories(trip / "day two");
    for (const char* name : {"one.txt", "two.txt", "day two/three.txt"}) {
        std::ofstream(trip / name) << "in the folder: " << name;
    }
    std::filesystem::create_symlink(folder.path() / "moved-away.txt", trip / "gone.txt");
    drop(window, {trip}, [&] { EXPECT_EQ(textOf(window, "headline"), "Release to send"); });
    EXPECT_EQ(StatusItemController::statusOf(*mac.state), BrandAssets::Status::transferring);
    ASSERT_TRUE(waitFor([&] { return phone->received().size() == 4 && mac->activeTransfers().empty(); }));
    std::set<std::string> arrived;
    for (const auto& file : phone->received()) {
        arrived.insert(file.name);
    }
    EXPECT_EQ(arrived, (std::set<std::string>{"chosen.txt", "one.txt", "two.txt", "three.txt"}));
    ASSERT_EQ(mac->transfers().size(), 5u) << "one row per file, the unreadable one included";
    const auto& gone = *std::ranges::find(mac->transfers(), std::string("gone.txt"), &TransferItem::name);
    EXPECT_EQ(gone.state, TransferItem::State::failed("Couldn't read gone.txt."));
    EXPECT_EQ(std::ranges::count(mac->transfers(), TransferItem::State::finished(), &TransferItem::state), 4);
    EXPECT_EQ(StatusItemController::statusOf(*mac.state), BrandAssets::Status::ready);
    QTest::qWait(600);
    EXPECT_TRUE(rendered(window, "send-files"));
}

// Each folder chooser says what its folder is for and opens where that folder is; "Reset" stays
// available for a stored choice even when its folder is gone. The name field keeps what is typed.
TEST_F(WindowTest, TheSettingsChoosersAskTheirOwnQuestionAndTheNameFieldKeepsEdits) {
    auto& mac = add("Studio", std::nullopt);
    auto& app = shellFor(mac);
    QQuickWindow& window = *app.mainWindow();
    app.openMainWindow("settings");

    testing::TemporaryDirectory folder;
    const auto chosen = folder.path() / "Incoming";
    std::filesystem::create_directory(chosen);
    const auto before = mac->receiveFolder();
    std::filesystem::create_directories(before);
    EXPECT_FALSE(child(window, "resetDownloadsButton").property("enabled").toBool());
    press(window, "chooseDownloadsButton");
    answerDialog([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Files sent to this computer are saved in this folder.");
        EXPECT_EQ(dialog.labelText(QFileDialog::Accept), "Save Here");
        EXPECT_EQ(dialog.directory().absolutePath().toStdString(), before.string());
        EXPECT_EQ(dialog.fileMode(), QFileDialog::Directory);
        dialog.selectFile(QString::fromStdString(chosen.string()));
        QMetaObject::invokeMethod(&dialog, "accept");
    });
    EXPECT_EQ(mac->receiveFolder(), chosen);
    EXPECT_TRUE(child(window, "resetDownloadsButton").property("enabled").toBool());

    press(window, "addWatchFolderButton");
    answerDialog([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Files finished in this folder are sent automatically.");
        EXPECT_EQ(dialog.labelText(QFileDialog::Accept), "Watch Folder");
        EXPECT_EQ(dialog.directory().absolutePath(), QDir::homePath());
        dialog.reject();
    });
    EXPECT_TRUE(mac->watchFolders()->folders().empty()) << "a cancelled chooser adds nothing";

    // Typing, then a name given elsewhere: the field keeps the typing until it is committed.
    auto& name = dynamic_cast<QQuickItem&>(child(window, "nameField"));
    name.forceActiveFocus();
    name.setProperty("text", "Studio Desk");
    mac->setDeviceName("Renamed Elsewhere");
    EXPECT_EQ(name.property("text").toString(), "Studio Desk");
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_EQ(mac->deviceName(), "Studio Desk");
}

// The test's namespace has loopback only, which is no network: with no peer either, the connect pane
// says why nothing shows up.
TEST_F(WindowTest, TheDiagnosisBannerExplainsAnEmptyPeerListWithoutANetwork) {
    auto& mac = add("Studio", testing::accountOf("user-Studio"));
    QQuickWindow& window = *shellFor(mac).mainWindow();
    ASSERT_TRUE(waitFor([&] { return mac->isSignedIn() && shows(window, "diagnosisBanner"); }));
    EXPECT_TRUE(mac->peers().empty());
    EXPECT_EQ(mac->diagnosis(), ReachabilityDiagnosis::offline());
    EXPECT_EQ(textOf(window, "diagnosisText"), "This computer is not on a network.");
    QTest::qWait(1200); // the launch curtain lifts
    EXPECT_TRUE(rendered(window, "diagnosis"));
}

// The lightbox loads the picture itself at the screen's size, not the tile's thumbnail; a file without a
// picture says so. Everything here is reached from the keyboard: tabs, destinations and tiles.
TEST_F(WindowTest, TheKeyboardReachesTabsDestinationsAndTheLightboxShowsFullResolution) {
    auto& phone = launch("Phone");
    auto& mac = add("Studio", testing::accountOf("user-Studio"));
    QQuickWindow& window = *pairedShell(mac, phone).mainWindow();
    QTest::qWait(1200); // the launch curtain lifts

    window.requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window)) << "shortcuts answer in the active window";
    QTest::keyClick(&window, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(window.property("tab").toString(), "settings");
    QTest::keyClick(&window, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(window.property("tab").toString(), "connect");
    auto& settingsTab = dynamic_cast<QQuickItem&>(child(window, "settingsTab"));
    EXPECT_TRUE(settingsTab.activeFocusOnTab());
    settingsTab.forceActiveFocus();
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_EQ(window.property("tab").toString(), "settings");
    QTest::keyClick(&window, Qt::Key_1, Qt::ControlModifier);

    mac->setSelectedPeerID(std::nullopt);
    QQuickItem* destination = item(window.contentItem(), "destination-Phone");
    ASSERT_TRUE(destination);
    EXPECT_TRUE(destination->activeFocusOnTab());
    destination->forceActiveFocus();
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_EQ(mac->selectedPeerID(), mac->connectedDevices().front().id);

    testing::TemporaryDirectory folder;
    const auto photo = folder.path() / "photo.png";
    QImage picture(1200, 900, QImage::Format_RGB32);
    picture.fill(QColor("#3d7a5c"));
    QPainter(&picture).fillRect(300, 200, 600, 500, QColor("#f2c14e"));
    ASSERT_TRUE(picture.save(QString::fromStdString(photo.string())));
    const auto notes = folder.path() / "notes.txt";
    std::ofstream(notes) << "no picture in here";
    mac->send({notes, photo});
    ASSERT_TRUE(waitFor([&] { return mac->activeTransfers().empty() && phone->received().size() == 2; }));

    QQuickItem* tile = nullptr;
    ASSERT_TRUE(waitFor([&] { return (tile = item(window.contentItem(), "galleryTile-photo.png")); }));
    EXPECT_TRUE(tile->activeFocusOnTab());
    tile->forceActiveFocus();
    QTest::keyClick(&window, Qt::Key_Return);
    QObject& lightbox = child(window, "lightbox");
    ASSERT_TRUE(waitFor([&] { return lightbox.property("opened").toBool(); }));
    QQuickItem* preview = item(window.contentItem(), "lightboxPreview");
    ASSERT_TRUE(preview);
    ASSERT_TRUE(waitFor([&] { return preview->property("status").toString() == "ready"; }));
    auto* image = preview->property("image").value<QQuickItem*>();
    ASSERT_TRUE(image);
    ASSERT_TRUE(waitFor([&] { return image->property("sourceSize").toSize() == picture.size(); }))
        << "the picture at its own size, not the tile's " << image->property("sourceSize").toSize().width();
    QTest::qWait(400);
    EXPECT_TRUE(rendered(window, "lightbox"));
    QMetaObject::invokeMethod(&lightbox, "close");
    ASSERT_TRUE(waitFor([&] { return !lightbox.property("visible").toBool(); }));

    // A text file has no picture to preview.
    QQuickItem* notesTile = item(window.contentItem(), "galleryTile-notes.txt");
    ASSERT_TRUE(notesTile);
    notesTile->forceActiveFocus();
    QTest::keyClick(&window, Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] {
        QQuickItem* none = item(window.contentItem(), "noPreview");
        return none && none->isVisible();
    }));
    QMetaObject::invokeMethod(&lightbox, "close");
    ASSERT_TRUE(waitFor([&] { return !lightbox.property("visible").toBool(); }));

    // Buttons answer Enter as well as Space: the filter that leaves nothing says so.
    QQuickItem* onlyReceived = item(window.contentItem(), "filter-received");
    ASSERT_TRUE(onlyReceived);
    onlyReceived->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_EQ(textOf(window, "galleryEmpty"), "Nothing received yet.");
    EXPECT_TRUE(shows(window, "galleryEmpty"));
}

// Launching the program again while it runs hands its files to the running instance, over the socket
// that also carries the sign-in's return, and brings the closed window back.
TEST_F(WindowTest, ASecondLaunchRaisesTheWindowAndSendsItsFilesToTheSelectedDevice) {
    auto& phone = launch("Phone");
    auto& mac = add("Studio", testing::accountOf("user-Studio"));
    auto& app = pairedShell(mac, phone);
    QQuickWindow& window = *app.mainWindow();
    window.close();

    SignInHandOff handOff;
    const QString name = SignInHandOff::serverName(mac.profile.home);
    ASSERT_TRUE(handOff.listen(name, [&](const std::string& line) { EXPECT_TRUE(app.answerLaunch(line)); }));
    testing::TemporaryDirectory folder;
    std::vector<std::filesystem::path> files;
    for (const char* file : {"one.txt", "two words.txt"}) {
        files.push_back(folder.path() / file);
        std::ofstream(files.back()) << "opened with " << file;
    }
    const auto lines = LaunchRequest{files}.encode(40);
    ASSERT_EQ(lines.size(), 2u) << "a list longer than a line is split";
    for (const auto& line : lines) {
        ASSERT_TRUE(SignInHandOff::handOver(name, line));
    }
    ASSERT_TRUE(waitFor([&] { return window.isExposed() && phone->received().size() == 2; }));
    std::set<std::string> arrived;
    for (const auto& file : phone->received()) {
        arrived.insert(file.name);
    }
    EXPECT_EQ(arrived, (std::set<std::string>{"one.txt", "two words.txt"}));
    EXPECT_FALSE(LaunchRequest::decode("tarnwickconnect://auth/callback#state=x"));
    EXPECT_FALSE(LaunchRequest::decode("tarnwick-launch cmVsYXRpdmU=")) << "a relative path";
}

/// The share of the icon's opaque pixels whose lightness stands apart from the panel's by a fifth of the
/// scale or more: what keeps it readable at a glance.
double contrastingShare(const QImage& icon, const QColor& panel) {
    int opaque = 0;
    int contrasting = 0;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            const QColor pixel = icon.pixelColor(x, y);
            if (pixel.alpha() < 128) {
                continue;
            }
            ++opaque;
            contrasting += std::abs(pixel.lightness() - panel.lightness()) >= 51 ? 1 : 0;
        }
    }
    return opaque == 0 ? 0 : static_cast<double>(contrasting) / opaque;
}

/// The share of pixels that differ clearly between two images of one size.
double differingShare(const QImage& one, const QImage& other) {
    int differing = 0;
    for (int y = 0; y < one.height(); ++y) {
        for (int x = 0; x < one.width(); ++x) {
            const QColor a = one.pixelColor(x, y);
            const QColor b = other.pixelColor(x, y);
            const int distance = std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                                 std::abs(a.blue() - b.blue()) + std::abs(a.alpha() - b.alpha());
            differing += distance > 96 ? 1 : 0;
        }
    }
    return static_cast<double>(differing) / (one.width() * one.height());
}

// Linux trays draw the icon as it is, so a black mask vanishes on a dark panel; the coloured badge must
// read on the dark and the light panels of the common desktops in each of its states, and the states
// must tell apart at the smallest size. Rows of the saved strips: ready, blocked, transferring.
TEST(TrayIcon, ReadsOnDarkAndLightPanelsInEveryState) {
    if (QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "needs an X server";
    }
    using Status = BrandAssets::Status;
    const std::array statuses{Status::ready, Status::blocked, Status::transferring};
    for (const auto& [name, panel] :
         {std::pair{"dark", QColor("#1d1d1d")}, std::pair{"light", QColor("#f6f5f4")}}) {
        QImage strip(3 * 40, 3 * 40, QImage::Format_ARGB32_Premultiplied);
        strip.fill(panel);
        QPainter painter(&strip);
        for (std::size_t row = 0; row < statuses.size(); ++row) {
            const QIcon icon = BrandAssets::statusIcon(statuses[row]);
            int x = 4;
            for (const int side : {16, 22, 32}) {
                const QImage drawn = icon.pixmap(side, side).toImage();
                EXPECT_EQ(drawn.size(), QSize(side, side));
                EXPECT_GT(contrastingShare(drawn, panel), 0.5)
                    << side << " px in state " << row << " on the " << name << " panel";
                painter.drawImage(x, static_cast<int>(row) * 40 + (40 - side) / 2, drawn);
                x += 40;
            }
        }
        painter.end();
        strip.scaled(strip.size() * 4)
            .save(QString::fromStdString(screenshotFolder() + "/tray-icon-" + name + ".png"));
    }
    for (std::size_t one = 0; one < statuses.size(); ++one) {
        for (std::size_t other = one + 1; other < statuses.size(); ++other) {
            EXPECT_GT(differingShare(BrandAssets::statusBadge(16, statuses[one]),
                                     BrandAssets::statusBadge(16, statuses[other])),
                      0.05)
                << "states " << one << " and " << other << " look alike at 16 px";
        }
    }
}

// A device that comes back under a paired name with another key gets the warning, and Decline is the
// default answer.
TEST_F(WindowTest, AKnownNameWithANewKeyIsAskedAboutWithAWarningAndDeclineFirst) {
    auto& phone = launch("Phone");
    auto& impostor = launch("Phone");
    auto& mac = add("Studio", testing::accountOf("user-Studio"));
    auto& app = pairedShell(mac, phone);

    impostor->connect(testing::loopbackPeer(*mac.state));
    ASSERT_TRUE(waitFor([&] { return impostor->pendingPairing().has_value(); }));
    impostor->approvePendingPairing();
    ASSERT_TRUE(waitFor([&] { return mac->pendingPairing().has_value(); }));
    // Without a tray the prompt comes up on the main window's sheet, the same prompt the panel shows.
    QQuickWindow& panel = *app.mainWindow();
    ASSERT_TRUE(waitFor([&] {
        return textOf(panel, "pairingWarning") ==
               "Phone presents a different key than before. Pair only if you reset it.";
    }));
    // The details name the key shown and where the peer connected from.
    EXPECT_EQ(textOf(panel, "pairingDetails").toStdString(),
              "Key " + impostor->identity()->spkiSHA256().substr(0, 8) + ", from 127.0.0.1");
    ASSERT_TRUE(waitFor([&] { return panel.isExposed(); }));
    QTest::qWait(300);
    auto* decline = panel.findChild<QQuickItem*>("declinePairing");
    ASSERT_TRUE(decline);
    EXPECT_TRUE(decline->property("primary").toBool());
    EXPECT_TRUE(decline->property("focus").toBool()) << "the key that answers goes to Decline";
    EXPECT_FALSE(panel.findChild<QQuickItem*>("approvePairing")->property("focus").toBool());
    EXPECT_TRUE(rendered(panel, "key-change-warning"));

    // The click's own button goes with the prompt it answers.
    QTest::mouseClick(&panel, Qt::LeftButton, {},
                      decline->mapToScene(decline->boundingRect().center()).toPoint());
    ASSERT_TRUE(waitFor([&] { return !mac->pendingPairing().has_value(); }));
    EXPECT_FALSE(mac->paired().isPaired(impostor->identity()->spkiSHA256()));
}

// A peer names itself in markup that would fetch an address when read as rich text.
TEST_F(WindowTest, NamesAPeerChoseShowAsTheirCharactersAndFetchNothing) {
    testing::ScriptedHTTPServer listener(testing::ScriptedHTTPServer::answer(200, "", "image/png"));
    const std::string hostile = "<b>x</b><img src=" + listener.url() + "/i.png>";
    auto& peer = launch(hostile);
    auto& mac = add("Studio", testing::accountOf("user-Studio"));
    auto& app = shellFor(mac);
    ASSERT_TRUE(waitFor([&] { return mac->availability().port != 0; }));

    peer->connect(testing::loopbackPeer(*mac.state));
    ASSERT_TRUE(waitFor([&] { return peer->pendingPairing().has_value(); }));
    peer->approvePendingPairing();
    ASSERT_TRUE(waitFor([&] { return mac->pendingPairing().has_value(); }));
    QQuickWindow& panel = *app.menuPanel();
    ASSERT_TRUE(waitFor([&] { return !textsShowing(panel, "<b>x</b>").empty(); }));
    QTest::qWait(300);
    EXPECT_TRUE(rendered(panel, "hostile-pairing"));
    for (QQuickItem* text : textsShowing(panel, "<b>x</b>")) {
        EXPECT_TRUE(showsLiterally(*text)) << text->property("text").toString().toStdString();
    }
    // The panel stays open while its content switches away from a name wider than itself.
    mac->approvePendingPairing();
    ASSERT_TRUE(
        waitFor([&] { return !peer->connectedDevices().empty() && !mac->connectedDevices().empty(); }));

    QQuickWindow& window = *app.mainWindow();
    app.openMainWindow("connect");
    QTest::qWait(1000); // time for any picture the views asked for to be fetched
    EXPECT_TRUE(rendered(window, "hostile-names"));
    for (QQuickItem* text : textsShowing(window, "<b>x</b>")) {
        EXPECT_TRUE(showsLiterally(*text)) << text->property("text").toString().toStdString();
    }
    EXPECT_EQ(listener.connections(), 0);
}

} // namespace
} // namespace tarnwick

int main(int argc, char** argv) {
    QQuickStyle::setStyle("Basic");
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    tarnwick::ConnectApp::registerViewTypes();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
