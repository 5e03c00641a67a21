import QtQuick
import QtQuick.Controls

// The window's menu. Where no tray shows the icon, it is the way to quit: closing the window keeps the
// application running for the devices and the launcher.
ToolButton {
    signal settingsRequested()

    objectName: "windowMenuButton"
    Accessible.name: "Menu"
    contentItem: Symbol { name: "list.bullet"; horizontalAlignment: Text.AlignHCenter }
    onClicked: windowMenu.popup(this, 0, height)

    Menu {
        id: windowMenu
        MenuItem { text: "Settings…"; onTriggered: settingsRequested() }
        MenuSeparator {}
        MenuItem { objectName: "quitItem"; text: "Quit"; onTriggered: Qt.quit() }
    }
}
