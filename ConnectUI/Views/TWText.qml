import QtQuick

// Body text in the theme's colours; `muted` for secondary lines. Always plain: device names, file names
// and messages come from peers, and rich text would let a name such as "<img src=http://…>" fetch addresses.
Text {
    property bool muted: false

    textFormat: Text.PlainText
    color: muted ? Theme.color.muted : Theme.color.text
    font.pixelSize: Theme.font.body
    wrapMode: Text.WordWrap
    Accessible.role: Accessible.StaticText
    Accessible.name: text
}
