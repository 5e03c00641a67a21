import QtQuick

// The account: a round badge, titled with the account's name, or "Not signed in".
Row {
    property string name
    readonly property string label: name.length > 0 ? name : "Not signed in"

    spacing: Theme.space.s
    Accessible.role: Accessible.StaticText
    Accessible.name: label

    Rectangle {
        width: 26; height: 26; radius: 13
        color: Theme.color.raised
        border.color: Theme.color.outline
        Symbol { anchors.centerIn: parent; name: "person.fill"; size: 12; color: Theme.color.muted }
    }
    TWText {
        anchors.verticalCenter: parent.verticalCenter
        text: parent.label
        muted: true
        font.pixelSize: Theme.font.caption
        wrapMode: Text.NoWrap
    }
}
