import QtQuick
import QtQuick.Layouts

// The connect tab: the backdrop behind what to do next, the devices, and everything that moved. The whole
// pane takes dropped files.
Item {
    id: pane
    objectName: "connectPane"
    property bool isVisible: true
    readonly property bool connected: connectModel.connectedDevices.count > 0

    Loader {
        anchors.fill: parent
        source: "Backdrop.qml"
        onLoaded: {
            item.isVisible = Qt.binding(() => pane.isVisible && Window.window !== null && Window.window.visible)
            item.connected = Qt.binding(() => pane.connected)
            item.shimmering = Qt.binding(() => connectModel.shimmering)
        }
    }

    Flickable {
        anchors.fill: parent
        contentHeight: column.implicitHeight + 2 * Theme.space.xxl
        clip: true

        ColumnLayout {
            id: column
            x: Theme.space.xxl
            y: Theme.space.xxl
            width: pane.width - 2 * Theme.space.xxl
            spacing: Theme.space.l

            StatusGlyph {
                Layout.alignment: Qt.AlignHCenter
                glyphState: connectModel.glyphState
                isTargeted: connectModel.targeted
            }
            ShimmerText {
                objectName: "headline"
                Layout.fillWidth: true
                text: connectModel.headline
                font.pixelSize: Theme.font.title
                font.weight: Font.DemiBold
                isActive: connectModel.isSigningIn
            }
            TWText {
                objectName: "subtitle"
                Layout.fillWidth: true
                Layout.maximumWidth: 520
                Layout.alignment: Qt.AlignHCenter
                horizontalAlignment: Text.AlignHCenter
                text: connectModel.subtitle
                muted: true
            }
            ActionButton {
                objectName: "signInButton"
                Layout.alignment: Qt.AlignHCenter
                visible: !connectModel.signedIn && !connectModel.isSigningIn
                primary: true
                text: "Sign In"
                onClicked: connectModel.signIn()
            }
            // A browser closed without answering never tells us, so the user can always give up.
            ActionButton {
                objectName: "cancelSignInButton"
                Layout.alignment: Qt.AlignHCenter
                visible: connectModel.isSigningIn
                text: "Cancel"
                onClicked: connectModel.cancelSignIn()
            }
            SignInProblem { Layout.alignment: Qt.AlignHCenter; Layout.maximumWidth: 520 }
            DiagnosisBanner {
                objectName: "diagnosisBanner"
                visible: connectModel.diagnosis.length > 0
                diagnosis: connectModel.diagnosis
                suggestsCloud: connectModel.diagnosisSuggestsCloud
                Layout.fillWidth: true
                Layout.maximumWidth: 520
                Layout.alignment: Qt.AlignHCenter
            }
            DestinationPicker { Layout.alignment: Qt.AlignHCenter }
            ActionButton {
                objectName: "sendFilesButton"
                Layout.alignment: Qt.AlignHCenter
                visible: pane.connected
                text: "Send Files…"
                onClicked: connectModel.chooseFiles()
            }
            NearbyDevices { Layout.fillWidth: true; Layout.maximumWidth: 520; Layout.alignment: Qt.AlignHCenter }
            TransferGallery {
                objectName: "recentActivity"
                Layout.fillWidth: true
                Layout.preferredHeight: 300
                Layout.topMargin: Theme.space.l
            }
        }
    }

    DropZoneOverlay { isTargeted: connectModel.targeted }
    PairingSheet {}

    DropArea {
        objectName: "connectDropArea"
        anchors.fill: parent
        keys: ["text/uri-list"]
        onEntered: drag => { connectModel.targeted = drag.hasUrls }
        onExited: connectModel.targeted = false
        onDropped: drop => {
            connectModel.targeted = false
            if (drop.hasUrls) {
                connectModel.send(drop.urls)
                drop.acceptProposedAction()
            }
        }
    }
}
