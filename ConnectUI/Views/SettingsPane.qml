import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The settings tab: the account, this computer, saving, paired devices, watch folders and status.
Flickable {
    id: pane
    objectName: "settingsPane"
    contentHeight: column.implicitHeight + 2 * Theme.space.xl
    clip: true
    ScrollBar.vertical: ScrollBar {}

    ColumnLayout {
        id: column
        x: Theme.space.xxl; y: Theme.space.xl
        width: Math.min(620, pane.width - 2 * Theme.space.xxl)
        spacing: Theme.space.xl

        Section {
            title: "Account"
            Layout.fillWidth: true
            TWText {
                visible: !connectModel.signedIn
                Layout.fillWidth: true
                text: "Connect needs an Tarnwick account. It is how this computer and your phone recognise each other — nothing is uploaded."
                muted: true
            }
            ActionButton { visible: !connectModel.signedIn; primary: true; text: "Sign In"; onClicked: connectModel.signIn() }
            RowLayout {
                visible: connectModel.signedIn
                Avatar { objectName: "avatar"; name: connectModel.accountName }
                Item { Layout.fillWidth: true }
                ActionButton { text: "Sign Out"; onClicked: connectModel.signOut() }
            }
        }

        Section {
            title: "This Computer"
            Layout.fillWidth: true
            TWText { text: "Name" }
            TextField {
                id: nameField
                objectName: "nameField"
                Layout.fillWidth: true
                Accessible.name: "Name"
                // Enter or leaving the field commits; a name changed elsewhere shows unless it is being edited.
                onEditingFinished: settingsModel.deviceName = text
                Component.onCompleted: text = settingsModel.deviceName
                Connections {
                    target: settingsModel
                    function onDeviceNameChanged() { if (!nameField.activeFocus) nameField.text = settingsModel.deviceName }
                }
            }
            TWText { text: "How this computer appears on your other devices."; muted: true; font.pixelSize: Theme.font.caption }
            Switch {
                text: "Open at login"
                checked: settingsModel.launchAtLogin
                Accessible.name: text
                onToggled: settingsModel.setLaunchAtLogin(checked)
                contentItem: TWText { text: parent.text; leftPadding: parent.indicator.width + parent.spacing; verticalAlignment: Text.AlignVCenter }
            }
            TWText { visible: settingsModel.loginError.length > 0; text: settingsModel.loginError; color: Theme.color.warning; Layout.fillWidth: true }
        }

        Section {
            title: "Saving"
            Layout.fillWidth: true
            TWText { text: settingsModel.downloadsPath; Layout.fillWidth: true; wrapMode: Text.WrapAnywhere }
            TWText { text: "Where files sent to this computer are saved."; muted: true; font.pixelSize: Theme.font.caption }
            RowLayout {
                ActionButton { objectName: "chooseDownloadsButton"; text: "Choose…"; onClicked: settingsModel.chooseDownloads() }
                ActionButton { text: "Reveal"; onClicked: settingsModel.revealDownloads() }
                ActionButton { objectName: "resetDownloadsButton"; text: "Reset"; enabled: settingsModel.downloadsResettable; onClicked: settingsModel.resetDownloads() }
            }
            TWText { visible: settingsModel.downloadsProblem.length > 0; text: settingsModel.downloadsProblem; color: Theme.color.warning; Layout.fillWidth: true }
            Switch {
                text: "Play a sound on transfers"
                checked: settingsModel.soundsEnabled
                Accessible.name: text
                onToggled: settingsModel.soundsEnabled = checked
                contentItem: TWText { text: parent.text; leftPadding: parent.indicator.width + parent.spacing; verticalAlignment: Text.AlignVCenter }
            }
            TWText {
                Layout.fillWidth: true
                text: "A file is often sent while you're looking at something else, so a sound is the only way to know it landed."
                muted: true; font.pixelSize: Theme.font.caption
            }
            Switch {
                objectName: "notificationsSwitch"
                text: "Show notifications"
                checked: settingsModel.notificationsEnabled
                Accessible.name: text
                onToggled: settingsModel.notificationsEnabled = checked
                contentItem: TWText { text: parent.text; leftPadding: parent.indicator.width + parent.spacing; verticalAlignment: Text.AlignVCenter }
            }
            TWText {
                Layout.fillWidth: true
                text: "Files that arrive, pairing codes to confirm and sends that failed, when the window isn't showing them."
                muted: true; font.pixelSize: Theme.font.caption
            }
        }

        Section {
            title: "Paired devices"
            Layout.fillWidth: true
            TWText { Layout.fillWidth: true; muted: true; text: "These stay paired until you remove them, so you only compare the six-digit code once." }
            TWText { visible: settingsModel.pairedDevices.length === 0; text: "Nothing paired yet."; muted: true }
            Repeater {
                model: settingsModel.pairedDevices
                delegate: RowLayout {
                    required property var modelData
                    Layout.fillWidth: true
                    Symbol { name: "iphone" }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 0
                        TWText { text: modelData.name }
                        TWText { text: modelData.when; muted: true; font.pixelSize: Theme.font.caption }
                    }
                    ActionButton {
                        text: "⊖"
                        Accessible.name: "Remove " + modelData.name + ". It will have to pair again."
                        onClicked: settingsModel.removePaired(modelData.fingerprint)
                    }
                }
            }
        }

        Section {
            title: "Watch folders"
            Layout.fillWidth: true
            TWText { Layout.fillWidth: true; muted: true; text: "A file that finishes in one of these folders is sent automatically." }
            Repeater {
                model: settingsModel.watchFolders
                delegate: RowLayout {
                    required property var modelData
                    Layout.fillWidth: true
                    TWText { Layout.fillWidth: true; text: modelData.path; wrapMode: Text.WrapAnywhere }
                    Switch {
                        checked: modelData.enabled
                        Accessible.name: "Watch " + modelData.path
                        onToggled: settingsModel.setWatchFolderEnabled(modelData.id, checked)
                    }
                    ActionButton {
                        text: "⊖"
                        Accessible.name: "Remove " + modelData.path
                        onClicked: settingsModel.removeWatchFolder(modelData.id)
                    }
                }
            }
            ActionButton { objectName: "addWatchFolderButton"; text: "Add Folder…"; onClicked: settingsModel.addWatchFolder() }
            TWText { visible: settingsModel.watchFolderError.length > 0; text: settingsModel.watchFolderError; color: Theme.color.warning; Layout.fillWidth: true }
        }

        Section {
            title: "Status"
            Layout.fillWidth: true
            RowLayout { TWText { text: "Connection"; Layout.fillWidth: true } TWText { objectName: "connectionStatus"; text: settingsModel.connectionStatus; muted: true } }
            TWText { visible: connectModel.availability === "blocked"; text: connectModel.blockedMessage; color: Theme.color.warning; Layout.fillWidth: true }
            RowLayout { TWText { text: "Connected devices"; Layout.fillWidth: true } TWText { text: settingsModel.connectedCount; muted: true } }
        }
    }
}
