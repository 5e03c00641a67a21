import QtQuick
import QtQuick.Controls.Basic

// The primary (filled) and secondary (outlined) buttons.
Button {
    id: button
    property bool primary: false

    font.pixelSize: Theme.font.body
    padding: Theme.space.s
    leftPadding: Theme.space.l
    rightPadding: Theme.space.l
    Accessible.name: text
    // Controls answer Space; the desktop's buttons also answer Enter.
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
    contentItem: Text {
        text: button.text
        textFormat: Text.PlainText
        font: button.font
        color: button.primary ? Theme.color.accentText : Theme.color.text
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        radius: Theme.radius.medium
        color: button.primary ? (button.down ? Qt.darker(Theme.color.accent, 1.2) : Theme.color.accent)
                              : (button.hovered ? Theme.color.raised : "transparent")
        border.width: button.visualFocus ? 2 : button.primary ? 0 : 1
        border.color: button.visualFocus ? Theme.color.text : Theme.color.outline
    }
}
