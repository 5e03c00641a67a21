import QtQuick

// The account: a round badge, titled with the e-mail, or "Not signed in".
Row {
    property string email

    spacing: Theme.space.s
    Accessible.role: Accessible.StaticText
    Accessible.name: email.length > 0 ? email : "Not signed in"

    Rectangle {
        width: 26; height: 26; radius: 13
        color: Theme.color.raised
        border.color: Theme.color.outline
        Symbol { anchors.centerIn: parent; name: "person.fill"; size: 12; color: Theme.color.muted }
    }
    TWText {
        anchors.verticalCenter: parent.verticalCenter
        text: parent.email.length > 0 ? parent.email : "Not signed in"
        muted: true
        font.pixelSize: Theme.font.caption
        wrapMode: Text.NoWrap
    }
}
