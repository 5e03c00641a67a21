import QtQuick

// The tray icon's panel: a frameless window that closes when it loses focus.
Window {
    objectName: "menuPanelWindow"
    flags: Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint
    width: 320 + 2 * Theme.space.l
    height: Math.min(panel.implicitHeight + 2 * Theme.space.l, 640)
    color: Theme.color.surface
    title: "Tarnwick Connect"

    onActiveChanged: if (!active && visible) close()

    Flickable {
        anchors.fill: parent
        anchors.margins: Theme.space.l
        contentHeight: panel.implicitHeight
        clip: true
        MenuPanel { id: panel }
    }
}
