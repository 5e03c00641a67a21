import QtQuick

// Body text in the theme's colours; `muted` for secondary lines.
Text {
    property bool muted: false

    color: muted ? Theme.color.muted : Theme.color.text
    font.pixelSize: Theme.font.body
    wrapMode: Text.WordWrap
    Accessible.role: Accessible.StaticText
    Accessible.name: text
}
