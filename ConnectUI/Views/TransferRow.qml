import QtQuick
import QtQuick.Layouts

RowLayout {
    property var item

    spacing: Theme.space.s
    Symbol { name: item.failed ? "exclamationmark.triangle" : item.finished ? "checkmark" : item.incoming ? "arrow.down.circle.fill" : "arrow.up.circle.fill"; size: 14 }
    ColumnLayout {
        Layout.fillWidth: true
        spacing: 0
        TWText { Layout.fillWidth: true; text: item.name; elide: Text.ElideMiddle; wrapMode: Text.NoWrap }
        TWText { text: item.detail; muted: !item.failed; color: item.failed ? Theme.color.danger : Theme.color.muted; font.pixelSize: Theme.font.caption }
        Rectangle {
            visible: item.fraction >= 0
            Layout.fillWidth: true
            height: 3; radius: 1.5
            color: Theme.color.outline
            Rectangle { width: parent.width * Math.max(0, item.fraction); height: parent.height; radius: 1.5; color: Theme.color.accent }
        }
    }
    ActionButton {
        visible: item.cancellable || item.retryable
        text: item.retryable ? "Retry" : "Cancel"
        onClicked: item.retryable ? connectModel.retryTransfer(item.key) : connectModel.cancelTransfer(item.key)
    }
}
