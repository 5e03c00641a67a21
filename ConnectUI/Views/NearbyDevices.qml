import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// Devices seen on the network that are not connected, each with a way to connect; paired devices that
// are not seen but answered at an address before, offered there; and a device's address typed by hand,
// for networks where discovery does not get through.
ColumnLayout {
    visible: connectModel.signedIn
    spacing: Theme.space.s

    Repeater {
        model: connectModel.nearbyPeers
        delegate: Card {
            required property var modelData
            Layout.fillWidth: true
            height: 52
            elevation: "outlined"
            RowLayout {
                anchors.fill: parent
                anchors.margins: Theme.space.m
                spacing: Theme.space.m
                Symbol { name: modelData.symbol; size: 20 }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 0
                    TWText { text: modelData.name; font.weight: Font.DemiBold }
                    TWText { text: modelData.system; muted: true; font.pixelSize: Theme.font.caption }
                }
                ActionButton {
                    text: "Connect"
                    primary: true
                    enabled: !modelData.connecting
                    onClicked: modelData.address ? connectModel.connectAddress(modelData.address)
                                                 : connectModel.connectPeer(modelData.index)
                }
            }
        }
    }
    ActionButton {
        objectName: "connectByAddress"
        visible: !addressRow.visible
        Layout.alignment: Qt.AlignHCenter
        text: "Connect by Address…"
        onClicked: {
            addressRow.visible = true
            addressField.forceActiveFocus()
        }
    }
    RowLayout {
        id: addressRow
        visible: false
        Layout.fillWidth: true
        spacing: Theme.space.s
        TextField {
            id: addressField
            objectName: "addressField"
            Accessible.name: "Address"
            Layout.fillWidth: true
            placeholderText: "host:port, e.g. 192.168.1.20:47810"
            font.pixelSize: Theme.font.body
            onAccepted: connectButton.clicked()
        }
        ActionButton {
            id: connectButton
            text: "Connect"
            primary: true
            enabled: addressField.text.trim().length > 0
            onClicked: {
                connectModel.connectAddress(addressField.text)
                addressRow.visible = false
            }
        }
    }
    TWText {
        visible: connectModel.connectError.length > 0
        text: connectModel.connectError
        color: Theme.color.warning
        Layout.fillWidth: true
    }
}
