import QtQuick
import QtQuick.Layouts

// The pairing prompt over the connect pane, so that a code can be answered where no tray shows the panel.
// It shows the same prompt as the panel; answering either clears the state's prompt and closes both.
Item {
    id: sheet
    objectName: "pairingSheet"
    readonly property bool pending: connectModel.pairing.code !== undefined

    anchors.fill: parent
    visible: pending
    z: 10

    Rectangle { anchors.fill: parent; color: Qt.rgba(0, 0, 0, 0.55) }
    // Clicks on the dimmed pane must not reach the devices and buttons underneath.
    MouseArea { anchors.fill: parent; acceptedButtons: Qt.AllButtons; hoverEnabled: true }

    Card {
        anchors.centerIn: parent
        width: Math.min(parent.width - 2 * Theme.space.xl, 420)
        height: prompt.implicitHeight + 2 * Theme.space.l
        elevation: "raised"
        // Made only while a prompt waits: the prompt reads the pending pairing's texts.
        Loader {
            id: prompt
            x: Theme.space.l; y: Theme.space.l
            width: parent.width - 2 * Theme.space.l
            active: sheet.pending
            sourceComponent: PairingPrompt {}
        }
    }
}
