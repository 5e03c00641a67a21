import QtQuick
import QtQuick.Layouts

// A failed sign-in: the message, and a way to try again when that can help.
ColumnLayout {
    visible: connectModel.signInError.length > 0
    spacing: Theme.space.s

    TWText {
        Layout.fillWidth: true
        horizontalAlignment: Text.AlignHCenter
        text: connectModel.signInError
        color: Theme.color.warning
    }
    ActionButton {
        Layout.alignment: Qt.AlignHCenter
        visible: connectModel.signInErrorRecoverable
        text: "Sign In Again"
        onClicked: connectModel.signIn()
    }
}
