import QtQuick
import QtQuick.Layouts

// First contact: both screens show the same six digits, and the user says whether they match. A device
// that comes back with another key is warned about, and then declining is the default.
ColumnLayout {
    objectName: "pairingPrompt"
    property var pairing: connectModel.pairing
    readonly property bool warned: (pairing.warning || "").length > 0

    spacing: Theme.space.s
    // Every line takes the panel's width and no more: a peer may choose a name of any length, and text
    // wider than the panel kept Qt 6.4's layout working on items the Loader had already destroyed.
    TWText {
        Layout.fillWidth: true
        text: "Pair with " + pairing.peerName
        font.pixelSize: Theme.font.headline
        font.weight: Font.DemiBold
        wrapMode: Text.NoWrap
        elide: Text.ElideRight
    }
    TWText {
        objectName: "pairingWarning"
        visible: warned
        Layout.fillWidth: true
        text: pairing.warning || ""
        color: Theme.color.warning
        wrapMode: Text.WrapAtWordBoundaryOrAnywhere
    }
    Text {
        objectName: "pairingCode"
        text: pairing.code
        color: Theme.color.text
        font.pixelSize: Theme.font.code
        font.letterSpacing: 6
        font.family: "monospace"
        Layout.alignment: Qt.AlignHCenter
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
    TWText {
        Layout.fillWidth: true
        muted: true
        wrapMode: Text.WrapAtWordBoundaryOrAnywhere
        text: "The same number is on " + pairing.peerName + ". If they differ, something is intercepting the connection."
    }
    TWText {
        objectName: "pairingDetails"
        Layout.fillWidth: true
        muted: true
        font.pixelSize: Theme.font.caption
        text: pairing.details || ""
    }
    RowLayout {
        Layout.alignment: Qt.AlignRight
        ActionButton {
            objectName: "declinePairing"
            text: "Don't Pair"
            primary: warned
            focus: warned
            // Answered after the click has been handled: the answer replaces this prompt, button included.
            onClicked: Qt.callLater(connectModel.rejectPairing)
        }
        ActionButton {
            objectName: "approvePairing"
            text: "Pair"
            primary: !warned
            focus: !warned
            onClicked: Qt.callLater(connectModel.approvePairing)
        }
    }
}
