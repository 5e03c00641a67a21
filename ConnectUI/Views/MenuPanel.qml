import QtQuick
import QtQuick.Layouts

// The compact panel the tray icon opens: availability, what needs attention, transfers and received files.
ColumnLayout {
    id: panel
    objectName: "menuPanel"
    width: 320
    spacing: Theme.space.m

    RowLayout {
        Layout.fillWidth: true
        spacing: Theme.space.s
        BrandMark { size: 22 }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 0
            TWText { text: "Tarnwick Connect"; font.weight: Font.DemiBold }
            Row {
                spacing: Theme.space.xs
                Symbol { visible: connectModel.availability === "starting"; name: "circle.dotted"; size: 11; color: Theme.color.muted }
                TWText { text: connectModel.availabilityText; muted: true; font.pixelSize: Theme.font.caption }
            }
        }
        ActionButton { text: "▣"; Accessible.name: "Open Window"; onClicked: connectModel.openWindow("connect") }
        ActionButton { text: "⚙"; Accessible.name: "Settings"; onClicked: connectModel.openWindow("settings") }
    }

    Loader {
        Layout.fillWidth: true
        sourceComponent: ({
            "signedIn": signedIn, "pairing": pairing, "signIn": signIn,
            "blocked": blocked, "devices": devices, "empty": empty
        })[connectModel.menuContent]
    }

    DiagnosisBanner { visible: connectModel.diagnosis.length > 0; diagnosis: connectModel.diagnosis; suggestsCloud: connectModel.diagnosisSuggestsCloud; Layout.fillWidth: true }

    ColumnLayout {
        visible: connectModel.transfers.count > 0
        Layout.fillWidth: true
        RowLayout {
            TWText { text: "Transfers"; font.weight: Font.DemiBold; Layout.fillWidth: true }
            ActionButton { text: "Clear"; onClicked: connectModel.clearFinished() }
        }
        Repeater {
            model: connectModel.transfers
            delegate: TransferRow { required property var modelData; item: modelData; Layout.fillWidth: true }
        }
    }

    ColumnLayout {
        visible: connectModel.received.count > 0
        Layout.fillWidth: true
        TWText { text: "Received"; font.weight: Font.DemiBold }
        Repeater {
            model: connectModel.received
            delegate: RowLayout {
                required property var modelData
                Layout.fillWidth: true
                Symbol { name: "arrow.down.circle"; size: 14 }
                TWText { Layout.fillWidth: true; text: modelData.name; elide: Text.ElideMiddle; wrapMode: Text.NoWrap }
                TWText { text: modelData.size; muted: true; font.pixelSize: Theme.font.caption }
                TapHandler { onTapped: connectModel.reveal(modelData.path) }
            }
        }
    }

    RowLayout {
        Layout.fillWidth: true
        ActionButton { text: "Open Window"; onClicked: connectModel.openWindow("connect") }
        Item { Layout.fillWidth: true }
        ActionButton { text: "Quit"; onClicked: Qt.quit() }
    }

    Component {
        id: signedIn
        Notice { symbol: "checkmark.circle.fill"; title: "Signed in"; detail: "This computer is registered with your account." }
    }
    Component { id: pairing; PairingPrompt {} }
    Component {
        id: signIn
        ColumnLayout {
            Symbol { Layout.alignment: Qt.AlignHCenter; name: "person.badge.key"; size: 28 }
            ActionButton { Layout.alignment: Qt.AlignHCenter; primary: true; text: "Sign In"; onClicked: connectModel.signIn() }
        }
    }
    Component {
        id: blocked
        ColumnLayout {
            Notice { symbol: "exclamationmark.triangle"; title: "Can't accept connections"; detail: connectModel.blockedMessage; Layout.fillWidth: true }
            ActionButton {
                text: "Open Firewall Settings"
                visible: connectModel.canOpenFirewallSettings
                onClicked: connectModel.openFirewallSettings()
            }
        }
    }
    Component {
        id: devices
        ColumnLayout {
            Repeater {
                model: connectModel.connectedDevices
                delegate: RowLayout {
                    required property var modelData
                    Layout.fillWidth: true
                    Symbol { name: modelData.symbol }
                    TWText { text: modelData.name; Layout.fillWidth: true }
                    TWText { visible: modelData.verified; text: "Verified"; muted: true; font.pixelSize: Theme.font.caption }
                    TWText { text: "Connected"; muted: true; font.pixelSize: Theme.font.caption }
                    Symbol { visible: modelData.selected; name: "checkmark"; color: Theme.color.accent }
                    TapHandler { onTapped: connectModel.selectDestination(modelData.id) }
                }
            }
        }
    }
    Component {
        id: empty
        Notice { symbol: "iphone.gen3.slash"; title: "No device connected"; detail: "On your phone, open Tarnwick › Connect and tap this computer." }
    }
}
