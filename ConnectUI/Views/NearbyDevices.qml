import QtQuick
import QtQuick.Layouts

// Devices seen on the network that are not connected, each with a way to connect.
ColumnLayout {
    visible: connectModel.nearbyPeers.length > 0 && connectModel.signedIn
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
                    onClicked: connectModel.connectPeer(modelData.index)
                }
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
