import QtQuick
import QtQuick.Layouts

// The main window: a header with the two tabs and the account, over the two panes side by side.
Window {
    id: window
    objectName: "mainWindow"
    property string tab: "connect"

    title: "Tarnwick Connect"
    width: 940
    height: 620
    minimumWidth: 720
    minimumHeight: 480
    color: Theme.color.window

    Shortcut { sequence: "Ctrl+,"; onActivated: window.tab = "settings" }
    Shortcut { sequence: "Ctrl+1"; onActivated: window.tab = "connect" }
    Shortcut { sequence: "Ctrl+2"; onActivated: window.tab = "settings" }
    // Quitting is the window menu's (WindowMenuButton) and this key's: closing only hides the window.
    Shortcut { sequence: StandardKey.Quit; onActivated: Qt.quit() }

    RowLayout {
        id: header
        anchors { left: parent.left; right: parent.right; top: parent.top; margins: Theme.space.l }
        spacing: Theme.space.m
        BrandMark { size: 24 }
        TWText { text: "Connect"; font.pixelSize: Theme.font.headline; font.weight: Font.DemiBold }
        Item { Layout.fillWidth: true }
        Item {
            implicitWidth: tabs.implicitWidth
            implicitHeight: tabs.implicitHeight
            Rectangle {
                id: pill
                readonly property Item selected: window.tab === "connect" ? connectTab : settingsTab
                x: selected.x; width: selected.width; height: selected.height
                radius: height / 2
                color: Theme.color.raised
                Behavior on x { NumberAnimation { duration: Theme.motion.standard; easing.type: Easing.OutCubic } }
                Behavior on width { NumberAnimation { duration: Theme.motion.standard; easing.type: Easing.OutCubic } }
            }
            Row {
                id: tabs
                TabButton { id: connectTab; objectName: "connectTab"; title: "Connect"; isSelected: window.tab === "connect"; onClicked: window.tab = "connect" }
                TabButton { id: settingsTab; objectName: "settingsTab"; title: "Settings"; isSelected: window.tab === "settings"; onClicked: window.tab = "settings" }
            }
        }
        Item { Layout.fillWidth: true }
        Avatar { objectName: "avatar"; name: connectModel.accountName }
        WindowMenuButton { onSettingsRequested: window.tab = "settings" }
    }

    Item {
        anchors { left: parent.left; right: parent.right; top: header.bottom; bottom: parent.bottom; topMargin: Theme.space.s }
        clip: true
        Row {
            x: window.tab === "connect" ? 0 : -parent.width
            Behavior on x { NumberAnimation { duration: Theme.motion.slow; easing.type: Easing.OutCubic } }
            // The pane out of view leaves the Tab order.
            ConnectPane { width: window.width; height: parent.parent.height; isVisible: window.tab === "connect" && window.visible; enabled: window.tab === "connect" }
            SettingsPane { width: window.width; height: parent.parent.height; enabled: window.tab === "settings" }
        }
    }

    LaunchCurtain {}
}
