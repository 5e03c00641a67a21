import QtQuick
import QtQuick.Layouts

// First contact: both screens show the same six digits, and the user says whether they match.
ColumnLayout {
    objectName: "pairingPrompt"
    property var pairing: connectModel.pairing

    spacing: Theme.space.s
    TWText { text: "Pair with " + pairing.peerName; font.pixelSize: Theme.font.headline; font.weight: Font.DemiBold }
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
        text: "The same number is on " + pairing.peerName + ". If they differ, something is intercepting the connection."
    }
    RowLayout {
        Layout.alignment: Qt.AlignRight
        ActionButton { objectName: "rejectPairingButton"; text: "Don't Pair"; onClicked: connectModel.rejectPairing() }
        ActionButton { objectName: "approvePairingButton"; text: "Pair"; primary: true; onClicked: connectModel.approvePairing() }
    }
}
